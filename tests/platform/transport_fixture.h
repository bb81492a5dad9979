// Test support for the transport: a private runtime directory per test, and a serving thread
// whose callback behaviour the test chooses.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "platform/ddeml.h"
#include "platform/win32_messages.h"
#include "platform/win32_threads.h"

namespace qiro::testing {

// The bus's flags: filtered connections, no self-connections, no confirmations.
constexpr DWORD kBusFlags =
    APPCMD_FILTERINITS | CBF_FAIL_SELFCONNECTIONS | CBF_SKIP_CONNECT_CONFIRMS;

class TransportTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Files under the runtime directory's names/ folder (registrations), recursively counted.
    int registrationFileCount() const;

    std::string runtimeDir_;
};

// What a serving callback does with a poke: returns the answer (DDE_FACK or 0).
using PokeHandler = std::function<UINT(BYTE* data, DWORD size)>;

// A thread that owns one DDE instance, registers `name` and dispatches until stopped.
class ServerThread {
  public:
    explicit ServerThread(std::string name, PokeHandler handler = {}, DWORD flags = kBusFlags);
    ~ServerThread();
    // Waits until the name is registered; false if the thread could not set up.
    bool ready();
    DWORD threadId() const { return threadId_; }
    // Ends the message loop with a quit message and joins the thread.
    void stop();
    std::atomic<int> connects{0};
    std::atomic<int> pokes{0};

  private:
    void run();
    static HDDEDATA callback(UINT type, UINT format, HCONV conversation, HSZ first, HSZ second,
                             HDDEDATA data, ULONG_PTR, ULONG_PTR);

    std::string name_;
    PokeHandler handler_;
    DWORD flags_;
    std::promise<bool> ready_;
    std::shared_future<bool> readyFuture_;
    std::atomic<DWORD> threadId_{0};
    std::thread thread_;
};

// One client instance on the calling thread.
class Client {
  public:
    Client();
    ~Client();
    DWORD instance() const { return instance_; }
    HCONV connect(const std::string& name);
    // Pokes `data` through `conversation` and returns the error (DMLERR_NO_ERROR on DDE_FACK);
    // `data` receives what the item holds afterwards.
    UINT poke(HCONV conversation, std::string& data, DWORD timeoutMs = 10000);
    HDDEDATA makeItem(const std::string& bytes);
    std::string readItem(HDDEDATA item);

  private:
    static HDDEDATA callback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
        return nullptr;
    }
    DWORD instance_ = 0;
    UINT format_ = 0;
};

}  // namespace qiro::testing
