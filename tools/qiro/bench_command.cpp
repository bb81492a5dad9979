// qiro bench: calls one service in a loop from one or more threads, each through its own bus
// instance, and prints the calls per second with the median and 99th-percentile latency. The
// request is SIZE bytes and the room for the reply as large, so an echo service sends them back.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bus/bus_instance.h"
#include "tools/qiro/command_line.h"
#include "tools/qiro/commands.h"
#include "tools/qiro/latency_stats.h"

namespace qiro::tool {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBenchCode = 1;
// Calls before the measured ones: the first connects, the next warm the caches.
constexpr uint32_t kWarmUpCalls = 10;

struct CallerResult {
    std::vector<int64_t> latencies;
    // The measured calls ran from `begin` to `end`.
    Clock::time_point begin;
    Clock::time_point end;
    uint32_t failures = 0;
    CallStatus firstFailure = CallStatus::Ok;
};

// Runs on its own thread with its own instance, as every bus thread must.
void callInLoop(uint32_t sid, uint32_t size, uint32_t count, CallerResult* result) {
    BusInstance* instance = createInstance();
    if (instance == nullptr) {
        result->failures = count;
        result->firstFailure = CallStatus::BusError;
        return;
    }
    std::vector<uint8_t> request(size, 0x5A);
    std::vector<uint8_t> reply(size);
    result->latencies.reserve(count);
    for (uint32_t i = 0; i < kWarmUpCalls + count; ++i) {
        uint32_t type = 0;
        BufferPiece requestPiece{request.data(), size};
        BufferPiece replyPiece{reply.data(), size};
        auto start = Clock::now();
        CallStatus status =
            instance->call(sid, &type, kBenchCode, &requestPiece, 1, &replyPiece, 1, 0);
        auto took = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start);
        if (i < kWarmUpCalls) {
            result->begin = Clock::now();
            continue;
        }
        if (status != CallStatus::Ok) {
            if (result->failures++ == 0) {
                result->firstFailure = status;
            }
            continue;
        }
        result->latencies.push_back(took.count());
    }
    result->end = Clock::now();
    delete instance;
}

}  // namespace

int benchCommand(int argc, char** argv) {
    Arguments arguments(argc, argv);
    uint32_t size = arguments.takeNumber("--size", 40);
    uint32_t count = arguments.takeNumber("--count", 10000, 1);
    uint32_t threads = arguments.takeNumber("--threads", 1, 1);
    std::optional<uint32_t> sid = parseNumber(arguments.takePositional());
    if (!sid || !arguments.finished()) {
        return kUsageError;
    }
    std::vector<CallerResult> results(threads);
    std::vector<std::thread> callers;
    for (uint32_t t = 0; t < threads; ++t) {
        callers.emplace_back(callInLoop, *sid, size, count, &results[t]);
    }
    for (std::thread& caller : callers) {
        caller.join();
    }
    std::vector<int64_t> all;
    uint32_t failures = 0;
    Clock::time_point begin = results[0].begin;
    Clock::time_point end = results[0].end;
    for (const CallerResult& result : results) {
        begin = std::min(begin, result.begin);
        end = std::max(end, result.end);
        all.insert(all.end(), result.latencies.begin(), result.latencies.end());
        failures += result.failures;
    }
    size_t calls = all.size();
    double seconds = std::chrono::duration<double>(end - begin).count();
    LatencySummary summary = summarize(all);
    std::printf(
        "sid %u, %u bytes, %u threads: %zu calls in %.3f s, %.0f calls/s, "
        "median %.1f us, p99 %.1f us\n",
        *sid, size, threads, calls, seconds, double(calls) / seconds, summary.medianUs,
        summary.p99Us);
    if (failures > 0) {
        for (const CallerResult& result : results) {
            if (result.failures > 0) {
                const char* name = callStatusName(result.firstFailure);
                std::printf("%u calls failed, first with status %u (%s)\n", failures,
                            uint32_t(result.firstFailure), name != nullptr ? name : "unnamed");
                break;
            }
        }
        return 1;
    }
    return 0;
}

}  // namespace qiro::tool
