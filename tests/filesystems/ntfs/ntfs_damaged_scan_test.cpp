#include "filesystems/ntfs/ntfs_scan_run.h"
#include "platform/text/byte_reader.h"
#include "platform/text/format_text.h"
#include "tests/filesystems/ntfs/ntfs_scan_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace {

// The byte offsets, in the image, of a name in the root folder's index blocks.
std::vector<uint64_t> IndexNameOffsets(const NtfsScanVolume& volume, const std::u16string& name,
                                       uint64_t clusterBytes) {
    std::vector<uint8_t> pattern{static_cast<uint8_t>(name.size()), 0};
    for (char16_t unit : name) {
        pattern.push_back(static_cast<uint8_t>(unit));
        pattern.push_back(static_cast<uint8_t>(unit >> 8));
    }
    const uint64_t size = std::filesystem::file_size(volume.Image());
    const std::vector<uint8_t> image = volume.ReadImage(0, static_cast<size_t>(size));
    std::vector<uint64_t> offsets;
    for (auto it = std::search(image.begin(), image.end(), pattern.begin(), pattern.end());
         it != image.end(); it = std::search(it + 1, image.end(), pattern.begin(), pattern.end())) {
        const uint64_t at = static_cast<uint64_t>(it - image.begin());
        const uint64_t block = at / clusterBytes * clusterBytes;
        if (std::memcmp(image.data() + block, "INDX", 4) == 0)
            offsets.push_back(at);
    }
    return offsets;
}

TEST(NtfsStandardScanTest, ParentOutsideTheWalkGetsAReferenceFolder) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    // README.txt's index entry: Win32 namespace, and a parent no walk reaches.
    const std::vector<uint64_t> names = IndexNameOffsets(volume, u"README.txt", 4096);
    ASSERT_EQ(names.size(), 1u);
    const uint8_t win32 = 1;
    volume.Patch(names[0] + 1, std::span<const uint8_t>(&win32, 1));
    volume.PatchU32(names[0] - 80 + 16, 4000);
    volume.Scan();

    const SeenItem* reference = volume.Find("REF-4000");
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(reference->item.entryId, 4000u);
    EXPECT_EQ(reference->item.parentId, kRoot);
    EXPECT_TRUE(reference->item.IsFolder());
    const SeenItem* readme = volume.Find("REF-4000/README.txt");
    ASSERT_NE(readme, nullptr);
    EXPECT_EQ(readme->item.size, 31u);
    // Its record was reached through the index: the record pass does not send it again.
    EXPECT_EQ(volume.Find("README.txt"), nullptr);
    EXPECT_EQ(volume.CountPath("REF-4000"), 1u);
}

TEST(NtfsStandardScanTest, DeletedFoldersWhoseParentsFormACycleEndUnderLostFolders) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const SeenItem* trash = nullptr;
    {
        NtfsScanVolume clean("ntfs_volume");
        ASSERT_TRUE(clean.Ready());
        clean.Scan();
        trash = clean.Find("Trash");
        ASSERT_NE(trash, nullptr);
        const SeenItem* sub = clean.Find("Trash/Sub");
        ASSERT_NE(sub, nullptr);
        // Trash becomes Sub's child while Sub stays Trash's.
        volume.SetParent(static_cast<uint32_t>(trash->item.entryId),
                         static_cast<uint32_t>(sub->item.entryId));
    }
    volume.Scan();
    const SeenItem* lost = volume.Find("Lost Folder(s)");
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->item.entryId, CNtfsFileSystem::kLostFoldersId);
    EXPECT_EQ(lost->item.parentId, kRoot);
    for (const char* path :
         {"Lost Folder(s)/Trash", "Lost Folder(s)/Trash/Sub", "Lost Folder(s)/Trash/Draft 1.txt",
          "Lost Folder(s)/Trash/Sub/Deep.txt"})
        EXPECT_EQ(volume.CountPath(path), 1u) << path;
    EXPECT_EQ(volume.Find("Trash"), nullptr);
}

// The offset of the first name pattern ([length][namespace][UTF-16 name]) in the bytes.
std::optional<size_t> NameOffset(const std::vector<uint8_t>& bytes, const std::u16string& name) {
    std::vector<uint8_t> pattern{static_cast<uint8_t>(name.size()), 0};
    for (char16_t unit : name) {
        pattern.push_back(static_cast<uint8_t>(unit));
        pattern.push_back(static_cast<uint8_t>(unit >> 8));
    }
    const auto it = std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end());
    if (it == bytes.end())
        return std::nullopt;
    return static_cast<size_t>(it - bytes.begin());
}

TEST(NtfsStandardScanTest, FolderWhoseIndexNamesItselfIsWalkedOnce) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    const std::map<std::string, uint64_t> records = [&] {
        std::map<std::string, uint64_t> byPath;
        for (const FlsEntry& row : ReadFlsListing(volume.Companion(".fls")))
            byPath.emplace(row.path, row.inode);
        return byPath;
    }();
    const uint32_t docs = static_cast<uint32_t>(records.at("Docs"));
    const uint8_t win32 = 1;
    // The walk takes Win32 names only: Docs in the root's index, and in Docs' own index
    // (resident in its record) the entry of Nested.txt, which now names Docs itself as a
    // folder.
    const std::vector<uint64_t> inRoot = IndexNameOffsets(volume, u"Docs", 4096);
    ASSERT_EQ(inRoot.size(), 1u);
    volume.Patch(inRoot[0] + 1, std::span<const uint8_t>(&win32, 1));
    const uint64_t record = volume.RecordByteOffset(docs, 0);
    const std::optional<size_t> nested = NameOffset(volume.ReadImage(record, 1024), u"Nested.txt");
    ASSERT_TRUE(nested.has_value());
    ASSERT_GT(*nested, 256u); // in the index root, past Docs' own $FILE_NAME
    ASSERT_LT(*nested, 490u);
    volume.Patch(record + *nested + 1, std::span<const uint8_t>(&win32, 1));
    volume.PatchU32(record + *nested - 80, docs);
    volume.PatchU32(record + *nested - 80 + 72, 0x10000020);
    volume.Scan();

    EXPECT_EQ(volume.CountPath("Docs"), 1u);
    EXPECT_EQ(volume.CountPath("Docs/Nested.txt"), 1u);
    EXPECT_NE(volume.Find("Docs/Projects/Old/plan.txt"), nullptr);
    ExpectUniqueIds(volume);
}

TEST(NtfsStandardScanTest, IndexBlocksMarkedUnusedAreNotRead) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    // The root folder's $BITMAP says its only index block is free.
    const CNtfsFileSystem::Record root = volume.ReadRecord(CNtfsFileSystem::kRootRecord);
    const size_t bitmap = NtfsScanVolume::AttributeOffset(root, 0xB0);
    ASSERT_NE(bitmap, 0u);
    uint16_t content = 0;
    ASSERT_TRUE(ByteReader(root).ReadU16(bitmap + 20, content));
    const uint8_t none = 0;
    volume.Patch(volume.RecordByteOffset(CNtfsFileSystem::kRootRecord, bitmap + content),
                 std::span<const uint8_t>(&none, 1));
    volume.Scan();
    // Its entries are not taken: the system files below record 16 are reached through them
    // only, while the user's files still come from their records.
    EXPECT_EQ(volume.Find("$UpCase"), nullptr);
    EXPECT_NE(volume.Find("Docs/Nested.txt"), nullptr);
}

TEST(NtfsStandardScanTest, LostParentIdNeverNamesAnItem) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    uint32_t gone = 0;
    for (const FlsEntry& row : ReadFlsListing(volume.Companion(".fls")))
        if (row.path == "GONE.TXT")
            gone = static_cast<uint32_t>(row.inode);
    ASSERT_NE(gone, 0u);
    // A deleted file that names itself as its parent.
    volume.SetParent(gone, gone);
    volume.Scan();
    const SeenItem* file =
        volume.Find("Lost Folder(s)/" + FormatText8("Folder %d", gone) + "/GONE.TXT");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->item.entryId, gone);
    const SeenItem* folder = volume.ById(file->item.parentId);
    ASSERT_NE(folder, nullptr);
    EXPECT_NE(folder->item.entryId, gone);
    EXPECT_EQ(folder->item.parentId, CNtfsFileSystem::kLostFoldersId);
    ExpectUniqueIds(volume);
}

TEST(NtfsStandardScanTest, RecordNamedDotIsNeverSent) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    uint32_t gone = 0;
    {
        NtfsScanVolume clean("ntfs_volume");
        ASSERT_TRUE(clean.Ready());
        clean.Scan();
        const SeenItem* item = clean.Find("GONE.TXT");
        ASSERT_NE(item, nullptr);
        gone = static_cast<uint32_t>(item->item.entryId);
    }
    const CNtfsFileSystem::Record record = volume.ReadRecord(gone);
    const size_t name = NtfsScanVolume::AttributeOffset(record, 0x30);
    ASSERT_NE(name, 0u);
    const uint8_t dot[] = {1, 0, '.', 0};
    volume.Patch(volume.RecordByteOffset(gone, name + 88), dot);
    volume.Scan();
    EXPECT_EQ(volume.Find("GONE.TXT"), nullptr);
    EXPECT_EQ(volume.Find("."), nullptr);
    EXPECT_NE(volume.Find("Old Draft.txt"), nullptr);
}

// Gone's record is zeroed: its deleted subtree hangs on a folder standing for it. Cut's
// record is zeroed too. The standard scan meets Cut in the root's index, which still names it:
// its live contents, which its own lost index cannot reach, come back under it from their
// records. The advance scan reads records only: Cut gets a folder standing for it too.
TEST_P(NtfsBothScansTest, OrphansComeBackUnderLostFolders) {
    NtfsScanVolume volume("ntfs_deleted_parent");
    ASSERT_TRUE(volume.Ready());
    volume.Scan(GetParam());
    const bool standard = GetParam() == ScanKind::Standard;
    const uint32_t gone = HeaderRecord(volume, "zeroed-record-gone");
    const uint32_t cut = HeaderRecord(volume, "zeroed-record-cut");
    const std::string goneFolder = "Lost Folder(s)/" + FormatText8("Folder %d", gone);
    const std::string cutFolder =
        standard ? "Cut" : "Lost Folder(s)/" + FormatText8("Folder %d", cut);
    if (standard) {
        const SeenItem* cutItem = volume.Find(cutFolder);
        ASSERT_NE(cutItem, nullptr);
        EXPECT_EQ(cutItem->item.entryId, cut);
        EXPECT_EQ(cutItem->item.parentId, CNtfsFileSystem::kRootRecord);
        const SeenItem* folder = volume.Find(goneFolder);
        ASSERT_NE(folder, nullptr) << goneFolder;
        EXPECT_EQ(folder->item.entryId, gone);
        EXPECT_EQ(folder->item.parentId, CNtfsFileSystem::kLostFoldersId);
        EXPECT_TRUE(folder->item.IsFolder());
        EXPECT_EQ(volume.CountPath("Lost Folder(s)"), 1u);
        const SeenItem* child = volume.Find(goneFolder + "/Child");
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(child->item.deleted, 1);
        EXPECT_EQ(child->item.entryId, gone + 2);
        const SeenItem* branch = volume.Find(cutFolder + "/Branch");
        ASSERT_NE(branch, nullptr);
        EXPECT_EQ(branch->item.deleted, 0);
    }

    ExpectManifestContents(volume, "ntfs_deleted_parent", true, [&](const std::string& path) {
        if (path.starts_with("Gone/"))
            return goneFolder + path.substr(4);
        if (path.starts_with("Cut/"))
            return cutFolder + path.substr(3);
        return path;
    });
    // The folders standing for lost parents keep ids apart from the item ids.
    ExpectUniqueIds(volume);
}

// --- damaged volumes ----------------------------------------------------------------------

// No folder id names two folders, and no folder is its own ancestor.
void ExpectSoundTree(const NtfsScanVolume& volume, const std::string& context) {
    std::map<uint64_t, const SeenItem*> folders;
    for (const SeenItem& seen : volume.Items()) {
        if (seen.item.IsFolder()) {
            EXPECT_TRUE(folders.emplace(seen.item.entryId, &seen).second)
                << context << ": folder id " << seen.item.entryId << " twice";
        }
    }
    for (const auto& [id, folder] : folders) {
        uint64_t parent = folder->item.parentId;
        size_t steps = 0;
        for (; parent != kRoot && steps <= folders.size(); ++steps) {
            const auto up = folders.find(parent);
            if (up == folders.end())
                break; // a parent that was never sent: shown nowhere, but no loop
            parent = up->second->item.parentId;
        }
        EXPECT_LE(steps, folders.size()) << context << ": folder " << id << " in a cycle";
    }
}

TEST_P(NtfsBothScansTest, ScansOfScrambledRecordsAndIndexesEnd) {
    // Each round draws the damage for the standard scan, then for the advance scan.
    std::mt19937 random(20231114);
    for (int round = 0; round < 6; ++round) {
        for (const ScanKind kind : {ScanKind::Standard, ScanKind::Advance}) {
            // Bytes of the $MFT's records (they start at sector 32) and of the root's index
            // block (cluster 517) take random values.
            std::vector<std::pair<uint64_t, uint8_t>> damage;
            for (int i = 0; i < 400; ++i) {
                const bool inIndex = i % 4 == 0;
                const uint64_t offset = inIndex ? 517ull * 4096 + random() % 4096
                                                : 32ull * 512 + random() % (188 * 1024);
                damage.emplace_back(offset, static_cast<uint8_t>(random()));
            }
            if (kind != GetParam())
                continue;
            NtfsScanVolume volume("ntfs_volume");
            ASSERT_TRUE(volume.Ready());
            for (const auto& [offset, value] : damage)
                volume.Patch(offset, std::span<const uint8_t>(&value, 1));
            volume.Scan(kind);
            const std::string context = "round " + std::to_string(round);
            ExpectSoundTree(volume, context);
            EXPECT_EQ(volume.Volume().FoundCount(),
                      volume.Items().empty() ? 0 : volume.Items().size() + 1)
                << context;
        }
    }
}

// --- index blocks -----------------------------------------------------------------------------

TEST(NtfsIndexBlockTest, FixupRestoresSectorEndsAndRejectsOtherBlocks) {
    std::vector<uint8_t> block(4096, 0);
    std::memcpy(block.data(), "INDX", 4);
    block[4] = 0x28; // update-sequence array at 40, 9 entries
    block[6] = 9;
    block[0x28] = 0x11; // sequence number, written at every sector end
    block[0x29] = 0x22;
    for (size_t sector = 1; sector <= 8; ++sector) {
        block[sector * 512 - 2] = 0x11;
        block[sector * 512 - 1] = 0x22;
        block[0x28 + 2 * sector] = static_cast<uint8_t>(sector);
        block[0x29 + 2 * sector] = static_cast<uint8_t>(0xA0 + sector);
    }
    ASSERT_TRUE(NtfsScanRun::ApplyIndexFixup(block));
    for (size_t sector = 1; sector <= 8; ++sector) {
        EXPECT_EQ(block[sector * 512 - 2], sector);
        EXPECT_EQ(block[sector * 512 - 1], 0xA0 + sector);
    }
    // A count larger than the block touches nothing past it; an array past the end fails.
    block[6] = 200;
    EXPECT_TRUE(NtfsScanRun::ApplyIndexFixup(block));
    block[4] = 0xF0;
    block[5] = 0x0F;
    EXPECT_FALSE(NtfsScanRun::ApplyIndexFixup(block));
    std::memcpy(block.data(), "FILE", 4);
    EXPECT_FALSE(NtfsScanRun::ApplyIndexFixup(block));
}

TEST(NtfsIndexBlockTest, EntryParentNeedsAKey) {
    std::vector<uint8_t> entry(96, 0);
    entry[8] = 96;  // length
    entry[10] = 70; // key length
    entry[16] = 0x39;
    entry[17] = 0x30; // parent 0x3039
    EXPECT_EQ(NtfsScanRun::EntryParent(entry, 0), 0x3039u);
    entry[12] = 2; // the last entry of a node: no key
    EXPECT_FALSE(NtfsScanRun::EntryParent(entry, 0).has_value());
    entry[12] = 0;
    entry[10] = 0;
    EXPECT_FALSE(NtfsScanRun::EntryParent(entry, 0).has_value());
    entry[10] = 70;
    EXPECT_FALSE(NtfsScanRun::EntryParent(entry, 90).has_value()); // past the buffer
}

} // namespace
