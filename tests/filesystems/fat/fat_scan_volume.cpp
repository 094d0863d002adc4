#include "tests/filesystems/fat/fat_scan_volume.h"

#include "tests/support/fixture_manifest.h"
#include "tests/support/sha256.h"

#include <algorithm>
#include <fstream>

void FatScanVolume::SetUp(DriveKind kind, uint8_t partitionType, FoundVolumeFields found) {
    Node().kind = kind;
    Node().Logical()->partitionType = partitionType;
    Node().Logical()->foundVolume = std::move(found);
    Open();
}

std::optional<std::vector<uint8_t>> FatScanVolume::ReadData(const FoundItem& item) {
    CFatFileSystem& volume = Volume();
    const ClusterList list = volume.GetFileClusters(static_cast<uint32_t>(item.firstCluster),
                                                    item.size, item.deleted != 0);
    MapImage();
    std::vector<uint8_t> data;
    std::vector<uint8_t> cluster(volume.BytesPerCluster());
    for (uint32_t number : list.clusters) {
        if (volume.ReadCluster(number, 0, cluster.data(), volume.SectorsPerCluster()) == 0)
            return std::nullopt;
        data.insert(data.end(), cluster.begin(), cluster.end());
    }
    if (data.size() < item.size)
        return std::nullopt;
    data.resize(item.size);
    return data;
}

std::string FatScanVolume::DataHash(const FoundItem& item) {
    const std::optional<std::vector<uint8_t>> data = ReadData(item);
    return data ? Sha256Hex(*data) : "unreadable";
}

std::optional<uint32_t> FatScanVolume::HeaderNumber(const std::string& label) const {
    std::ifstream in(Companion(".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find(label);
        if (!line.starts_with("#") || at == std::string::npos)
            continue;
        const size_t digits = at + label.size();
        const size_t end = line.find_first_not_of("0123456789", digits);
        if (end == digits)
            continue;
        return static_cast<uint32_t>(std::stoul(line.substr(digits, end - digits)));
    }
    return std::nullopt;
}

void ExpectManifestFiles(FatScanVolume& volume, const std::string& prefixToDrop) {
    const std::vector<ManifestEntry> manifest = ReadManifest(volume.Companion(".manifest"));
    ASSERT_FALSE(manifest.empty());
    for (const ManifestEntry& entry : manifest) {
        if (entry.state != "present" || (entry.kind == "file" && entry.size == 0))
            continue;
        std::string path = entry.path.substr(1);
        if (!prefixToDrop.empty() && path.starts_with(prefixToDrop))
            continue;
        SCOPED_TRACE(path);
        const SeenItem* seen = volume.Find(path);
        ASSERT_NE(seen, nullptr) << "not found";
        EXPECT_EQ(seen->item.IsFolder(), entry.kind == "dir");
        if (entry.kind == "file") {
            EXPECT_EQ(seen->item.size, entry.size);
            EXPECT_EQ(volume.DataHash(seen->item), entry.sha256);
        }
    }
}

std::string ClusterName(uint64_t cluster) {
    const std::string digits = std::to_string(cluster);
    return std::string(8 - std::min<size_t>(8, digits.size()), '0') + digits;
}
