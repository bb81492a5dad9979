// Order statistics of measured latencies, shared by `qiro bench` and the bus benchmark.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qiro::tool {

struct LatencySummary {
    double medianUs = 0;
    double p99Us = 0;
};

// The median and the 99th percentile (nearest rank) of `nanoseconds`, in microseconds. Sorts
// the samples in place.
inline LatencySummary summarize(std::vector<int64_t>& nanoseconds) {
    LatencySummary summary;
    if (nanoseconds.empty()) {
        return summary;
    }
    std::sort(nanoseconds.begin(), nanoseconds.end());
    size_t last = nanoseconds.size() - 1;
    summary.medianUs = double(nanoseconds[last / 2]) / 1000.0;
    summary.p99Us = double(nanoseconds[last * 99 / 100]) / 1000.0;
    return summary;
}

}  // namespace qiro::tool
