#include "app/frame/main_frame.h"
#include "app/models/found_entry_store.h"
#include "diskio/records/drive_node.h"
#include "filesystems/found_item_serializer.h"
#include "jobs/scan/scan_state.h"
#include "jobs/scan/thread_for_file_system.h"
#include "platform/devices/device_table.h"
#include "platform/jobs/job_runner.h"
#include "tests/support/fixture_image.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kDriveLetter = 2;
constexpr uint8_t kFatPartition = 4;

struct ReadEntry {
    FoundItem item;
    std::u16string name;
};

// Reads back the records NextTreeRecord gave: length byte, record, name. Nullopt when the bytes
// end inside an entry.
std::optional<std::vector<ReadEntry>> ReadEntries(const std::vector<uint8_t>& bytes) {
    std::vector<ReadEntry> entries;
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t length = bytes[at++];
        if (bytes.size() - at < FoundItemSerializer::kSize + 2 * length) {
            return std::nullopt;
        }
        ReadEntry entry;
        if (!FoundItemSerializer::Read(std::span(bytes).subspan(at), entry.item)) {
            return std::nullopt;
        }
        at += FoundItemSerializer::kSize;
        for (size_t i = 0; i < length; ++i, at += 2) {
            entry.name.push_back(static_cast<char16_t>(bytes[at] | (bytes[at + 1] << 8)));
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

FoundItem File(uint64_t id, uint64_t parent, uint64_t size) {
    FoundItem item;
    item.entryId = id;
    item.parentId = parent;
    item.size = size;
    return item;
}

// Takes the next record and appends it to `bytes`, as the saving job does.
FoundEntryStore::TreeRecordStep Append(FoundEntryStore& store, std::vector<uint8_t>& bytes) {
    FoundEntryStore::TreeRecordStep step = store.NextTreeRecord();
    bytes.insert(bytes.end(), step.record.begin(), step.record.end());
    return step;
}

// A whole pass: repeats until `more` stays false.
FoundEntryStore::TreeRecordStep AppendAll(FoundEntryStore& store, std::vector<uint8_t>& bytes,
                                          size_t& calls) {
    FoundEntryStore::TreeRecordStep step;
    calls = 0;
    do {
        step = Append(store, bytes);
        ++calls;
    } while (step.more && calls < 1'000'000);
    return step;
}

TEST(TreeWriteTest, RecordsHoldTheLengthTheItemAndAtMost255Characters) {
    FoundItem item = File(0x1'0000'0007, 12, 5000);
    item.checkState = FoundEntryStore::kChecked;
    const std::vector<uint8_t> shortRecord = FoundEntryStore::TreeRecord(item, u"a\u00e9\u6587");
    ASSERT_EQ(shortRecord.size(), 1 + FoundItemSerializer::kSize + 6);
    EXPECT_EQ(shortRecord[0], 3);
    FoundItem back;
    ASSERT_TRUE(FoundItemSerializer::Read(std::span(shortRecord).subspan(1), back));
    EXPECT_EQ(back, item);
    const size_t name = 1 + FoundItemSerializer::kSize;
    EXPECT_EQ(std::vector<uint8_t>(shortRecord.begin() + name, shortRecord.end()),
              (std::vector<uint8_t>{'a', 0, 0xE9, 0, 0x87, 0x65}));

    // 256 characters, possible after a rename, do not fit the length byte: 255 are written.
    std::u16string longName(255, u'x');
    longName += u'Z';
    const std::vector<uint8_t> cut = FoundEntryStore::TreeRecord(item, longName);
    EXPECT_EQ(cut[0], 255);
    ASSERT_EQ(cut.size(), name + 2 * 255);
    EXPECT_EQ(cut.back(), 0);
    EXPECT_EQ(cut[cut.size() - 2], 'x');

    // A surrogate pair is never split: its high half goes with the low one.
    std::u16string pairAtTheCut(254, u'y');
    pairAtTheCut += u"\U0001F600";
    const std::vector<uint8_t> mended = FoundEntryStore::TreeRecord(item, pairAtTheCut);
    EXPECT_EQ(mended[0], 254);
    EXPECT_EQ(mended.size(), name + 2 * 254);
    EXPECT_EQ(FoundEntryStore::TreeRecord(item, u"")[0], 0);
}

TEST(TreeWriteTest, EachPassStartsAtTheRootAndANewRootRestartsIt) {
    FoundEntryStore store;
    std::vector<uint8_t> bytes;

    // No root: nothing to hand over.
    FoundEntryStore::TreeRecordStep step = Append(store, bytes);
    EXPECT_FALSE(step.more);
    EXPECT_TRUE(step.record.empty());

    store.CreateRoot(FoundEntryStore::VolumeKind::Ntfs, 0);
    store.AddFoundItem(File(40, 5, 1), u"one");
    store.AddFoundItem(File(41, 5, 2), u"two");
    step = Append(store, bytes);
    EXPECT_TRUE(step.more);
    size_t calls = 0;
    step = AppendAll(store, bytes, calls);
    EXPECT_EQ(calls, 2u);
    EXPECT_FALSE(step.record.empty());
    // The next pass starts again at the root.
    AppendAll(store, bytes, calls);
    EXPECT_EQ(calls, 3u);

    // A pass cut short by a new root, or restarted, begins at the new root.
    Append(store, bytes);
    store.CreateRoot(FoundEntryStore::VolumeKind::Fat, 0);
    store.AddFoundItem(File(7, 0, 3), u"fat");
    Append(store, bytes);
    store.RestartTreeWrite();
    AppendAll(store, bytes, calls);
    EXPECT_EQ(calls, 2u);

    const std::optional<std::vector<ReadEntry>> entries = ReadEntries(bytes);
    ASSERT_TRUE(entries.has_value());
    std::vector<std::u16string> names;
    for (const ReadEntry& entry : *entries) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Root", u"one", u"two", u"Root", u"one", u"two",
                                                  u"Root", u"Root", u"Root", u"fat"}));
    EXPECT_EQ((*entries)[0].item.entryId, 5u);
    EXPECT_EQ((*entries)[0].item.parentId, FoundEntryStore::kRootParentId);
    EXPECT_EQ((*entries)[7].item.entryId, 0u);
}

// Answers the frame's questions without modal dialogs.
class QuietFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;

protected:
    MessageBoxAnswer AskUser(const QString&, const QString&, MessageBoxIcon, MessageBoxButtons,
                             bool) override {
        return MessageBoxAnswer::Ok;
    }
};

TEST(TreeWriteTest, AScannedTreeGoesToTheFileThroughTheFramesMessage) {
    TempDir dir;
    const std::filesystem::path image = UnpackFixture("fat16_volume.img", dir);
    ASSERT_FALSE(image.empty());
    const uint64_t sectors = std::filesystem::file_size(image) / 512;
    LogicalDriveInfo info;
    info.drive = kDriveLetter;
    info.disk = kDriveLetter;
    info.totalSectors = sectors;
    info.lastSector = sectors - 1;
    info.partitionType = kFatPartition;
    DriveNode node;
    node.number = kDriveLetter;
    node.kind = DriveKind::LogicalDrive;
    node.detail = info;
    DeviceTable::Process().SetDriveLetter(kDriveLetter,
                                          DeviceSource{image.string(), 0, std::nullopt});

    ScanState state;
    JobRunner runner(state.jobFlags);
    QuietFrame frame(state, runner);
    state.SetSelectedDrive(&node);
    // On the GUI thread the frame's job window handles each message at once.
    CThreadForFileSystem job(state);
    CThreadForFileSystem::Parameters parameters;
    parameters.notifyWindow = &frame.JobWindowForJobs();
    job.SetParameters(parameters);
    ASSERT_GT(job.Run(), 10u);
    FoundEntryStore& store = frame.Store();
    ASSERT_GT(store.Size(), 10u);

    // A user's rename of 256 characters is kept whole in the window.
    size_t renamed = FoundEntryStore::kNone;
    for (size_t i = 1; i < store.Size() && renamed == FoundEntryStore::kNone; ++i) {
        renamed = store.At(i).item.IsFolder() ? FoundEntryStore::kNone : i;
    }
    ASSERT_NE(renamed, FoundEntryStore::kNone);
    const std::u16string longName = std::u16string(200, u'L') + std::u16string(56, u'\u00fc');
    ASSERT_TRUE(store.RenameEntry(renamed, longName));

    std::vector<uint8_t> bytes;
    size_t messages = 0;
    bool more = true;
    while (more && messages <= store.Size()) {
        JobMessage message = MakeWriteTreeToFile(messages == 0);
        frame.JobWindowForJobs().Send(message);
        const WriteTreePayload& answer = *message.Get<WriteTreePayload>();
        EXPECT_FALSE(answer.record.empty()) << messages;
        bytes.insert(bytes.end(), answer.record.begin(), answer.record.end());
        more = answer.more;
        ++messages;
    }
    EXPECT_EQ(messages, store.Size());

    const std::optional<std::vector<ReadEntry>> entries = ReadEntries(bytes);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), store.Size());
    EXPECT_EQ((*entries)[0].name, u"Root");
    EXPECT_EQ((*entries)[0].item.entryId, 0u);
    for (size_t i = 0; i < store.Size(); ++i) {
        const FoundEntryStore::Entry& kept = store.At(i);
        const std::u16string expected = i == renamed ? longName.substr(0, 255) : kept.name;
        EXPECT_EQ((*entries)[i].name, expected) << i;
        EXPECT_EQ((*entries)[i].item, kept.item) << i;
    }

    // Once a pass has ended the next message begins at the root again.
    JobMessage next = MakeWriteTreeToFile();
    frame.JobWindowForJobs().Send(next);
    EXPECT_EQ(next.Get<WriteTreePayload>()->record,
              FoundEntryStore::TreeRecord(store.At(0).item, store.At(0).name));
}

} // namespace
