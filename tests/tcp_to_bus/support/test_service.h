// A bus service for the gateway tests, run on a thread of the test process, and a temporary
// runtime directory for the bus, so tests never meet another test's services.
#pragma once

#include <cstdint>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "bus/service.h"
#include "platform/win32_types.h"

namespace qiro::testing {

// Request codes of TestService.
enum TestCode : uint32_t {
    // Reply = the request, as it came.
    kEcho = 1,
    // Reply = as many bytes as the request's first 4 bytes (little-endian) say, each the low
    // byte of its index.
    kPattern = 2,
    // Returns the status that the request's first 4 bytes hold, with no reply.
    kStatus = 3,
};

class TestService : public Service {
  public:
    TestService(uint32_t sid, uint32_t type) : Service(sid), type_(type) {}
    CallStatus handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                             uint32_t* replyLength) override;
    uint32_t getType() override { return type_; }
    const char* getDescription() override { return "gateway test service"; }

  private:
    uint32_t type_;
};

// Runs a BusInstance with one TestService on a thread of its own until destroyed.
class ServiceThread {
  public:
    ServiceThread(uint32_t sid, uint32_t type);
    ~ServiceThread();
    // False when the service could not be registered.
    bool ready() const { return ready_; }

  private:
    std::thread thread_;
    DWORD threadId_ = 0;
    bool ready_ = false;
};

// Points the bus of this process and of the programs it starts at a fresh directory, removed at
// the end. Made once per test process.
const std::string& testRuntimeDir();

}  // namespace qiro::testing
