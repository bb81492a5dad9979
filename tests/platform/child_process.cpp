#include "tests/platform/child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace qiro::testing {

namespace {

DWORD childMainThread = 0;
PokeHandler childHandler;

void postQuitOnSignal(int) {
    PostThreadMessageA(childMainThread, WM_QUIT, 0, 0);
}

HDDEDATA childCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    if (type == XTYP_CONNECT) {
        return reinterpret_cast<HDDEDATA>(TRUE);
    }
    DWORD size = 0;
    BYTE* bytes = type == XTYP_POKE ? DdeAccessData(data, &size) : nullptr;
    if (bytes == nullptr) {
        return nullptr;
    }
    UINT answer = childHandler(bytes, size);
    DdeUnaccessData(data);
    return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(answer));
}

int serve(const std::string& name, int reportFd) {
    DWORD instance = 0;
    if (DdeInitializeA(&instance, childCallback, kBusFlags, 0) != DMLERR_NO_ERROR) {
        return 2;
    }
    childMainThread = GetCurrentThreadId();
    struct sigaction action {};
    action.sa_handler = postQuitOnSignal;
    sigaction(SIGTERM, &action, nullptr);
    HSZ handle = DdeCreateStringHandleA(instance, name.c_str(), CP_WINANSI);
    if (DdeNameService(instance, handle, nullptr, DNS_REGISTER) == nullptr) {
        return 3;
    }
    char line[64];
    std::snprintf(line, sizeof line, "ready %u", RegisterClipboardFormatA("QIRO"));
    report(reportFd, line);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        DispatchMessageA(&message);
    }
    DdeFreeStringHandle(instance, handle);
    DdeUninitialize(instance);
    return 0;
}

UINT invertAll(BYTE* data, DWORD size) {
    for (DWORD i = 0; i < size; ++i) {
        data[i] = static_cast<BYTE>(~data[i]);
    }
    return DDE_FACK;
}

}  // namespace

void report(int fd, const char* text) {
    size_t length = std::strlen(text);
    ssize_t ignored = write(fd, text, length);
    ignored = write(fd, "\n", 1);
    (void)ignored;
}

ChildProcess::ChildProcess(std::function<int(int reportFd)> body) {
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe";
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        _exit(body(fds[1]));
    }
    close(fds[1]);
    reportFd_ = fds[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    if (reportFd_ >= 0) {
        close(reportFd_);
    }
}

std::string ChildProcess::readLine(int timeoutMs) {
    std::string line;
    char c;
    while (true) {
        pollfd request{reportFd_, POLLIN, 0};
        if (poll(&request, 1, timeoutMs) <= 0 || read(reportFd_, &c, 1) != 1 || c == '\n') {
            return line;
        }
        line.push_back(c);
    }
}

void ChildProcess::kill(int signal) {
    ::kill(pid_, signal);
}

int ChildProcess::wait() {
    int status = 0;
    if (!reaped_ && pid_ > 0) {
        waitpid(pid_, &status, 0);
        reaped_ = true;
    }
    return status;
}

ChildProcess startServerProcess(const std::string& name, PokeHandler handler) {
    return ChildProcess([name, handler](int reportFd) {
        childHandler = handler ? handler : invertAll;
        return serve(name, reportFd);
    });
}

}  // namespace qiro::testing
