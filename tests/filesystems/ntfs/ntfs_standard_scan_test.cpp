#include "platform/text/byte_reader.h"
#include "platform/text/format_text.h"
#include "tests/filesystems/ntfs/ntfs_memory_volume.h"
#include "tests/filesystems/ntfs/ntfs_scan_volume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char16_t kProductTitle[] = u"Morwick Wrenfal Windows Data Recovery v3.0";

struct NtfsStamps {
    int64_t modified = -1;
    int64_t created = -1;
    int64_t changed = -1;
};

// The stamps of a record's first $FILE_NAME, read straight from the record: what the record
// itself says its index key holds.
NtfsStamps FileNameStamps(CNtfsFileSystem& volume, uint64_t recordNumber) {
    NtfsStamps stamps;
    CNtfsFileSystem::Record record{};
    if (!volume.ReadRecord(static_cast<uint32_t>(recordNumber), record))
        return stamps;
    const ByteReader reader(record);
    uint16_t offset = 0;
    if (!reader.ReadU16(20, offset))
        return stamps;
    for (int attributes = 0; attributes < 30 && size_t{offset} + 8 <= record.size(); ++attributes) {
        uint32_t type = 0, length = 0;
        if (!reader.ReadU32(offset, type) || !reader.ReadU32(offset + 4, length) ||
            type == 0xFFFFFFFF || length == 0)
            break;
        if (type == 0x30) {
            uint16_t content = 0;
            uint64_t created = 0, modified = 0, changed = 0;
            if (reader.ReadU16(offset + 20, content) &&
                reader.ReadU64(offset + content + 8, created) &&
                reader.ReadU64(offset + content + 16, modified) &&
                reader.ReadU64(offset + content + 24, changed)) {
                stamps = {FiletimeToUnix(modified), FiletimeToUnix(created),
                          FiletimeToUnix(changed)};
            }
            break;
        }
        offset = static_cast<uint16_t>(offset + length);
    }
    return stamps;
}

// The same volume in memory and as a mapped drive: both set-ups read the same tree.
TEST_P(NtfsBothScansTest, MemorySourceScansAsTheDriveDoes) {
    NtfsScanVolume drive("ntfs_volume");
    NtfsMemoryVolume memory("ntfs_volume");
    ASSERT_TRUE(drive.Ready() && memory.Ready());
    CNtfsFileSystem& volume = memory.Open();
    drive.Scan(GetParam());
    if (GetParam() == ScanKind::Advance)
        volume.AdvanceScan();
    else
        volume.Scan();
    std::multiset<std::pair<uint64_t, std::u16string>> fromDrive, fromMemory;
    for (const SeenItem& seen : drive.Items())
        fromDrive.emplace(seen.item.entryId, seen.name);
    for (const NtfsMemoryVolume::Sent& sent : memory.Items())
        fromMemory.emplace(sent.item.entryId, sent.name);
    EXPECT_GT(fromMemory.size(), 100u);
    EXPECT_EQ(fromMemory, fromDrive);
    EXPECT_EQ(volume.FoundCount(), drive.Volume().FoundCount());
}

TEST(NtfsStandardScanTest, ItemsMatchTheSleuthkitListing) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();

    std::vector<FlsEntry> listing = ReadFlsListing(volume.Companion(".fls"));
    ASSERT_GT(listing.size(), 100u);
    size_t compared = 0;
    for (const FlsEntry& row : listing) {
        if (IsStream(row) || IsVolumeRecord(row))
            continue;
        ASSERT_EQ(volume.CountPath(row.path), 1u) << row.path;
        const SeenItem& seen = *volume.Find(row.path);
        const bool folder = row.type.ends_with('d');
        EXPECT_EQ(seen.item.IsFolder(), folder) << row.path;
        EXPECT_EQ(seen.item.deleted, row.deleted ? 1 : 0) << row.path;
        EXPECT_EQ(seen.item.entryId, row.inode) << row.path;
        EXPECT_EQ(seen.item.firstCluster, 0u) << row.path;
        if (!folder) {
            EXPECT_EQ(seen.item.size, row.size) << row.path;
        }
        // Items met in an index carry the times of its $FILE_NAME key; items read from their
        // records (the deleted ones) those of $STANDARD_INFORMATION, which fls prints.
        const NtfsStamps expected = row.deleted ? NtfsStamps{row.mtime, row.crtime, row.ctime}
                                                : FileNameStamps(volume.Volume(), row.inode);
        EXPECT_EQ(FiletimeToUnix(seen.item.NtfsModifiedTime()), expected.modified) << row.path;
        EXPECT_EQ(FiletimeToUnix(seen.item.NtfsCreatedTime()), expected.created) << row.path;
        EXPECT_EQ(FiletimeToUnix(seen.item.NtfsChangedTime()), expected.changed) << row.path;
        ++compared;
    }
    EXPECT_GT(compared, 100u);

    // Nothing else was sent: every item is a row of the listing, or a system file that fls
    // lists only by its named streams.
    for (const SeenItem& seen : volume.Items()) {
        const std::string& path = volume.PathOf(seen);
        const bool listed = FindFlsEntry(listing, path) != nullptr ||
                            std::any_of(listing.begin(), listing.end(), [&](const FlsEntry& row) {
                                return row.path.starts_with(path + ":");
                            });
        EXPECT_TRUE(listed) << path;
        EXPECT_NE(seen.name, u".");
    }
    // Dated.txt's own stamps (written 2012, created 2010) are in its record; the index keeps
    // the stamps its name got when it was made.
    const SeenItem* dated = volume.Find("Dated.txt");
    ASSERT_NE(dated, nullptr);
    const FlsEntry* datedRow = FindFlsEntry(listing, "Dated.txt");
    ASSERT_NE(datedRow, nullptr);
    EXPECT_EQ(datedRow->mtime, 1330516800);
    EXPECT_EQ(FiletimeToUnix(dated->item.NtfsModifiedTime()),
              FileNameStamps(volume.Volume(), datedRow->inode).modified);
}

TEST(NtfsStandardScanTest, FilesReadBackAsTheManifestSays) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();
    ExpectManifestContents(volume, "ntfs_volume", true);

    uint64_t fileBytes = 0;
    uint32_t files = 0;
    for (const SeenItem& seen : volume.Items())
        if (!seen.item.IsFolder()) {
            fileBytes += seen.item.size;
            ++files;
        }
    EXPECT_EQ(volume.Volume().FileCount(), files);
    EXPECT_EQ(volume.Volume().FoundBytes(), fileBytes);
    // The root counts as found too.
    EXPECT_EQ(volume.Volume().FoundCount(), volume.Items().size() + 1);
}

TEST(NtfsStandardScanTest, SendsTheMessagesOfAScan) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();
    const std::vector<JobMessage> messages = volume.Window().Messages();

    // Before the first item: pane widths, the progress bar over the $MFT's records, the root.
    const auto firstItem =
        std::find_if(messages.begin(), messages.end(),
                     [](const JobMessage& message) { return message.id == WM_ADD_FOUND_ITEM; });
    ASSERT_NE(firstItem, messages.end());
    ASSERT_GE(firstItem - messages.begin(), 3);
    const JobMessage& widths = *(firstItem - 3);
    const JobMessage& progress = *(firstItem - 2);
    const JobMessage& root = *(firstItem - 1);
    ASSERT_EQ(widths.id, WM_SET_PANE_WIDTHS);
    EXPECT_EQ(widths.Get<PaneWidthsPayload>()->pane0, 345);
    EXPECT_EQ(widths.Get<PaneWidthsPayload>()->pane1, 340);
    ASSERT_EQ(progress.id, WM_CREATE_PROGRESS);
    EXPECT_EQ(progress.Get<ProgressCreatePayload>()->label, u"");
    EXPECT_EQ(progress.Get<ProgressCreatePayload>()->maximum, volume.Volume().MftRecordCount());
    EXPECT_EQ(root.id, WM_ADD_TREE_ROOT);
    EXPECT_EQ(volume.Window().Count(WM_ADD_TREE_ROOT), 1u);

    // Each item is followed by the running count.
    size_t items = 0;
    for (size_t i = 0; i + 1 < messages.size(); ++i) {
        if (messages[i].id != WM_ADD_FOUND_ITEM)
            continue;
        ++items;
        ASSERT_EQ(messages[i + 1].id, WM_SET_PROGRESS_TEXT);
        EXPECT_EQ(messages[i + 1].Get<TextPayload>()->text,
                  FormatText(u"%d Entries Found", items + 1));
    }

    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].activity, u"Creating directory tree");
    EXPECT_EQ(rows[0].description, u"Process Started");
    EXPECT_TRUE(rows[0].status.starts_with(u"Started on :"));
    EXPECT_EQ(rows[0].image, 1);
    EXPECT_EQ(rows[1].description, u"Adding deleted file(s) and folder(s)");
    EXPECT_EQ(rows[1].status, u"Process Started");
    EXPECT_EQ(rows[2].status, u"Process completed");
    EXPECT_EQ(rows[2].image, 5);
    EXPECT_EQ(rows[3].description, u"Process completed");
    EXPECT_TRUE(rows[3].status.starts_with(u"Completed on :"));
    EXPECT_EQ(rows[3].image, 5);

    // The scan ends with the bar gone, the tree collapsed and the hint at the advance scan.
    std::vector<uint32_t> ids = volume.Window().Ids();
    const auto destroy = std::find(ids.begin(), ids.end(), WM_DESTROY_PROGRESS);
    ASSERT_NE(destroy, ids.end());
    ASSERT_NE(destroy + 1, ids.end());
    EXPECT_EQ(*(destroy + 1), WM_COLLAPSE_ROOT);
    const std::vector<MessageBoxRequest> boxes = volume.Window().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"If you are unable to find the lost file(s) and folder(s) in the "
                             u"displayed tree rescan the drive again in \"Advance Search\"");
    EXPECT_EQ(boxes[0].caption, kProductTitle);
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Information);
    EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::Ok);
    EXPECT_TRUE(boxes[0].topmost);
}

TEST(NtfsStandardScanTest, MftEntryDoesNotEndTheRootIndex) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.Scan();
    // $UpCase and $Volume follow $MFT in the root index, and no record pass reaches records
    // below 16: the walk went on past the $MFT entry.
    for (const char* name : {"$MFTMirr", "$MFT"})
        EXPECT_EQ(volume.Find(name), nullptr) << name;
    for (const char* name : {"$UpCase", "$Volume", "$Secure", "$Extend/$Quota"})
        EXPECT_NE(volume.Find(name), nullptr) << name;
}

TEST(NtfsStandardScanTest, StopEndsTheScanAndKeepsTheItems) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    volume.OnItem([&](size_t sent) {
        if (sent == 20)
            volume.Flags().stopRequested = true;
    });
    volume.Scan();
    EXPECT_EQ(volume.Items().size(), 20u);
    EXPECT_EQ(volume.Volume().FoundCount(), 21u);
    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().activity, u"Creating directory tree");
    EXPECT_EQ(rows.back().description, u"Process aborted, user intervention");
    EXPECT_TRUE(rows.back().status.starts_with(u"Aborted on :"));
    EXPECT_EQ(rows.back().image, 3);
    EXPECT_EQ(volume.Window().Count(WM_DESTROY_PROGRESS), 1u);
    EXPECT_EQ(volume.Window().Count(WM_COLLAPSE_ROOT), 1u);
}

TEST(NtfsStandardScanTest, UnreadableVolumeEndsWithTheInvalidDriveMessage) {
    NtfsScanVolume volume("ntfs_volume");
    ASSERT_TRUE(volume.Ready());
    // No boot sector, no backup, no file record anywhere: nothing to vote with.
    const uint64_t size = std::filesystem::file_size(volume.Image());
    std::vector<uint8_t> zeros(static_cast<size_t>(size), 0);
    volume.Patch(0, zeros);
    volume.Scan();
    EXPECT_TRUE(volume.Items().empty());
    EXPECT_EQ(volume.Volume().FoundCount(), 0u);
    const std::vector<MessageBoxRequest> boxes = volume.Window().MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kInvalidVolumeText);
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Warning);
    EXPECT_TRUE(boxes[0].topmost);
    // It fell back to the advance scan, whose vote found nothing.
    const std::vector<LogLinePayload> rows = LogRows(volume.Window());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].activity, u"Calculating system parameters");
    EXPECT_EQ(rows[1].description, u"Process completed");
}

} // namespace
