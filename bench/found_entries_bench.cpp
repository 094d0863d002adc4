// Adds 200,000 found entries to the window the way a scan does, one WM_ADD_FOUND_ITEM at a time,
// and times each block of 20,000: the folder tree, the file list and the status pane must cost
// the same per entry at the end of a large scan as at its start.
#include "app/main_frame.h"
#include "filesystems/found_item.h"
#include "jobs/scan_state.h"
#include "platform/job_messages.h"
#include "platform/job_runner.h"

#include <QApplication>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kEntries = 200000;
constexpr uint32_t kBlock = 20000;
constexpr uint32_t kFolderEvery = 10;
// Folders of levels one to three: 10, 100 and 1,000; the rest form level four.
constexpr uint32_t kLevelOneEnd = 10;
constexpr uint32_t kLevelTwoEnd = kLevelOneEnd + 100;
constexpr uint32_t kLevelThreeEnd = kLevelTwoEnd + 1000;
constexpr uint64_t kRootId = 0;
constexpr uint64_t kFirstEntryId = 100;
constexpr uint64_t kFirstCluster = 2;
constexpr uint16_t kDosDate = (44u << 9) | (3u << 5) | 14u;
constexpr uint16_t kDosTime = (10u << 11) | (30u << 5);

// The parent of the k-th folder: ten per folder a level up, level four spread over level three.
uint32_t ParentFolderOf(uint32_t folder) {
    if (folder < kLevelOneEnd)
        return UINT32_MAX;
    if (folder < kLevelTwoEnd)
        return (folder - kLevelOneEnd) / 10;
    if (folder < kLevelThreeEnd)
        return kLevelOneEnd + (folder - kLevelTwoEnd) / 10;
    return kLevelTwoEnd + (folder - kLevelThreeEnd) % (kLevelThreeEnd - kLevelTwoEnd);
}

// Builds every item up front so the timed loop measures the window alone: one in ten a folder,
// the files spread over the folders that exist so far, one in ten of them in the root, which
// the file list shows.
std::vector<std::pair<FoundItem, std::u16string>> MakeItems() {
    std::vector<std::pair<FoundItem, std::u16string>> items;
    items.reserve(kEntries);
    std::vector<uint64_t> folderIds;
    uint64_t nextId = kFirstEntryId;
    uint64_t nextCluster = kFirstCluster;
    uint32_t random = 12345;
    for (uint32_t i = 0; i < kEntries; ++i) {
        random = random * 1103515245u + 12345u;
        FoundItem item;
        item.entryId = nextId++;
        item.firstCluster = nextCluster++;
        item.modifiedDate = kDosDate;
        item.modifiedTime = kDosTime;
        item.createdDate = kDosDate;
        item.createdTime = kDosTime;
        item.deleted = (random >> 20) % 4 == 0 ? 1 : 0;
        std::string name;
        if (i % kFolderEvery == 0) {
            const uint32_t folder = static_cast<uint32_t>(folderIds.size());
            const uint32_t parent = ParentFolderOf(folder);
            item.attributes = FoundItem::kFolderAttribute;
            item.parentId = parent == UINT32_MAX ? kRootId : folderIds[parent];
            folderIds.push_back(item.entryId);
            name = "Folder " + std::to_string(folder);
        } else {
            const uint32_t pick = (random >> 8) % (folderIds.size() + folderIds.size() / 9 + 1);
            item.parentId = pick < folderIds.size() ? folderIds[pick] : kRootId;
            item.attributes = 0x20;
            item.size = 1 + (random >> 4) % 1000000;
            name = "document " + std::to_string(i) + ".txt";
        }
        items.emplace_back(item, std::u16string(name.begin(), name.end()));
    }
    return items;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);

    const std::vector<std::pair<FoundItem, std::u16string>> items = MakeItems();

    ScanState state;
    state.NewFatVolume();
    JobRunner runner(state.jobFlags);
    CMainFrame frame(state, runner);
    frame.resize(1100, 700);
    frame.show();
    QApplication::processEvents();

    JobMessage root = MakeAddTreeRoot(0);
    frame.HandleJobMessage(root);
    QApplication::processEvents();

    std::vector<double> perEntry;
    for (uint32_t start = 0; start < kEntries; start += kBlock) {
        const auto begin = std::chrono::steady_clock::now();
        for (uint32_t i = start; i < start + kBlock; ++i) {
            JobMessage message = MakeAddFoundItem(&items[i].first, items[i].second);
            frame.HandleJobMessage(message);
        }
        // The event loop runs between a scan's messages; the views lay out what was added.
        QApplication::processEvents();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        perEntry.push_back(seconds * 1e6 / kBlock);
        std::printf("block %2u (entries %6u-%6u): %.3f us per entry\n", start / kBlock, start,
                    start + kBlock - 1, perEntry.back());
    }

    const std::size_t stored = frame.Store().Size();
    const double first = perEntry.front();
    const double last = perEntry.back();
    std::printf("store entries: %zu (expected %u)\n", stored, kEntries + 1);
    std::printf("first block %.3f us per entry, last block %.3f us per entry, ratio %.2f (%s)\n",
                first, last, first > 0 ? last / first : 0.0,
                first > 0 && last / first < 2.0 ? "linear" : "NOT linear");
    return stored == kEntries + 1 ? EXIT_SUCCESS : EXIT_FAILURE;
}
