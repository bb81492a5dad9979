#include "tests/platform/transport_fixture.h"

#include <ftw.h>
#include <sys/stat.h>

#include <cstdlib>

namespace qiro::testing {

namespace {

int removeEntry(const char* path, const struct stat*, int, FTW*) {
    return remove(path);
}

int countFiles(const std::string& directory) {
    static int count;
    count = 0;
    nftw(
        directory.c_str(),
        [](const char*, const struct stat* info, int, FTW*) {
            count += S_ISREG(info->st_mode) ? 1 : 0;
            return 0;
        },
        16, FTW_PHYS);
    return count;
}

thread_local ServerThread* currentServer = nullptr;

}  // namespace

void TransportTest::SetUp() {
    char pattern[] = "/tmp/qiro-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    runtimeDir_ = pattern;
    setenv("QIRO_RUNTIME_DIR", runtimeDir_.c_str(), 1);
}

void TransportTest::TearDown() {
    nftw(runtimeDir_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    unsetenv("QIRO_RUNTIME_DIR");
}

int TransportTest::registrationFileCount() const {
    return countFiles(runtimeDir_ + "/names");
}

ServerThread::ServerThread(std::string name, PokeHandler handler, DWORD flags)
    : name_(std::move(name)),
      handler_(std::move(handler)),
      flags_(flags),
      readyFuture_(ready_.get_future().share()),
      thread_([this] { run(); }) {}

ServerThread::~ServerThread() {
    stop();
}

bool ServerThread::ready() {
    return readyFuture_.get();
}

void ServerThread::stop() {
    if (thread_.joinable()) {
        readyFuture_.wait();
        PostThreadMessageA(threadId_.load(), WM_QUIT, 0, 0);
        thread_.join();
    }
}

void ServerThread::run() {
    currentServer = this;
    DWORD instance = 0;
    bool ok = DdeInitializeA(&instance, callback, flags_, 0) == DMLERR_NO_ERROR;
    HSZ name = ok ? DdeCreateStringHandleA(instance, name_.c_str(), CP_WINANSI) : nullptr;
    ok = ok && name != nullptr && DdeNameService(instance, name, nullptr, DNS_REGISTER) != nullptr;
    MSG message;
    // DdeInitializeA made the thread's queue, so a quit message can be posted from now on.
    threadId_.store(GetCurrentThreadId());
    ready_.set_value(ok);
    if (ok) {
        while (GetMessageA(&message, nullptr, 0, 0)) {
            DispatchMessageA(&message);
        }
    }
    if (name != nullptr) {
        DdeFreeStringHandle(instance, name);
    }
    if (instance != 0) {
        DdeUninitialize(instance);
    }
}

HDDEDATA ServerThread::callback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR,
                                ULONG_PTR) {
    ServerThread* server = currentServer;
    if (type == XTYP_CONNECT) {
        ++server->connects;
        return reinterpret_cast<HDDEDATA>(TRUE);
    }
    if (type != XTYP_POKE) {
        return nullptr;
    }
    ++server->pokes;
    DWORD size = 0;
    BYTE* bytes = DdeAccessData(data, &size);
    if (bytes == nullptr) {
        return nullptr;
    }
    UINT answer = DDE_FACK;
    if (server->handler_) {
        answer = server->handler_(bytes, size);
    } else {
        for (DWORD i = 0; i < size; ++i) {
            bytes[i] = static_cast<BYTE>(bytes[i] ^ 0xFF);
        }
    }
    DdeUnaccessData(data);
    return reinterpret_cast<HDDEDATA>(static_cast<uintptr_t>(answer));
}

Client::Client() {
    EXPECT_EQ(DdeInitializeA(&instance_, callback, kBusFlags, 0), DMLERR_NO_ERROR);
    format_ = RegisterClipboardFormatA("QIRO");
}

Client::~Client() {
    if (instance_ != 0) {
        DdeUninitialize(instance_);
    }
}

HCONV Client::connect(const std::string& name) {
    HSZ handle = DdeCreateStringHandleA(instance_, name.c_str(), CP_WINANSI);
    HCONV conversation = DdeConnect(instance_, handle, handle, nullptr);
    DdeFreeStringHandle(instance_, handle);
    return conversation;
}

HDDEDATA Client::makeItem(const std::string& bytes) {
    return DdeCreateDataHandle(instance_, reinterpret_cast<const BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()), 0, nullptr, format_,
                               HDATA_APPOWNED);
}

std::string Client::readItem(HDDEDATA item) {
    std::string bytes(DdeGetData(item, nullptr, 0, 0), '\0');
    DdeGetData(item, reinterpret_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0);
    return bytes;
}

UINT Client::poke(HCONV conversation, std::string& data, DWORD timeoutMs) {
    HDDEDATA item = makeItem(data);
    if (item == nullptr) {
        return DMLERR_MEMORY_ERROR;
    }
    HDDEDATA done =
        DdeClientTransaction(reinterpret_cast<BYTE*>(item), DDE_DATA_IS_HANDLE, conversation,
                             nullptr, format_, XTYP_POKE, timeoutMs, nullptr);
    UINT error = done != nullptr ? DMLERR_NO_ERROR : DdeGetLastError(instance_);
    data = readItem(item);
    DdeFreeDataHandle(item);
    return error;
}

}  // namespace qiro::testing
