#pragma once

#include <algorithm>
#include <vector>

// The median of a few timed runs (the upper middle one for an even count).
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
