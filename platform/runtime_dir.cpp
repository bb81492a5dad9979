#include "platform/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qiro::platform {

namespace {

std::string chooseRuntimeDir() {
    if (const char* own = std::getenv("QIRO_RUNTIME_DIR"); own != nullptr && *own != '\0') {
        return own;
    }
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && *xdg != '\0') {
        return std::string(xdg) + "/qiro";
    }
    return "/tmp/qiro-" + std::to_string(getuid());
}

// Makes `path` (mode 0700) unless it is there, then checks that it is ours and private.
bool ensurePrivateDir(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid()) {
        errno = EACCES;
        return false;
    }
    if ((info.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) {
        return false;
    }
    return true;
}

}  // namespace

bool openRuntimeDir(std::string* path) {
    try {
        std::string base = chooseRuntimeDir();
        if (!ensurePrivateDir(base) || !ensurePrivateDir(base + "/" + kSocketDir) ||
            !ensurePrivateDir(base + "/" + kNamesDir)) {
            return false;
        }
        *path = std::move(base);
        return true;
    } catch (...) {
        errno = ENOMEM;
        return false;
    }
}

}  // namespace qiro::platform
