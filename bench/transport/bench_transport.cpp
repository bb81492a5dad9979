// Poke round trips through the DDE transport beside a raw Unix-socket ping-pong of the same size,
// measured in the same run, pinned to one CPU and unpinned. Prints medians, 99th percentiles and
// the ratios of the transport to the raw ping-pong.
//
// Usage: bench_transport [runs]   (default 5; each run alternates the paths being compared)
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/transport/round_trip.h"

namespace {

using qiro::bench::Placement;

struct Summary {
    double medianUs;
    double p99Us;
};

double percentileUs(std::vector<uint64_t> times, double fraction) {
    std::sort(times.begin(), times.end());
    return static_cast<double>(times[static_cast<size_t>(fraction * (times.size() - 1))]) / 1000.0;
}

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Case {
    size_t bytes;
    int iterations;
};

void runCase(const Case& test, Placement placement, int runs) {
    std::vector<double> rawMedian, rawP99, shmMedian, shmP99, plainMedian, plainP99;
    bool large = test.bytes >= 64 * 1024;
    for (int run = 0; run < runs; ++run) {
        auto raw = qiro::bench::rawSocketRoundTrips(test.bytes, test.iterations, placement);
        rawMedian.push_back(percentileUs(raw, 0.5));
        rawP99.push_back(percentileUs(raw, 0.99));
        auto poke = qiro::bench::transportRoundTrips(test.bytes, test.iterations, placement, true);
        shmMedian.push_back(percentileUs(poke, 0.5));
        shmP99.push_back(percentileUs(poke, 0.99));
        if (large) {
            auto plain =
                qiro::bench::transportRoundTrips(test.bytes, test.iterations, placement, false);
            plainMedian.push_back(percentileUs(plain, 0.5));
            plainP99.push_back(percentileUs(plain, 0.99));
        }
    }
    const char* where = placement.pinned ? "same CPU" : "unpinned";
    Summary rawSummary{medianOf(rawMedian), medianOf(rawP99)};
    auto line = [&](const char* path, const std::vector<double>& median,
                    const std::vector<double>& p99) {
        Summary summary{medianOf(median), medianOf(p99)};
        std::printf("%-9s %8zu B  %-22s median %8.1f us  p99 %8.1f us  ratio %5.2f (p99 %5.2f)\n",
                    where, test.bytes, path, summary.medianUs, summary.p99Us,
                    summary.medianUs / rawSummary.medianUs, summary.p99Us / rawSummary.p99Us);
    };
    line("raw Unix socket", rawMedian, rawP99);
    line(large ? "transport, shared mem" : "transport poke", shmMedian, shmP99);
    if (large) {
        line("transport, in frames", plainMedian, plainP99);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1) {
        std::fprintf(stderr, "Use: bench_transport [runs]\n");
        return 2;
    }
    // A private runtime directory, so the benchmark neither sees nor disturbs other users of it.
    char directory[] = "/tmp/qiro-bench-XXXXXX";
    if (mkdtemp(directory) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("QIRO_RUNTIME_DIR", directory, 1);
    std::printf(
        "Round trips between two processes, median of %d runs' medians and 99th "
        "percentiles; ratio = transport / raw\n",
        runs);
    const Case cases[] = {{40, 20000}, {1024 * 1024, 1000}};
    for (bool pinned : {true, false}) {
        for (const Case& test : cases) {
            runCase(test, Placement{pinned}, runs);
        }
    }
    nftw(
        directory, [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
    return 0;
}
