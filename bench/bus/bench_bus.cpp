// bench_bus: round trips of bus calls between two processes (an echo service in one, the caller
// in the other) beside a raw Unix-socket ping-pong of the same sizes, measured in the same run,
// first with both processes pinned to one CPU and then unpinned. Prints median and 99th
// percentile of each, and the ratio of the bus's median to the raw one.
//
//   build/bin/bench_bus
#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bus/peers.h"
#include "bus/bus_instance.h"
#include "tools/qiro/latency_stats.h"

namespace qiro::bench {

namespace {

using Clock = std::chrono::steady_clock;
using tool::LatencySummary;

struct Workload {
    const char* label;
    uint32_t bytes;
    int rounds;
};

constexpr Workload kWorkloads[] = {{"40 B", 40, 20000}, {"1 MiB", 1u << 20, 400}};
constexpr int kWarmUpRounds = 50;
// Room for a whole 1 MiB message in each direction, so that a write never waits for a read.
constexpr int kSocketBuffer = 4 << 20;

int64_t nanosecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// Starts the program again as a far side that inherits only `keepFd` (every descriptor of the
// benchmark is made close-on-exec), so that closing our end is seen as the end over there.
pid_t startPeer(const std::vector<std::string>& words, int keepFd) {
    pid_t pid = fork();
    if (pid == 0) {
        fcntl(keepFd, F_SETFD, 0);
        std::vector<char*> argv;
        for (const std::string& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    return pid;
}

void stopPeer(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

LatencySummary measureSocket(const Workload& workload) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        std::perror("socketpair");
        std::exit(1);
    }
    for (int fd : ends) {
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSocketBuffer, sizeof kSocketBuffer);
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kSocketBuffer, sizeof kSocketBuffer);
    }
    pid_t peer = startPeer(
        {"bench_bus", kSocketPeerMode, std::to_string(ends[1]), std::to_string(workload.bytes)},
        ends[1]);
    close(ends[1]);
    std::vector<uint8_t> message(workload.bytes, 0x5A);
    std::vector<int64_t> samples;
    for (int i = 0; i < kWarmUpRounds + workload.rounds; ++i) {
        auto start = Clock::now();
        if (!writeExactly(ends[0], message.data(), message.size()) ||
            !readExactly(ends[0], message.data(), message.size())) {
            std::fprintf(stderr, "bench_bus: the socket peer stopped\n");
            std::exit(1);
        }
        if (i >= kWarmUpRounds) {
            samples.push_back(nanosecondsSince(start));
        }
    }
    close(ends[0]);
    waitpid(peer, nullptr, 0);
    return tool::summarize(samples);
}

LatencySummary measureBus(BusInstance*& caller, const Workload& workload, uint32_t sid) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    pid_t peer = startPeer(
        {"bench_bus", kBusPeerMode, std::to_string(sid), std::to_string(ready[1])}, ready[1]);
    close(ready[1]);
    char byte;
    if (!readExactly(ready[0], &byte, 1)) {
        std::fprintf(stderr, "bench_bus: the bus peer did not start\n");
        std::exit(1);
    }
    close(ready[0]);
    // Made only now, after the first peer was forked, so that no peer inherits bus state.
    if (caller == nullptr) {
        caller = createInstance();
    }
    std::vector<uint8_t> request(workload.bytes, 0x5A);
    std::vector<uint8_t> reply(workload.bytes);
    std::vector<int64_t> samples;
    for (int i = 0; i < kWarmUpRounds + workload.rounds; ++i) {
        uint32_t type = 0;
        BufferPiece requestPiece{request.data(), workload.bytes};
        BufferPiece replyPiece{reply.data(), workload.bytes};
        auto start = Clock::now();
        CallStatus status =
            caller->call(sid, &type, kEchoCode, &requestPiece, 1, &replyPiece, 1, 0);
        int64_t took = nanosecondsSince(start);
        if (status != CallStatus::Ok || replyPiece.length != workload.bytes) {
            std::fprintf(stderr, "bench_bus: call failed with status %u\n", uint32_t(status));
            std::exit(1);
        }
        if (i >= kWarmUpRounds) {
            samples.push_back(took);
        }
    }
    stopPeer(peer);
    return tool::summarize(samples);
}

void setPlacement(bool pinned, const cpu_set_t& everyCpu) {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    CPU_SET(0, &cpus);
    sched_setaffinity(0, sizeof cpus, pinned ? &cpus : &everyCpu);
}

int runBenchmark() {
    char pattern[] = "/tmp/qiro-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("QIRO_RUNTIME_DIR", (std::string(pattern) + "/run").c_str(), 1);
    cpu_set_t everyCpu;
    sched_getaffinity(0, sizeof everyCpu, &everyCpu);

    std::printf("round trips in microseconds: raw Unix-socket ping-pong and bus call (echo)\n");
    std::printf("%-9s %-6s %10s %10s %10s %10s %9s\n", "placement", "size", "raw p50", "raw p99",
                "bus p50", "bus p99", "bus/raw");
    BusInstance* caller = nullptr;
    uint32_t sid = 9000;
    for (bool pinned : {true, false}) {
        setPlacement(pinned, everyCpu);
        for (const Workload& workload : kWorkloads) {
            LatencySummary raw = measureSocket(workload);
            LatencySummary bus = measureBus(caller, workload, sid++);
            std::printf("%-9s %-6s %10.1f %10.1f %10.1f %10.1f %9.2f\n",
                        pinned ? "one CPU" : "unpinned", workload.label, raw.medianUs, raw.p99Us,
                        bus.medianUs, bus.p99Us, bus.medianUs / raw.medianUs);
            std::fflush(stdout);
        }
    }
    delete caller;
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return 0;
}

}  // namespace

}  // namespace qiro::bench

int main(int argc, char** argv) {
    int peerStatus = qiro::bench::runPeer(argc, argv);
    if (peerStatus >= 0) {
        return peerStatus;
    }
    return qiro::bench::runBenchmark();
}
