#pragma once

#include "filesystems/signatures/file_signature.h"

#include <vector>

// The two signature lists of the scan state. The user list holds every record of the header
// file while a signature dialog shows them; the active list holds the records the raw search
// matches, in order, from its first load until it is rebuilt. The dialogs use them on the GUI
// thread; a scan job loads the active list on its own thread only while no dialog is open.
struct SignatureLists {
    std::vector<FileSignature> user;
    std::vector<FileSignature> active;
    // Set when the user unselects every type.
    bool selectionChanged = false;
};
