#pragma once

#include "filesystems/scan_environment.h"
#include "platform/jobs/job_flags.h"
#include "platform/jobs/job_messages.h"
#include "tests/support/found_tree.h"
#include "tests/support/mapped_drive.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// An item a scan sent, with its name.
using SeenItem = FoundTree::Entry;

enum class ScanKind {
    Standard,
    Advance,
};

// Whether the window got a log row of `activity` and `description`.
bool LogHas(const RecordingJobWindow& window, std::u16string_view activity,
            std::u16string_view description);

// "Standard" or "Advance", for the names of cases run with both scans.
std::string ScanKindName(const testing::TestParamInfo<ScanKind>& info);

// A fixture image mapped as drive C:, and every item a scan over it sends. An update replaces
// the item of its id once the scan is over, as the tree shows it.
class ScanHarness {
public:
    // Unpacks `<fixture>.img` and maps it as a logical drive of `partitionType`; Ready() tells
    // whether that worked. `rootId` is the parent id of the items in the root.
    ScanHarness(const std::string& fixture, uint8_t partitionType, uint64_t rootId);
    virtual ~ScanHarness();
    ScanHarness(const ScanHarness&) = delete;
    ScanHarness& operator=(const ScanHarness&) = delete;

    bool Ready() const { return m_drive.has_value(); }
    const std::filesystem::path& Image() const;
    // Maps `image` (one the test made) in place of the fixture's.
    void UseImage(const std::filesystem::path& image, uint8_t partitionType);
    TempDir& Dir() { return m_dir; }
    // `<fixture><suffix>` in the fixtures folder, such as its ".fls" listing.
    std::filesystem::path Companion(const std::string& suffix) const;
    // Several images may be open at once; the drive letter reads the one mapped last.
    void MapImage() const;

    DriveNode& Node() { return m_drive->Node(); }
    RecordingJobWindow& Window() { return m_window; }
    JobFlags& Flags() { return m_flags; }
    ScanEnvironment& Environment() { return m_environment; }
    // Runs after every item sent, with the number sent so far.
    void OnItem(std::function<void(size_t)> afterItem) { m_afterItem = std::move(afterItem); }
    // Runs for every message.
    void OnMessage(std::function<void(const JobMessage&)> observer) {
        m_observer = std::move(observer);
    }

    // Applies the updates sent so far and indexes the items' paths; the scans call it.
    void ApplyUpdates();
    const std::vector<SeenItem>& Items() const { return m_tree.Entries(); }
    const SeenItem* ById(uint64_t id) const;
    const SeenItem* FindByName(std::u16string_view name) const;
    // The item's names from the root, joined by "/", in UTF-8.
    const std::string& PathOf(const SeenItem& seen) const;
    const SeenItem* Find(const std::string& path) const;
    size_t CountPath(const std::string& path) const;

    // --- damage for a test ----------------------------------------------------------------

    void Patch(uint64_t offset, std::span<const uint8_t> bytes);
    void PatchU32(uint64_t offset, uint32_t value);
    void ZeroSector(uint64_t sector);
    std::vector<uint8_t> ReadImage(uint64_t offset, size_t length) const;

private:
    std::string m_fixture;
    uint64_t m_rootId;
    TempDir m_dir;
    std::optional<MappedDrive> m_drive;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    ScanEnvironment m_environment;
    FoundTree m_tree;
    std::vector<SeenItem> m_updates;
    std::vector<std::string> m_paths;
    std::function<void(size_t)> m_afterItem;
    std::function<void(const JobMessage&)> m_observer;
};

// No id names two of the items.
void ExpectUniqueIds(const ScanHarness& volume);

// The harness with a reader of one file system over the mapped drive.
template <class Reader> class ScannedVolume : public ScanHarness {
public:
    ScannedVolume(const std::string& fixture, uint8_t partitionType, uint64_t rootId)
        : ScanHarness(fixture, partitionType, rootId),
          m_volume(std::make_unique<Reader>(Environment())) {}

    Reader& Volume() { return *m_volume; }
    const Reader& Volume() const { return *m_volume; }

    // Sets the reader up over the drive as its node now says.
    void Open() {
        MapImage();
        m_volume->SetVolumeFromDrive(0);
        m_opened = true;
    }
    void Scan(ScanKind kind = ScanKind::Standard) {
        if (!m_opened)
            Open();
        MapImage();
        if (kind == ScanKind::Advance)
            m_volume->AdvanceScan();
        else
            m_volume->Scan();
        ApplyUpdates();
    }
    void AdvanceScan() { Scan(ScanKind::Advance); }

private:
    std::unique_ptr<Reader> m_volume;
    bool m_opened = false;
};
