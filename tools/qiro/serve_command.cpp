// qiro serve: offers one service on this machine's bus until SIGINT or SIGTERM, then takes it
// off the bus cleanly (its name unregistered) and ends with status 0.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include "bus/bus_instance.h"
#include "platform/win32_messages.h"
#include "platform/win32_threads.h"
#include "tools/qiro/command_line.h"
#include "tools/qiro/commands.h"

namespace qiro::tool {

namespace {

// Code 0 keeps the base answer (the description). With echo every other code is answered
// with the request bytes, which already lie in the reply area; without it, UnknownCode.
class CommandLineService : public Service {
  public:
    CommandLineService(uint32_t sid, uint32_t type, const char* description, bool echo)
        : Service(sid), type(type), description(description), echo(echo) {}

    CallStatus handleRequest(uint32_t code, uint8_t* data, uint32_t length, uint8_t* reply,
                             uint32_t* replyLength) override {
        if (code == 0 || !echo) {
            return Service::handleRequest(code, data, length, reply, replyLength);
        }
        if (length > *replyLength) {
            return CallStatus::ReplyTooLong;
        }
        *replyLength = length;
        return CallStatus::Ok;
    }
    uint32_t getType() override { return type; }
    const char* getDescription() override { return description; }

  private:
    const uint32_t type;
    const char* const description;
    const bool echo;
};

volatile sig_atomic_t servingThread = 0;

// Posting the quit message is async-signal-safe; it ends the message loop.
void stopServing(int) {
    int savedErrno = errno;
    PostThreadMessageA(DWORD(servingThread), WM_QUIT, 0, 0);
    errno = savedErrno;
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = stopServing;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int serve(BusInstance* instance, uint32_t sid, uint32_t type, const char* description, bool echo) {
    if (instance->ddeInstance == 0) {
        std::fprintf(stderr, "qiro: the bus cannot be reached from this process\n");
        return 1;
    }
    auto* service = new (std::nothrow) CommandLineService(sid, type, description, echo);
    if (service == nullptr || instance->addService(service, nullptr) == 0) {
        delete service;
        std::fprintf(stderr, "qiro: cannot offer sid %u\n", sid);
        return 1;
    }
    servingThread = sig_atomic_t(GetCurrentThreadId());
    installStopHandlers();
    // Whoever started us may wait for this line: from here on the sid can be called.
    std::printf("serving sid %u (pid %d)\n", sid, int(getpid()));
    std::fflush(stdout);
    instance->run();
    return 0;
}

}  // namespace

int serveCommand(int argc, char** argv) {
    Arguments arguments(argc, argv);
    uint32_t type = arguments.takeNumber("--type", 0);
    const char* description = arguments.takeText("--description");
    bool echo = arguments.takeFlag("--echo");
    std::optional<uint32_t> sid = parseNumber(arguments.takePositional());
    if (!sid || !arguments.finished()) {
        return kUsageError;
    }
    BusInstance* instance = createInstance();
    if (instance == nullptr) {
        std::fprintf(stderr, "qiro: out of memory\n");
        return 1;
    }
    int status = serve(instance, *sid, type, description, echo);
    delete instance;
    return status;
}

}  // namespace qiro::tool
