#pragma once

#include <cstdint>

// What the availability of the commands depends on, gathered by the frame from the scan state
// and its own windows. Plain data, so the rules are tested without windows.
struct CommandState {
    bool jobRunning = false;
    // The running job accepts Stop.
    bool stoppable = false;
    // The folder tree and file list show a scan's results.
    bool resultsAvailable = false;
    bool someSelected = false;
    bool allSelected = false;
    bool maskInForce = false;
    bool findDone = false;
    bool filterListEmpty = true;
    bool scanInfoSaved = false;
    bool logHasRows = false;
    // The current volume is FAT (the linking modes apply), with its linking mode: 0 FAT1,
    // 1 FAT2, 2 contiguous.
    bool fatVolume = false;
    uint8_t linkingMode = 0;
    // The folder tree's selection has a parent.
    bool parentAvailable = false;
    // "LANG": 0 English, 1 French, 2 German, 3 Spanish, 4 Italian; other values name none.
    uint32_t language = 0;
    bool toolbarVisible = true;
    bool statusBarVisible = true;
    bool logBarVisible = true;
    // 0 large icon, 1 details, 2 small icon, 3 list.
    uint32_t viewStyle = 1;
    // An updater program lies in the data folder.
    bool updaterPresent = false;
};
