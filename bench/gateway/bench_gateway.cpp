// bench_gateway: what a call through both gateways costs, beside the raw socket round trips it is
// made of, and how much one dtcpqiro carries.
//
//   bench_gateway                  # unpinned
//   taskset -c 0 bench_gateway     # every process on one CPU (the programs it starts inherit it)
//
// The chain: a caller on this process's bus calls sid 100, offered by dqirotcp, which forwards
// over loopback TCP to dtcpqiro, which calls sid 200, an echo service on another thread of this
// process; the reply goes back the same way. It crosses one TCP connection and two bus hops,
// each a Unix-socket round trip, so its raw floor is one TCP plus two Unix-socket ping-pongs of
// the same size, measured here in the same run.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bus/bus_instance.h"
#include "raw_ping_pong.h"
#include "support/gateway_processes.h"
#include "support/loopback.h"
#include "support/test_service.h"

namespace qiro::bench {
namespace {

using namespace qiro::testing;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kServiceSid = 200;
constexpr uint32_t kGatewaySid = 100;
constexpr int kWarmUpCalls = 200;
constexpr size_t kSizes[] = {40, 64 * 1024};
constexpr int kRoundTrips[] = {5000, 1000};
constexpr int kCallerCounts[] = {1, 8, 64};
constexpr auto kThroughputRun = std::chrono::seconds(2);
constexpr int kHeldConnections = 1000;

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The whole chain, started for the length of the benchmark.
class GatewayChain {
  public:
    GatewayChain() {
        if (!service_.ready())
            throw std::runtime_error("the echo service cannot be offered");
        server_ = startServer(port_);
        if (server_ == nullptr)
            throw std::runtime_error("dtcpqiro does not listen");
        client_ = std::make_unique<ChildProcess>(
            programPath("dqirotcp"), std::vector<std::string>{"100", "0", "127.0.0.1", "200"},
            gatewayEnvironment(port_));
        caller_ = createInstance();
        waitForRegistration();
    }
    ~GatewayChain() { delete caller_; }

    uint16_t port() const { return port_; }

    // Round trips of `size` bytes to `sid`, in microseconds: through both gateways for
    // kGatewaySid, straight to the service over the bus for kServiceSid.
    std::vector<double> roundTrips(uint32_t sid, size_t size, int count) {
        std::vector<uint8_t> request(size, 0x33), reply(size);
        std::vector<double> samples;
        for (int i = 0; i < kWarmUpCalls + count; ++i) {
            uint32_t type = 0;
            BufferPiece requestPiece{request.data(), uint32_t(size)};
            BufferPiece replyPiece{reply.data(), uint32_t(size)};
            const auto begin = Clock::now();
            const CallStatus status =
                caller_->call(sid, &type, kEcho, &requestPiece, 1, &replyPiece, 1, 0);
            const auto end = Clock::now();
            if (status != CallStatus::Ok || replyPiece.length != size)
                throw std::runtime_error("a measured call failed");
            if (i >= kWarmUpCalls)
                samples.push_back(std::chrono::duration<double, std::micro>(end - begin).count());
        }
        return samples;
    }

  private:
    // A registered dqirotcp answers a wrong type itself.
    void waitForRegistration() {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        for (;;) {
            uint32_t type = 1;
            if (caller_->call(kGatewaySid, &type, kEcho, nullptr, 0, nullptr, 0, 0) ==
                CallStatus::WrongType)
                return;
            if (Clock::now() > deadline)
                throw std::runtime_error("dqirotcp does not register");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    ServiceThread service_{kServiceSid, 0};
    uint16_t port_ = freePort();
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<ChildProcess> client_;
    BusInstance* caller_ = nullptr;
};

bool echoOnce(RawClient& client, const std::vector<uint8_t>& body) {
    const auto length = uint32_t(body.size());
    if (!client.sendRequest(requestHeader(kServiceSid, 0, kEcho, length, length), body))
        return false;
    const auto reply = client.readReply();
    return reply && reply->header.lengthOrStatus == 0 && reply->body == body;
}

// Calls per second of `callers` TCP clients, each on its own connection to dtcpqiro, making
// 40-byte echo calls for a fixed time.
double callsPerSecond(uint16_t port, int callers) {
    std::atomic<bool> stop{false};
    std::atomic<long> calls{0}, failures{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < callers; ++i) {
        threads.emplace_back([&] {
            RawClient client(port);
            const std::vector<uint8_t> body(40, 0x44);
            while (!stop.load(std::memory_order_relaxed)) {
                if (!echoOnce(client, body)) {
                    ++failures;
                    return;
                }
                ++calls;
            }
        });
    }
    const auto begin = Clock::now();
    std::this_thread::sleep_for(kThroughputRun);
    stop = true;
    for (auto& thread : threads)
        thread.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    if (failures != 0)
        throw std::runtime_error("a throughput call failed");
    return double(calls) / seconds;
}

void reportRoundTrips(GatewayChain& chain) {
    std::printf("Round trips, median (us)                       %10s %10s\n", "40 B", "64 KiB");
    double tcp[2], unixStream[2], gateway[2], bus[2];
    for (int i = 0; i < 2; ++i) {
        tcp[i] = median(rawRoundTrips(RawSocket::TcpLoopback, kSizes[i], kRoundTrips[i]));
        unixStream[i] = median(rawRoundTrips(RawSocket::UnixStream, kSizes[i], kRoundTrips[i]));
        gateway[i] = median(chain.roundTrips(kGatewaySid, kSizes[i], kRoundTrips[i]));
        bus[i] = median(chain.roundTrips(kServiceSid, kSizes[i], kRoundTrips[i]));
    }
    std::printf("  raw TCP loopback ping-pong                   %10.1f %10.1f\n", tcp[0], tcp[1]);
    std::printf("  raw Unix stream ping-pong                    %10.1f %10.1f\n", unixStream[0],
                unixStream[1]);
    std::printf("  sum: TCP + 2 x Unix                          %10.1f %10.1f\n",
                tcp[0] + 2 * unixStream[0], tcp[1] + 2 * unixStream[1]);
    std::printf("  caller-dqirotcp-TCP-dtcpqiro-service         %10.1f %10.1f\n", gateway[0],
                gateway[1]);
    std::printf("  for reference: one bus call, caller-service  %10.1f %10.1f\n", bus[0], bus[1]);
    std::printf("  ratio to the sum (goal 1.3 or less)          %10.2f %10.2f\n",
                gateway[0] / (tcp[0] + 2 * unixStream[0]),
                gateway[1] / (tcp[1] + 2 * unixStream[1]));
}

void reportThroughput(uint16_t port) {
    std::printf("Calls per second through one dtcpqiro, 40-byte echo, one connection per caller\n");
    for (int callers : kCallerCounts)
        std::printf("  %2d caller%s                                  %10.0f\n", callers,
                    callers == 1 ? " " : "s", callsPerSecond(port, callers));
}

void reportHeldConnections(uint16_t port) {
    const auto begin = Clock::now();
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kHeldConnections; ++i) {
        clients.push_back(std::make_unique<RawClient>(port));
        if (!clients.back()->connected())
            break;
    }
    int answered = 0;
    const std::vector<uint8_t> body(40, 0x55);
    for (auto& client : clients)
        answered += client->connected() && echoOnce(*client, body);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    std::printf(
        "Connections held open at once by one dtcpqiro: %zu opened, %d calls answered "
        "(%.2f s)\n",
        clients.size(), answered, seconds);
}

}  // namespace
}  // namespace qiro::bench

int main() {
    using namespace qiro::bench;
    try {
        GatewayChain chain;
        reportRoundTrips(chain);
        reportThroughput(chain.port());
        reportHeldConnections(chain.port());
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_gateway: %s\n", failure.what());
        return 1;
    }
    return 0;
}
