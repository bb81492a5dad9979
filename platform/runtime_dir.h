// The per-user directory where the transport keeps its sockets, name registrations and the
// clipboard-format table: $QIRO_RUNTIME_DIR when set, else $XDG_RUNTIME_DIR/qiro, else
// /tmp/qiro-<uid>. It is made with mode 0700 and refused when another user owns it, when it is
// not a directory, or when others may enter it.
#pragma once

#include <string>

namespace qiro::platform {

// The runtime directory, made (with its sub-directories) if need be. False with errno set when it
// cannot be had or is refused.
bool openRuntimeDir(std::string* path);

// Sub-directories of the runtime directory.
constexpr const char* kSocketDir = "sock";
constexpr const char* kNamesDir = "names";

}  // namespace qiro::platform
