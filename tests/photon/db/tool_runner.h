// Runs the phabdb program and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace photon::db::testing {

struct ToolRun {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` (each passed as one argument, no shell expansion).
ToolRun runProgram(const std::string& program, const std::vector<std::string>& arguments);

// The phabdb program of this build.
ToolRun runPhabdb(const std::vector<std::string>& arguments);

}  // namespace photon::db::testing
