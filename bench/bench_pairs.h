#pragma once

// Paired timing of the program's work beside a peer tool doing the same work: each pair runs
// both, in alternating order so that neither always follows the other's cache or write-back
// state, and the pair's ratio is ours / peer's. The median of the pairs' ratios is the figure
// reported; on a shared machine it moves far less than a ratio of separate medians does.
#include "bench/bench_median.h"

#include <chrono>
#include <cstdio>
#include <vector>

struct PairedTimes {
    std::vector<double> ours;
    std::vector<double> peer;
    std::vector<double> ratios;

    bool Ok() const { return !ratios.empty(); }
    double RatioMedian() const { return Median(ratios); }
};

// Seconds taken by `run`; negative when it returns false.
template <typename Run> double TimeSeconds(Run run) {
    const auto start = std::chrono::steady_clock::now();
    const bool done = run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return done ? seconds : -1;
}

// `pairs` pairs of `ours` and `peer`, each a callable returning its seconds (negative: failed).
// A pair in which either failed is left out.
template <typename Ours, typename Peer> PairedTimes RunPairs(int pairs, Ours ours, Peer peer) {
    PairedTimes times;
    for (int pair = 0; pair < pairs; ++pair) {
        double a = 0;
        double b = 0;
        if (pair % 2 == 0) {
            a = ours();
            b = peer();
        } else {
            b = peer();
            a = ours();
        }
        if (a <= 0 || b <= 0)
            continue;
        times.ours.push_back(a);
        times.peer.push_back(b);
        times.ratios.push_back(a / b);
    }
    return times;
}

// One line: the work, both medians, the median ratio with its range, and the target.
inline void PrintPairs(const char* work, const char* peer, const PairedTimes& times,
                       double target) {
    if (!times.Ok()) {
        std::printf("%s: no pair completed\n", work);
        return;
    }
    std::vector<double> sorted = times.ratios;
    std::sort(sorted.begin(), sorted.end());
    const double ratio = Median(times.ratios);
    std::printf("%s: %.3f s, %s %.3f s; time ratio us / %s %.2f (pairs %.2f-%.2f, median of %zu "
                "pairs), target <= %.2f%s\n",
                work, Median(times.ours), peer, Median(times.peer), peer, ratio, sorted.front(),
                sorted.back(), sorted.size(), target, ratio <= target ? "" : " (missed)");
}
