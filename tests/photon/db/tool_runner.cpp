#include "tool_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "db_fixtures.h"

namespace photon::db::testing {
namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ToolRun runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    TemporaryDirectory capture;
    std::string outPath = (capture.path() / "out").string();
    std::string errPath = (capture.path() / "err").string();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ToolRun run;
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int none = open("/dev/null", O_RDONLY);
        dup2(none, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = slurp(outPath);
    run.err = slurp(errPath);
    return run;
}

ToolRun runPhabdb(const std::vector<std::string>& arguments) {
    return runProgram(PHABDB_PROGRAM, arguments);
}

}  // namespace photon::db::testing
