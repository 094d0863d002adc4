#pragma once

#include "filesystems/fat/fat_file_system.h"
#include "filesystems/scan_environment.h"
#include "platform/jobs/job_flags.h"
#include "tests/support/recording_job_window.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A FAT volume held in memory, a reader set up over it as over a drive, and every item the
// reader sends. Tests patch the bytes between set-ups; no drive or file is involved.
class FatMemoryVolume {
public:
    struct SentItem {
        FoundItem item;
        std::u16string name;
    };

    explicit FatMemoryVolume(std::vector<uint8_t> bytes);
    // The bytes of a committed fixture image (`<name>.img.xz`); empty when it cannot be had.
    static std::vector<uint8_t> FixtureBytes(const std::string& name);

    std::vector<uint8_t>& Bytes() { return m_bytes; }
    // A fresh reader over the bytes, set up as from a drive of `partitionType`.
    CFatFileSystem& SetUp(uint8_t partitionType = 0);
    CFatFileSystem& Reader() { return *m_reader; }
    RecordingJobWindow& Window() { return m_window; }
    const std::vector<SentItem>& Items() const { return m_items; }
    // Items sent, files only, by name.
    std::vector<std::u16string> FileNames() const;
    bool Logged(const std::u16string& text) const;

private:
    std::vector<uint8_t> m_bytes;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    ScanEnvironment m_environment;
    std::unique_ptr<CFatFileSystem> m_reader;
    std::vector<SentItem> m_items;
};
