// The four commands of `qiro`. Each gets the words after its own name and returns the program's
// exit status; kUsageError means the words were wrong and the usage is to be shown.
#pragma once

namespace qiro::tool {

constexpr int kUsageError = 2;

// qiro serve SID [--type T] [--description TEXT] [--echo]
int serveCommand(int argc, char** argv);
// qiro call SID [--type T] [--code C] [--timeout MS] [--capacity N] [DATA|-]
int callCommand(int argc, char** argv);
// qiro list
int listCommand(int argc, char** argv);
// qiro bench SID [--size N] [--count K] [--threads T]
int benchCommand(int argc, char** argv);

}  // namespace qiro::tool
