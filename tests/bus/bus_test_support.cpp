#include "tests/bus/bus_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>

#include <gtest/gtest.h>

#include "platform/win32_messages.h"

namespace qiro::testing {

namespace {

// Every test process (ctest runs one per test case) gets its own runtime directory, so that
// tests neither see each other's names nor a user's services.
class PrivateRuntimeDir : public ::testing::Environment {
  public:
    void SetUp() override {
        // A helper process started by a test works in the directory of the test that started it.
        if (std::getenv(kHelperSidVariable) != nullptr) {
            return;
        }
        char pattern[] = "/tmp/qiro-bus-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        path = pattern;
        setenv("QIRO_RUNTIME_DIR", (path + "/run").c_str(), 1);
    }
    void TearDown() override {
        if (path.empty()) {
            return;
        }
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

const auto* const runtimeDir = ::testing::AddGlobalTestEnvironment(new PrivateRuntimeDir);

}  // namespace

CallStatus echo(uint32_t, uint8_t*, uint32_t length, uint32_t* replyLength) {
    if (length > *replyLength) {
        return CallStatus::ReplyTooLong;
    }
    *replyLength = length;
    return CallStatus::Ok;
}

ServerThread::ServerThread(std::function<void(BusInstance*)> offer) {
    std::promise<DWORD> ready;
    std::future<DWORD> started = ready.get_future();
    thread = std::thread([&ready, offer = std::move(offer), this] {
        BusInstance* instance = createInstance();
        offer(instance);
        ready.set_value(GetCurrentThreadId());
        runResult = instance->run();
        delete instance;
    });
    threadId = started.get();
}

int ServerThread::stop() {
    if (thread.joinable()) {
        PostThreadMessageA(threadId, WM_QUIT, 0, 0);
        thread.join();
    }
    return runResult;
}

ChildProcess::ChildProcess(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<char*> argv;
    for (const std::string& word : arguments) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    output = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        wait();
    }
    if (output >= 0) {
        close(output);
    }
}

std::string ChildProcess::readLine() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    for (;;) {
        size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{output, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, int(left.count())) <= 0) {
            return {};
        }
        char chunk[256];
        ssize_t n = read(output, chunk, sizeof chunk);
        if (n <= 0) {
            return {};
        }
        pending.append(chunk, size_t(n));
    }
}

void ChildProcess::signal(int number) {
    kill(pid, number);
}

int ChildProcess::wait() {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string qiroPath() {
    return QIRO_PROGRAM;
}

std::unique_ptr<ChildProcess> startServe(const std::vector<std::string>& words) {
    std::vector<std::string> arguments{qiroPath(), "serve"};
    arguments.insert(arguments.end(), words.begin(), words.end());
    auto child = std::make_unique<ChildProcess>(arguments);
    std::string line = child->readLine();
    EXPECT_EQ(line.rfind("serving sid ", 0), 0u) << "qiro serve said: " << line;
    return child;
}

CallStatus callOnce(BusInstance* instance, uint32_t sid, uint32_t* type, uint32_t code,
                    const std::string& request, std::string* reply, uint32_t capacity,
                    uint32_t timeout) {
    std::string requestBytes = request;
    reply->assign(capacity, '\0');
    BufferPiece requestPiece{reinterpret_cast<uint8_t*>(requestBytes.data()),
                             uint32_t(requestBytes.size())};
    BufferPiece replyPiece{reinterpret_cast<uint8_t*>(reply->data()), capacity};
    CallStatus status = instance->call(sid, type, code, &requestPiece, 1, &replyPiece, 1, timeout);
    reply->resize(replyPiece.length);
    return status;
}

}  // namespace qiro::testing
