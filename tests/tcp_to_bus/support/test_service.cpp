#include "support/test_service.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "bus/bus_instance.h"
#include "platform/win32_messages.h"
#include "platform/win32_threads.h"

namespace qiro::testing {
namespace {

uint32_t firstWord(const uint8_t* data, uint32_t length) {
    uint32_t word = 0;
    std::memcpy(&word, data, std::min<uint32_t>(length, sizeof word));
    return word;
}

class RuntimeDir {
  public:
    RuntimeDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qiro-gw-test-XXXXXX").string();
        path = mkdtemp(pattern.data());
        setenv("QIRO_RUNTIME_DIR", path.c_str(), 1);
    }
    ~RuntimeDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

}  // namespace

CallStatus TestService::handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                                      uint32_t* replyLength) {
    switch (code) {
        case kEcho:
            if (length > *replyLength)
                return CallStatus::ReplyTooLong;
            std::memmove(reply, data, length);
            *replyLength = length;
            return CallStatus::Ok;
        case kPattern: {
            const uint32_t count = firstWord(data, length);
            if (count > *replyLength)
                return CallStatus::ReplyTooLong;
            for (uint32_t i = 0; i < count; ++i)
                reply[i] = uint8_t(i);
            *replyLength = count;
            return CallStatus::Ok;
        }
        case kStatus:
            return CallStatus(firstWord(data, length));
        default:
            return Service::handleRequest(code, data, length, reply, replyLength);
    }
}

ServiceThread::ServiceThread(uint32_t sid, uint32_t type) {
    testRuntimeDir();
    std::promise<bool> registered;
    auto outcome = registered.get_future();
    thread_ = std::thread([&, sid, type] {
        threadId_ = GetCurrentThreadId();
        BusInstance* instance = createInstance();
        auto* service = new TestService(sid, type);
        const bool added = instance != nullptr && instance->addService(service, nullptr) == 1;
        if (!added)
            delete service;
        registered.set_value(added);
        if (added)
            instance->run();
        delete instance;
    });
    ready_ = outcome.get();
}

ServiceThread::~ServiceThread() {
    // The loop may not have reached its first wait yet; posting again until the thread ends
    // makes the quit certain.
    while (PostThreadMessageA(threadId_, WM_QUIT, 0, 0) == FALSE && ready_)
        usleep(1000);
    thread_.join();
}

const std::string& testRuntimeDir() {
    static RuntimeDir dir;
    return dir.path;
}

}  // namespace qiro::testing
