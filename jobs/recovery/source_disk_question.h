#pragma once

#include <filesystem>
#include <string>

class JobWindow;

// The question a job asks before its first write when the destination lies on the disk it
// reads (PlaceOfDestination): writing there may overwrite the very data the person is trying
// to save. The answer is logged either way.
struct SourceDiskQuestion {
    // Where the job is about to write, and the file or device it reads (empty: none known).
    std::filesystem::path destination;
    std::string sourcePath;
    std::filesystem::path sysfsRoot = "/sys";
    // The question (Yes / No), and the log row's activity and description.
    std::u16string question;
    std::u16string activity;
    std::u16string description;
};

// True when the job may write: the destination lies elsewhere (or is the source's own file,
// which the job refuses by itself), or the person answered Yes. Without a window to ask, false
// for a destination on the source disk.
bool MayWriteOnSourceDisk(JobWindow* window, const SourceDiskQuestion& question);
