#include "tests/filesystems/fat/fat_scan_volume.h"

#include "tests/support/fixture_manifest.h"
#include "tests/support/sha256.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(path);
    while (std::getline(stream, part, '/'))
        parts.push_back(part);
    return parts;
}

// sleuthkit cuts long names near 240 bytes; a name that long matches ours when it begins it.
constexpr size_t kSleuthkitNameCut = 200;

// Whether our name of one path component is the listing's: equal, or a deleted 8.3 name
// whose lost first character we show as 'X' (sleuthkit shows '_', the manifest the true
// letter), or a name sleuthkit cut short.
bool ComponentsMatch(const std::string& ours, const std::string& theirs, bool deleted) {
    if (ours == theirs)
        return true;
    if (deleted && ours.size() == theirs.size() && !ours.empty() && ours[0] == 'X' &&
        ours.compare(1, std::string::npos, theirs, 1) == 0)
        return true;
    return theirs.size() >= kSleuthkitNameCut && ours.starts_with(theirs);
}

} // namespace

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

void ExpectMovedFiles(FatScanVolume& volume, const std::map<std::string, std::string>& moved) {
    for (const ManifestEntry& entry : ReadManifest(volume.Companion(".manifest"))) {
        const auto it = moved.find(entry.path.substr(1));
        if (it == moved.end())
            continue;
        const SeenItem* file = volume.Find(it->second);
        ASSERT_NE(file, nullptr) << it->second;
        EXPECT_EQ(file->item.size, entry.size) << it->second;
        EXPECT_EQ(volume.DataHash(file->item), entry.sha256) << it->second;
    }
}

std::string ClusterName(uint64_t cluster) {
    const std::string digits = std::to_string(cluster);
    return std::string(8 - std::min<size_t>(8, digits.size()), '0') + digits;
}

bool PathsMatch(const std::string& ours, const std::string& theirs, bool deleted) {
    std::vector<std::string> a = SplitPath(ours);
    std::vector<std::string> b = SplitPath(theirs);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!ComponentsMatch(a[i], b[i], deleted))
            return false;
    return true;
}

// The cluster list of every file of the manifest gives its bytes: the live ones by their
// chains, the deleted ones as consecutive clusters from their first.
void ExpectContents(FatScanVolume& scanned, const std::vector<ManifestEntry>& manifest) {
    size_t checked = 0;
    for (const ManifestEntry& row : manifest) {
        if (row.kind != "file" || row.size == 0)
            continue;
        SCOPED_TRACE(row.path);
        const bool deleted = row.state == "deleted";
        const SeenItem* found = nullptr;
        for (const SeenItem& each : scanned.Items())
            if (!each.item.IsFolder() && (each.item.deleted != 0) == deleted &&
                PathsMatch(scanned.PathOf(each), RelativePath(row), deleted))
                found = &each;
        ASSERT_NE(found, nullptr) << "not found";
        EXPECT_EQ(found->item.size, row.size);
        std::optional<std::vector<uint8_t>> data = scanned.ReadData(found->item);
        ASSERT_TRUE(data.has_value());
        EXPECT_EQ(Sha256Hex(*data), row.sha256);
        ++checked;
    }
    EXPECT_GT(checked, 0u);
}

std::map<std::string, uint64_t> ReadGeometryFile(const std::filesystem::path& path) {
    std::map<std::string, uint64_t> values;
    std::ifstream in(path);
    std::string key;
    std::string value;
    while (in >> key >> value)
        values[key] = std::stoull(value, nullptr, 0);
    return values;
}
