#pragma once

#include "diskio/sources/sector_source.h"
#include "filesystems/ntfs/ntfs_file_system.h"
#include "filesystems/scan_environment.h"
#include "platform/jobs/job_flags.h"
#include "tests/support/fixture_image.h"
#include "tests/support/fls_listing.h"
#include "tests/support/recording_job_window.h"
#include "tests/support/temp_dir.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A fixture image held in memory and read through a memory SectorSource, with an NTFS reader
// over it and the items it sends. The bytes may be patched before Open(); the reader reads
// them where they are, so they must not be resized after it.
class NtfsMemoryVolume {
public:
    struct Sent {
        FoundItem item;
        std::u16string name;
    };

    explicit NtfsMemoryVolume(const std::string& fixture) {
        const std::filesystem::path image = UnpackFixture(fixture + ".img", m_dir);
        if (image.empty())
            return;
        std::ifstream file(image, std::ios::binary);
        m_bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    bool Ready() const { return !m_bytes.empty(); }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

    template <typename T> void Put(uint64_t offset, T value) {
        for (size_t i = 0; i < sizeof(T) && offset + i < m_bytes.size(); ++i)
            m_bytes[offset + i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
    }
    template <typename T> T Get(uint64_t offset) const {
        uint64_t value = 0;
        for (size_t i = 0; i < sizeof(T) && offset + i < m_bytes.size(); ++i)
            value |= uint64_t{m_bytes[offset + i]} << (8 * i);
        return static_cast<T>(value);
    }

    // A reader over the bytes; the volume is `totalSectors` long (by default the bytes).
    CNtfsFileSystem& Open(uint64_t totalSectors = 0) {
        m_environment.window = &m_window;
        m_environment.flags = &m_flags;
        m_window.SetHandler([this](JobMessage& message) -> intptr_t {
            if (message.id == WM_ADD_FOUND_ITEM)
                if (const FoundItemPayload* payload = message.Get<FoundItemPayload>())
                    m_items.push_back({*payload->item, payload->name});
            return 0;
        });
        m_volume = std::make_unique<CNtfsFileSystem>(m_environment);
        m_volume->SetVolumeFromSource(SectorSource::ForMemory(m_bytes), 0,
                                      totalSectors != 0 ? totalSectors : m_bytes.size() / 512);
        return *m_volume;
    }

    // The image offset of byte `at` of record `record`, through the reader's $MFT runs.
    uint64_t RecordByte(uint32_t record, size_t at) {
        uint64_t second = 0;
        const uint64_t sector = m_volume->MftRecordToSector(record, second);
        return at >= 512 && second != 0 ? second * 512 + (at - 512) : sector * 512 + at;
    }

    // The offset in the record of its first attribute of `type` (0 when none).
    static size_t AttributeAt(const CNtfsFileSystem::Record& record, uint8_t type) {
        size_t at = record[20] | (record[21] << 8);
        for (int i = 0; i < 30 && at + 8 <= record.size() && record[at] != 0xFF; ++i) {
            if (record[at] == type)
                return at;
            const size_t length = record[at + 4] | (record[at + 5] << 8);
            if (length == 0)
                break;
            at += length;
        }
        return 0;
    }

    // Makes the file of record `number` a hole of 2^32 - 1 clusters that claims `claimed`
    // bytes; false when the record has no non-resident $DATA. Needs the $MFT runs loaded.
    bool MakeHugeHole(uint32_t number, uint64_t claimed) {
        CNtfsFileSystem::Record record{};
        if (!m_volume->ReadRecord(number, record))
            return false;
        const size_t data = AttributeAt(record, 0x80);
        if (data == 0 || record[data + 8] != 1)
            return false;
        for (const size_t field : {40, 48, 56})
            Put<uint64_t>(RecordByte(number, data + field), claimed);
        const uint64_t runs = RecordByte(number, data + record[data + 32]);
        const uint8_t hole[] = {0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        for (size_t i = 0; i < sizeof hole; ++i)
            Put<uint8_t>(runs + i, hole[i]);
        return true;
    }

    // Opens the reader with its $MFT, makes the listed file `path` a hole claiming `claimed`
    // bytes, and returns the item that names it; entry id 0 when any step fails.
    FoundItem OpenWithHugeHole(const std::string& fixture, const std::string& path,
                               uint64_t claimed) {
        FoundItem item;
        CNtfsFileSystem& volume = Open();
        if (volume.ReadBootSector() != 1 || volume.LoadMftRuns() != 1)
            return item;
        for (const FlsEntry& row : ReadFlsListing(FixturesFolder() / (fixture + ".fls")))
            if (row.path == path && MakeHugeHole(static_cast<uint32_t>(row.inode), claimed)) {
                item.entryId = row.inode;
                item.attributes = 0x20;
                item.size = claimed;
            }
        return item;
    }

    CNtfsFileSystem& Volume() { return *m_volume; }
    RecordingJobWindow& Window() { return m_window; }
    const std::vector<Sent>& Items() const { return m_items; }

private:
    TempDir m_dir;
    std::vector<uint8_t> m_bytes;
    RecordingJobWindow m_window;
    JobFlags m_flags;
    ScanEnvironment m_environment;
    std::unique_ptr<CNtfsFileSystem> m_volume;
    std::vector<Sent> m_items;
};
