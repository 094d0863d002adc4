#include "tests/filesystems/ntfs/ntfs_scan_volume.h"

#include "platform/text/byte_reader.h"
#include "tests/support/fixture_image.h"
#include "tests/support/sha256.h"

#include <algorithm>
#include <cstring>

NtfsScanVolume::NtfsScanVolume(const std::string& fixture) : ScannedVolume(fixture, 7, kRoot) {
    if (Ready())
        Open();
}

std::optional<std::vector<uint8_t>> NtfsScanVolume::ReadData(const FoundItem& item) {
    MapImage();
    CNtfsFileSystem& volume = Volume();
    const ClusterList list = volume.GetFileClusters(item);
    std::vector<uint8_t> data;
    if (list.Empty()) {
        NtfsDataRuns runs;
        if (item.size == 0)
            return data;
        if (!volume.ReadDataRuns(item, runs) || !runs.resident)
            return std::nullopt;
        data = runs.residentData;
    } else {
        const uint16_t spc = volume.SectorsPerCluster();
        std::vector<uint8_t> cluster(size_t{spc} * 512);
        for (uint32_t number : list.clusters) {
            if (ClusterList::IsSparse(number)) {
                std::fill(cluster.begin(), cluster.end(), 0);
            } else if (volume.ReadClusters(number, 0, cluster.data(), spc) == 0) {
                return std::nullopt;
            }
            data.insert(data.end(), cluster.begin(), cluster.end());
        }
        if (list.validLength < data.size())
            std::fill(data.begin() + static_cast<std::ptrdiff_t>(list.validLength), data.end(), 0);
    }
    if (data.size() < item.size)
        return std::nullopt;
    data.resize(item.size);
    return data;
}

bool NtfsScanVolume::OpenOwnReader(CNtfsFileSystem& reader) {
    MapImage();
    reader.SetVolumeFromDrive(0);
    return reader.ReadBootSector() == 1 && reader.LoadMftRuns() == 1;
}

std::optional<uint64_t> NtfsScanVolume::FindRecordByte(uint32_t record, size_t at) {
    ScanEnvironment environment;
    environment.selectedDrive = &Node();
    CNtfsFileSystem reader(environment);
    if (!OpenOwnReader(reader))
        return std::nullopt;
    uint64_t second = 0;
    const uint64_t sector = reader.MftRecordToSector(record, second);
    if (sector == 0)
        return std::nullopt;
    if (at >= 512 && second != 0)
        return second * 512 + (at - 512);
    return sector * 512 + at;
}

uint64_t NtfsScanVolume::RecordByteOffset(uint32_t record, size_t at) {
    // The last two bytes of each sector belong to the update sequence.
    EXPECT_LT(at % 512, 510u);
    const std::optional<uint64_t> offset = FindRecordByte(record, at);
    EXPECT_TRUE(offset.has_value()) << record;
    return offset.value_or(0);
}

CNtfsFileSystem::Record NtfsScanVolume::ReadRecord(uint32_t record) {
    ScanEnvironment environment;
    environment.selectedDrive = &Node();
    CNtfsFileSystem reader(environment);
    OpenOwnReader(reader);
    CNtfsFileSystem::Record bytes{};
    EXPECT_TRUE(reader.ReadRecord(record, bytes));
    return bytes;
}

size_t NtfsScanVolume::AttributeOffset(const CNtfsFileSystem::Record& record, uint32_t type) {
    ByteReader reader(record);
    uint16_t offset = 0;
    if (!reader.ReadU16(20, offset))
        return 0;
    for (int i = 0; i < 30 && offset < record.size(); ++i) {
        uint32_t found = 0;
        uint32_t length = 0;
        if (!reader.ReadU32(offset, found) || !reader.ReadU32(offset + 4u, length) ||
            found == 0xFFFFFFFF || length == 0)
            return 0;
        if (found == type)
            return offset;
        offset = static_cast<uint16_t>(offset + length);
    }
    return 0;
}

void NtfsScanVolume::ZeroRecord(uint32_t record) {
    const std::vector<uint8_t> zeros(512, 0);
    Patch(RecordByteOffset(record, 0), zeros);
    Patch(RecordByteOffset(record, 512 + 4), std::span<const uint8_t>(zeros).first(508));
    Patch(RecordByteOffset(record, 512), std::span<const uint8_t>(zeros).first(4));
}

bool NtfsScanVolume::ToOlderRecordLayout(uint32_t record) {
    const std::optional<uint64_t> offset = FindRecordByte(record, 0);
    if (!offset)
        return false;
    std::vector<uint8_t> header = ReadImage(*offset, 56);
    if (header.size() != 56 || std::memcmp(header.data(), "FILE", 4) != 0 || header[4] != 0x30 ||
        header[5] != 0)
        return false;
    header[4] = 0x2A;
    std::copy(header.begin() + 48, header.begin() + 54, header.begin() + 42);
    Patch(*offset, header);
    return true;
}

void NtfsScanVolume::SetParent(uint32_t record, uint32_t parent) {
    const CNtfsFileSystem::Record bytes = ReadRecord(record);
    const size_t name = AttributeOffset(bytes, 0x30);
    ASSERT_NE(name, 0u);
    uint16_t content = 0;
    ASSERT_TRUE(ByteReader(bytes).ReadU16(name + 20, content));
    PatchU32(RecordByteOffset(record, name + content), parent);
}

int64_t FiletimeToUnix(uint64_t filetime) {
    return static_cast<int64_t>(filetime / 10000000) - 11644473600;
}

bool IsStream(const FlsEntry& entry) {
    return entry.path.find(':') != std::string::npos;
}

bool IsVolumeRecord(const FlsEntry& entry) {
    return entry.inode <= 1;
}

std::vector<LogLinePayload> LogRows(const RecordingJobWindow& window) {
    std::vector<LogLinePayload> rows;
    for (const JobMessage& message : window.Messages())
        if (const LogLinePayload* row = message.Get<LogLinePayload>())
            rows.push_back(*row);
    return rows;
}

std::map<std::string, uint64_t> RecordsOfListing(const std::filesystem::path& listing) {
    std::map<std::string, uint64_t> records;
    for (const FlsEntry& row : ReadFlsListing(listing))
        if (!IsStream(row))
            records.emplace(row.path, row.inode);
    return records;
}

uint32_t HeaderRecord(const NtfsScanVolume& volume, const std::string& key) {
    const std::optional<std::string> value =
        ManifestHeaderValue(volume.Companion(".manifest"), key);
    EXPECT_TRUE(value.has_value()) << key;
    return value ? static_cast<uint32_t>(std::stoul(*value)) : 0;
}

void ExpectManifestContents(NtfsScanVolume& volume, const std::string& fixture, bool deletedToo,
                            const std::function<std::string(const std::string&)>& placed) {
    const std::vector<ManifestEntry> manifest =
        ReadManifest(FixturesFolder() / (fixture + ".manifest"));
    ASSERT_FALSE(manifest.empty());
    size_t checked = 0;
    for (const ManifestEntry& entry : manifest) {
        if (entry.kind != "file" || (entry.state != "present" && !deletedToo))
            continue;
        const std::string path = placed ? placed(RelativePath(entry)) : RelativePath(entry);
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << path;
        EXPECT_EQ(seen->item.size, entry.size) << path;
        EXPECT_EQ(seen->item.deleted, entry.state == "deleted" ? 1 : 0) << path;
        if (entry.path.starts_with("/Compressed/") && entry.size > 1024) {
            EXPECT_EQ(seen->item.noData, 1) << path;
            continue;
        }
        const std::optional<std::vector<uint8_t>> data = volume.ReadData(seen->item);
        ASSERT_TRUE(data.has_value()) << path;
        EXPECT_EQ(Sha256Hex(*data), entry.sha256) << path;
        ++checked;
    }
    EXPECT_GT(checked, 0u);
}
