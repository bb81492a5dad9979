// A program started as a real process for a test, with its standard output and error kept in
// files. The destructor stops it (SIGTERM, then SIGKILL) if it still runs.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qiro::testing {

class ChildProcess {
  public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Starts `program` with `arguments`; `environment` is added to the test's own.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const Environment& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits up to `waitMs` for the process to end; its exit status, or -1 when it ended by a
    // signal. Empty when it is still running.
    std::optional<int> waitForExit(int waitMs);
    // Sends `signal` and waits for the end.
    std::optional<int> stop(int signal, int waitMs = 20000);
    bool running();

    std::string output() const;
    std::string errors() const;
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::filesystem::path outputFile_;
    std::filesystem::path errorFile_;
};

// The path of a program of this build (build*/bin/<name>).
std::string programPath(const std::string& name);

}  // namespace qiro::testing
