#include "bench/bus/peers.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bus/bus_instance.h"
#include "platform/win32_messages.h"

namespace qiro::bench {

namespace {

class EchoService : public Service {
  public:
    explicit EchoService(uint32_t sid) : Service(sid) {}
    CallStatus handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                             uint32_t* replyLength) override {
        if (code != kEchoCode) {
            return Service::handleRequest(code, data, length, reply, replyLength);
        }
        if (length > *replyLength) {
            return CallStatus::ReplyTooLong;
        }
        *replyLength = length;
        return CallStatus::Ok;
    }
};

volatile sig_atomic_t servingThread = 0;

void stopServing(int) {
    PostThreadMessageA(DWORD(servingThread), WM_QUIT, 0, 0);
}

int runBusPeer(uint32_t sid, int readyFd) {
    BusInstance* instance = createInstance();
    if (instance == nullptr || instance->addService(new EchoService(sid), nullptr) == 0) {
        return 1;
    }
    servingThread = sig_atomic_t(GetCurrentThreadId());
    struct sigaction action {};
    action.sa_handler = stopServing;
    sigaction(SIGTERM, &action, nullptr);
    char ready = 1;
    writeExactly(readyFd, &ready, 1);
    close(readyFd);
    instance->run();
    delete instance;
    return 0;
}

int runSocketPeer(int fd, size_t size) {
    std::vector<uint8_t> message(size);
    while (readExactly(fd, message.data(), size)) {
        if (!writeExactly(fd, message.data(), size)) {
            break;
        }
    }
    return 0;
}

}  // namespace

int runPeer(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], kBusPeerMode) == 0) {
        return runBusPeer(uint32_t(std::strtoul(argv[2], nullptr, 10)), std::atoi(argv[3]));
    }
    if (argc == 4 && std::strcmp(argv[1], kSocketPeerMode) == 0) {
        return runSocketPeer(std::atoi(argv[2]), std::strtoul(argv[3], nullptr, 10));
    }
    return -1;
}

namespace {

// Repeats `step` (read or write) until `size` bytes moved; EINTR is retried.
template <typename Step, typename Byte>
bool transferExactly(Step step, int fd, Byte* bytes, size_t size) {
    while (size > 0) {
        ssize_t n = step(fd, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

bool readExactly(int fd, void* buffer, size_t size) {
    return transferExactly(read, fd, static_cast<uint8_t*>(buffer), size);
}

bool writeExactly(int fd, const void* buffer, size_t size) {
    return transferExactly(write, fd, static_cast<const uint8_t*>(buffer), size);
}

}  // namespace qiro::bench
