// Adds 200,000 found entries to the window the way a scan does, one WM_ADD_FOUND_ITEM at a time,
// and times each block of 20,000: the folder tree, the file list and the status pane must cost
// the same per entry at the end of a large scan as at its start.
#include "bench/bench_frame.h"
#include "bench/found_entries_tree.h"
#include "filesystems/found_item.h"
#include "platform/jobs/job_messages.h"

#include <QApplication>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace found_entries_tree;

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);

    const std::vector<std::pair<FoundItem, std::u16string>> items = MakeItems();

    BenchFrame window;
    CMainFrame& frame = window.Frame();
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
