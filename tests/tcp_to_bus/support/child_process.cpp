#include "support/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qiro::testing {
namespace {

std::filesystem::path captureFile(const char* kind) {
    static int counter = 0;
    return std::filesystem::temp_directory_path() /
           ("qiro-gw-" + std::to_string(getpid()) + "-" + std::to_string(++counter) + "." + kind);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

[[noreturn]] void execChild(const std::string& program, const std::vector<std::string>& arguments,
                            const ChildProcess::Environment& environment, const std::string& out,
                            const std::string& err) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    for (const auto& [name, value] : environment)
        setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const Environment& environment)
    : outputFile_(captureFile("out")), errorFile_(captureFile("err")) {
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0)
        execChild(program, arguments, environment, outputFile_, errorFile_);
}

ChildProcess::~ChildProcess() {
    if (running() && !stop(SIGTERM, 10000))
        stop(SIGKILL);
    std::filesystem::remove(outputFile_);
    std::filesystem::remove(errorFile_);
}

std::optional<int> ChildProcess::waitForExit(int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!status_) {
        int raw = 0;
        const pid_t ended = waitpid(pid_, &raw, WNOHANG);
        if (ended == pid_) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
}

std::optional<int> ChildProcess::stop(int signal, int waitMs) {
    if (!status_)
        kill(pid_, signal);
    return waitForExit(waitMs);
}

bool ChildProcess::running() {
    return !waitForExit(0).has_value();
}

std::string ChildProcess::output() const {
    return readFile(outputFile_);
}
std::string ChildProcess::errors() const {
    return readFile(errorFile_);
}

std::string programPath(const std::string& name) {
    return std::string(QIRO_BIN_DIR) + "/" + name;
}

}  // namespace qiro::testing
