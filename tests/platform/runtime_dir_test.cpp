// Where the transport lives, who may use it, and the listing of live registrations.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/dde_names.h"
#include "tests/platform/child_process.h"

namespace qiro::testing {
namespace {

mode_t modeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

TEST_F(TransportTest, RuntimeDirectoryIsMadePrivate) {
    std::string nested = runtimeDir_ + "/fresh";
    setenv("QIRO_RUNTIME_DIR", nested.c_str(), 1);
    {
        Client client;
        EXPECT_NE(client.instance(), 0u);
    }
    EXPECT_EQ(modeOf(nested), 0700u);
    // A directory of ours that others could enter is closed again.
    chmod(nested.c_str(), 0755);
    {
        Client client;
        EXPECT_NE(client.instance(), 0u);
    }
    EXPECT_EQ(modeOf(nested), 0700u);
}

TEST_F(TransportTest, XdgRuntimeDirIsTheFallback) {
    unsetenv("QIRO_RUNTIME_DIR");
    std::string previous = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    setenv("XDG_RUNTIME_DIR", runtimeDir_.c_str(), 1);
    {
        Client client;
        EXPECT_NE(client.instance(), 0u);
    }
    EXPECT_EQ(modeOf(runtimeDir_ + "/qiro"), 0700u);
    if (previous.empty()) {
        unsetenv("XDG_RUNTIME_DIR");
    } else {
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    }
}

TEST_F(TransportTest, RuntimeDirectoryOfAnotherUserIsRefused) {
    if (getuid() != 0) {
        GTEST_SKIP() << "needs root to give a directory to another user";
    }
    std::string foreign = runtimeDir_ + "/foreign";
    ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
    setenv("QIRO_RUNTIME_DIR", foreign.c_str(), 1);
    DWORD instance = 123;
    EXPECT_NE(DdeInitializeA(
                  &instance,
                  [](UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) -> HDDEDATA {
                      return nullptr;
                  },
                  kBusFlags, 0),
              DMLERR_NO_ERROR);
    EXPECT_EQ(instance, 0u);
    EXPECT_EQ(RegisterClipboardFormatA("QIRO"), 0u);
}

TEST_F(TransportTest, ListingShowsLiveRegistrationsAndRemovesStaleOnes) {
    ChildProcess live = startServerProcess("QIRO 80");
    ASSERT_FALSE(live.readLine().empty());
    ChildProcess dead = startServerProcess("QIRO 81");
    ASSERT_FALSE(dead.readLine().empty());
    dead.kill(SIGKILL);
    dead.wait();
    ServerThread local("QIRO 80");  // a younger registration of the same name
    ASSERT_TRUE(local.ready());

    std::vector<std::pair<std::string, long>> seen;
    ASSERT_TRUE(DdeEnumRegistrations(
        [](const char* name, long pid, void* context) {
            static_cast<std::vector<std::pair<std::string, long>>*>(context)->emplace_back(name,
                                                                                           pid);
        },
        &seen));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(std::string("QIRO 80"), static_cast<long>(live.pid())));
    EXPECT_EQ(seen[1], std::make_pair(std::string("QIRO 80"), static_cast<long>(getpid())));
    EXPECT_EQ(registrationFileCount(), 2);  // the dead process's registration was removed
}

}  // namespace
}  // namespace qiro::testing
