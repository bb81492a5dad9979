// qiro: offer, call, list and measure services of the QIRO bus of this machine from a shell.
//
//   qiro serve 200 --echo &          # offers sid 200, answering every code but 0 with the request
//   qiro call 200 --code 1 hello     # prints "status 0 (Ok)" and then "hello"
//   qiro list                        # "200 pid 4711"
//   qiro bench 200 --size 40         # calls per second, median and 99th-percentile latency
#include <cstdio>
#include <cstring>

#include "tools/qiro/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: qiro serve SID [--type T] [--description TEXT] [--echo]\n"
    "       qiro call SID [--type T] [--code C] [--timeout MS] [--capacity N] [DATA|-]\n"
    "       qiro list\n"
    "       qiro bench SID [--size N] [--count K] [--threads T]\n"
    "Numbers are decimal or 0x hex.\n";

int runCommand(const char* name, int argc, char** argv) {
    using namespace qiro::tool;
    if (std::strcmp(name, "serve") == 0) {
        return serveCommand(argc, argv);
    }
    if (std::strcmp(name, "call") == 0) {
        return callCommand(argc, argv);
    }
    if (std::strcmp(name, "list") == 0) {
        return listCommand(argc, argv);
    }
    if (std::strcmp(name, "bench") == 0) {
        return benchCommand(argc, argv);
    }
    return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    int status = argc < 2 ? qiro::tool::kUsageError : runCommand(argv[1], argc - 2, argv + 2);
    if (status == qiro::tool::kUsageError) {
        std::fputs(kUsage, stderr);
    }
    return status;
}
