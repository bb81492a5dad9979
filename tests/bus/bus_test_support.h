// What the bus tests share: a private runtime directory per test process, a thread that serves
// services through its own instance, and `qiro` child processes.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bus/bus_instance.h"

namespace qiro::testing {

// Set in the environment of a test program started again as a helper process: the sid it is to
// serve. Such a process keeps the runtime directory of the test that started it.
constexpr const char* kHelperSidVariable = "QIRO_TEST_HELPER_SID";

// Generous: the machine may be loaded.
constexpr int kWaitMs = 20000;

// A service whose answer, type and description a test chooses; code 0 keeps the base answer
// (the description). It counts its destructions.
class ScriptedService : public Service {
  public:
    using Handler = std::function<CallStatus(uint32_t code, uint8_t* data, uint32_t length,
                                             uint32_t* replyLength)>;
    ScriptedService(uint32_t sid, Handler handler = nullptr, uint32_t type = 0,
                    const char* description = nullptr, int* destroyed = nullptr)
        : Service(sid),
          handler(std::move(handler)),
          type(type),
          description(description),
          destroyed(destroyed) {}
    ~ScriptedService() override {
        if (destroyed != nullptr) {
            ++*destroyed;
        }
    }
    CallStatus handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                             uint32_t* replyLength) override {
        if (handler == nullptr || code == 0) {
            return Service::handleRequest(code, data, length, reply, replyLength);
        }
        return handler(code, data, length, replyLength);
    }
    uint32_t getType() override { return type; }
    const char* getDescription() override { return description; }

    Handler handler;
    uint32_t type;
    const char* description;
    int* destroyed;
};

// Answers with the request bytes when they fit the room.
CallStatus echo(uint32_t code, uint8_t* data, uint32_t length, uint32_t* replyLength);

// A thread with its own BusInstance that offers the services `offer` adds and then runs the
// message loop until stop(). The constructor returns once the services are offered.
class ServerThread {
  public:
    explicit ServerThread(std::function<void(BusInstance*)> offer);
    ~ServerThread() { stop(); }
    // Ends the message loop and waits for the thread, which deletes its instance. Gives what
    // run() returned.
    int stop();

    DWORD threadId = 0;

  private:
    std::thread thread;
    int runResult = -1;
};

// A child process whose standard output the test reads.
class ChildProcess {
  public:
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ~ChildProcess();
    // The next line of its output without the newline; empty at end of output or after kWaitMs.
    std::string readLine();
    void signal(int number);
    // Waits for the child's end; its exit status, or 128 + the signal that ended it.
    int wait();

    pid_t pid = -1;

  private:
    int output = -1;
    std::string pending;
};

// The path of the `qiro` program built beside the tests.
std::string qiroPath();

// `qiro serve` with the given words after "serve", returned once it announced that it serves.
std::unique_ptr<ChildProcess> startServe(const std::vector<std::string>& words);

// One call through `instance` with one request piece and one reply piece; the reply piece's
// length is left in `reply` (resized).
CallStatus callOnce(BusInstance* instance, uint32_t sid, uint32_t* type, uint32_t code,
                    const std::string& request, std::string* reply, uint32_t capacity,
                    uint32_t timeout = 0);

}  // namespace qiro::testing
