// The file mask and a find over the 200,000 entries of the found-entries benchmark's tree,
// through the window: the mask job runs on the window's thread (its messages are direct calls
// there), and each block of 20,000 mask steps and of 20,000 searched entries is timed, so that
// the cost per entry can be seen to stay the same from the first block to the last.
#include "app/models/entry_search.h"
#include "bench/bench_frame.h"
#include "bench/found_entries_tree.h"
#include "jobs/scan/scan_state.h"
#include "jobs/mask/thread_for_mask.h"
#include "platform/jobs/job_messages.h"

#include <QApplication>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace found_entries_tree;

namespace {

double Seconds(std::chrono::steady_clock::time_point begin) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void PrintLinearity(const char* what, const std::vector<double>& perEntry) {
    if (perEntry.empty()) {
        std::printf("%s: nothing timed\n", what);
        return;
    }
    const double first = perEntry.front();
    const double last = perEntry.back();
    std::printf(
        "%s: first block %.3f us per entry, last block %.3f us per entry, ratio %.2f (%s)\n", what,
        first, last, first > 0 ? last / first : 0.0,
        first > 0 && last / first < 2.0 ? "linear" : "NOT linear");
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const std::vector<std::pair<FoundItem, std::u16string>> items = MakeItems();

    BenchFrame window;
    ScanState& state = window.State();
    CMainFrame& frame = window.Frame();
    JobMessage root = MakeAddTreeRoot(0);
    frame.HandleJobMessage(root);
    for (const auto& [item, name] : items) {
        JobMessage message = MakeAddFoundItem(&item, name);
        frame.HandleJobMessage(message);
    }
    QApplication::processEvents();

    // Find: the pattern matches one file in 10,000, so each Next walks a block.
    FindConditions find;
    find.patterns = {u"document *0001.txt"};
    EntrySearch search;
    std::vector<double> findPerEntry;
    std::size_t from = 0;
    auto begin = std::chrono::steady_clock::now();
    for (std::size_t match = search.Next(frame.Store(), find, LocalToday());
         match != FoundEntryStore::kNone; match = search.Next(frame.Store(), find, LocalToday())) {
        const double seconds = Seconds(begin);
        if (match - from >= kBlock / 4) {
            findPerEntry.push_back(seconds * 1e6 / static_cast<double>(match - from));
            std::printf("find up to entry %6zu: %.4f us per entry\n", match, findPerEntry.back());
        }
        from = match;
        begin = std::chrono::steady_clock::now();
    }
    PrintLinearity("find", findPerEntry);

    // The mask: files of "*.txt" of at least 100 KB, stepped by hand in timed blocks.
    state.fileMask = FileMaskSettings{};
    state.fileMask.patterns = {u"*.txt"};
    state.fileMask.minimumOn = true;
    state.fileMask.minimum = 100 * 1024;
    JobMessage clear = MakeClearViews();
    frame.HandleJobMessage(clear);
    JobMessage maskRoot = MakeAddTreeRoot(1);
    frame.HandleJobMessage(maskRoot);
    std::vector<double> maskPerEntry;
    bool more = true;
    uint32_t steps = 0;
    while (more) {
        begin = std::chrono::steady_clock::now();
        uint32_t block = 0;
        for (; block < kBlock && more; ++block) {
            JobMessage step = MakeApplyMaskStep();
            frame.HandleJobMessage(step);
            more = state.maskStepsLeft.load();
        }
        QApplication::processEvents();
        steps += block;
        if (block == kBlock) {
            maskPerEntry.push_back(Seconds(begin) * 1e6 / block);
            std::printf("mask steps %6u-%6u: %.3f us per entry\n", steps - block, steps - 1,
                        maskPerEntry.back());
        }
    }
    std::printf("mask kept %zu of %zu entries\n", frame.Store().Size(),
                frame.Store().Original().size());
    PrintLinearity("mask", maskPerEntry);

    // The whole job, restore included, as Show Original List runs it.
    std::vector<CThraedForMask::KeptEntry> original;
    for (FoundEntryStore::ItemCopy& copy : frame.Store().OriginalWithMarks()) {
        original.push_back({copy.item, std::move(copy.name)});
    }
    const std::size_t kept = original.size();
    state.maskEntryCount = static_cast<uint32_t>(kept);
    begin = std::chrono::steady_clock::now();
    CThraedForMask restore(state, &frame.JobWindowForJobs());
    restore.SetOriginalList(std::move(original));
    restore.Run();
    const double restoreSeconds = Seconds(begin);
    std::printf("Show Original List: %.3f us per entry, %zu entries back\n",
                restoreSeconds * 1e6 / static_cast<double>(kept), frame.Store().Size());
    return frame.Store().Size() == kEntries + 1 && !frame.Store().HasOriginal() ? EXIT_SUCCESS
                                                                                : EXIT_FAILURE;
}
