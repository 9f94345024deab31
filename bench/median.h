#pragma once
// The middle of a benchmark's figures, which one slow round cannot move.

#include <algorithm>
#include <vector>

namespace tarnwick::bench {

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace tarnwick::bench
