// A forked child process for transport tests: runs a function and exits with its result. The
// child reports back through a pipe, so the parent waits on a handshake, never on a sleep.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "tests/platform/transport_fixture.h"

namespace qiro::testing {

class ChildProcess {
  public:
    // Forks; the child runs `body` with the write end of the report pipe and exits with its result.
    explicit ChildProcess(std::function<int(int reportFd)> body);
    ~ChildProcess();
    pid_t pid() const { return pid_; }
    // Reads one line the child reported; empty on end of file or after `timeoutMs`.
    std::string readLine(int timeoutMs = 20000);
    void kill(int signal);
    // Waits for the child's end and returns its wait status.
    int wait();

  private:
    pid_t pid_ = -1;
    int reportFd_ = -1;
    bool reaped_ = false;
};

// A child that serves `name` on its main thread and reports "ready <format>" once registered.
// SIGTERM ends its message loop through a quit message posted by the signal handler; it then
// uninitialises and exits 0. `handler` decides each poke's answer, as in ServerThread.
ChildProcess startServerProcess(const std::string& name, PokeHandler handler = {});

// Writes `text` and a newline to a report pipe (async-signal-safe).
void report(int fd, const char* text);

}  // namespace qiro::testing
