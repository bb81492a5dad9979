// Name registrations and clipboard formats, kept as files in the runtime directory.
//
// A registration is an empty file names/<name>/<stamp>-<pid>-<instance>, where the stamp is the
// registration time in nanoseconds, zero-padded so that the file names sort by age. The owner's
// socket is sock/<pid>-<instance>. A registration whose socket refuses connections (or is gone)
// belongs to a process that died without unregistering; whoever meets it removes it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unordered_map>

#include "platform/dde_names.h"
#include "platform/dde_objects.h"
#include "platform/runtime_dir.h"

namespace qiro::platform {

namespace {

bool keptAsIs(unsigned char c) {
    return std::isalnum(c) || c == ' ' || c == '_' || c == '-';
}

// A name as a file name: letters, digits, blank, '_' and '-' stay, other bytes become %XX.
bool encodeName(const std::string& name, std::string* encoded) {
    if (name.empty()) {
        return false;
    }
    encoded->clear();
    for (unsigned char c : name) {
        if (keptAsIs(c)) {
            encoded->push_back(static_cast<char>(c));
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            encoded->append(escaped);
        }
    }
    return encoded->size() <= NAME_MAX;
}

bool decodeName(const char* encoded, std::string* name) {
    name->clear();
    for (const char* p = encoded; *p != '\0'; ++p) {
        if (*p != '%') {
            name->push_back(*p);
            continue;
        }
        unsigned value;
        if (!std::isxdigit(static_cast<unsigned char>(p[1])) ||
            !std::isxdigit(static_cast<unsigned char>(p[2])) ||
            std::sscanf(p + 1, "%2x", &value) != 1) {
            return false;
        }
        name->push_back(static_cast<char>(value));
        p += 2;
    }
    return !name->empty();
}

uint64_t realtimeNs() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

bool parseEntry(const char* fileName, RegistrationEntry* entry) {
    uint64_t stamp;
    int pid;
    unsigned instanceId;
    int consumed = 0;
    if (std::sscanf(fileName, "%20" SCNu64 "-%d-%u%n", &stamp, &pid, &instanceId, &consumed) != 3 ||
        fileName[consumed] != '\0' || pid <= 0) {
        return false;
    }
    entry->pid = pid;
    entry->instanceId = instanceId;
    return true;
}

}  // namespace

std::string socketPathOf(const std::string& runtimeDir, pid_t pid, DWORD instanceId) {
    return runtimeDir + "/" + kSocketDir + "/" + std::to_string(pid) + "-" +
           std::to_string(instanceId);
}

bool nameDirectory(const std::string& runtimeDir, const std::string& name, std::string* path) {
    std::string encoded;
    if (!encodeName(name, &encoded)) {
        return false;
    }
    *path = runtimeDir + "/" + kNamesDir + "/" + encoded;
    return true;
}

bool registerName(Instance& instance, const std::string& name) {
    // Registering a name again keeps the first registration and its age.
    if (instance.registrations.count(name) != 0) {
        return true;
    }
    std::string directory;
    if (!nameDirectory(instance.runtimeDir, name, &directory)) {
        return false;
    }
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    char fileName[64];
    std::snprintf(fileName, sizeof fileName, "%020" PRIu64 "-%d-%u", realtimeNs(),
                  static_cast<int>(getpid()), instance.id);
    std::string file = directory + "/" + fileName;
    int fd = open(file.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    close(fd);
    try {
        instance.registrations.emplace(name, file);
    } catch (...) {
        unlink(file.c_str());
        return false;
    }
    return true;
}

void unregisterName(Instance& instance, const std::string& name) {
    auto found = instance.registrations.find(name);
    if (found == instance.registrations.end()) {
        return;
    }
    unlink(found->second.c_str());
    instance.registrations.erase(found);
}

bool listRegistrations(const std::string& runtimeDir, const std::string& name,
                       std::vector<RegistrationEntry>* entries) {
    entries->clear();
    std::string directory;
    if (!nameDirectory(runtimeDir, name, &directory)) {
        return false;
    }
    DIR* folder = opendir(directory.c_str());
    if (folder == nullptr) {
        return errno == ENOENT;  // nobody ever registered the name
    }
    while (dirent* found = readdir(folder)) {
        RegistrationEntry entry;
        if (parseEntry(found->d_name, &entry)) {
            entry.file = directory + "/" + found->d_name;
            entries->push_back(std::move(entry));
        }
    }
    closedir(folder);
    std::sort(
        entries->begin(), entries->end(),
        [](const RegistrationEntry& a, const RegistrationEntry& b) { return a.file < b.file; });
    return true;
}

int connectToEntry(const std::string& runtimeDir, const RegistrationEntry& entry, bool* stale) {
    *stale = false;
    std::string socketPath = socketPathOf(runtimeDir, entry.pid, entry.instanceId);
    int fd = connectUnix(socketPath.c_str());
    if (fd >= 0) {
        return fd;
    }
    int failure = errno;
    if (failure == ECONNREFUSED || failure == ENOENT) {
        *stale = true;
        unlink(entry.file.c_str());
        if (failure == ECONNREFUSED) {
            unlink(socketPath.c_str());
        }
    }
    errno = failure;
    return -1;
}

namespace {

constexpr UINT kFirstRegisteredFormat = 0xC000;
constexpr UINT kLastRegisteredFormat = 0xFFFF;

std::string lowered(const char* text) {
    std::string result(text);
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

// Finds `name` in the table file, appending it if need be, under an exclusive lock so that all
// processes agree. The format is the line's index above 0xC000. 0 on failure.
UINT lookUpFormat(const std::string& runtimeDir, const std::string& name) {
    std::string path = runtimeDir + "/formats";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return 0;
    }
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    UINT format = 0;
    FILE* table = fdopen(fd, "r+");
    if (table == nullptr) {
        close(fd);
        return 0;
    }
    char line[kMaxNameLength + 2];
    UINT index = 0;
    while (std::fgets(line, sizeof line, table) != nullptr) {
        line[std::strcspn(line, "\n")] = '\0';
        if (name == line) {
            format = kFirstRegisteredFormat + index;
            break;
        }
        ++index;
    }
    if (format == 0 && kFirstRegisteredFormat + index <= kLastRegisteredFormat) {
        std::fseek(table, 0, SEEK_END);
        if (std::fprintf(table, "%s\n", name.c_str()) > 0 && std::fflush(table) == 0) {
            format = kFirstRegisteredFormat + index;
        }
    }
    std::fclose(table);  // also releases the lock
    return format;
}

}  // namespace

}  // namespace qiro::platform

using namespace qiro::platform;

UINT RegisterClipboardFormatA(const char* name) {
    if (name == nullptr || *name == '\0' || std::strlen(name) > kMaxNameLength ||
        std::strchr(name, '\n') != nullptr) {
        return 0;
    }
    static std::mutex cacheMutex;
    static std::unordered_map<std::string, UINT> cache;  // by runtime directory and name
    try {
        std::string runtimeDir;
        if (!openRuntimeDir(&runtimeDir)) {
            return 0;
        }
        // Names are compared without regard to case, as the platform does.
        std::string key = runtimeDir + '\n' + lowered(name);
        std::lock_guard lock(cacheMutex);
        auto found = cache.find(key);
        if (found != cache.end()) {
            return found->second;
        }
        UINT format = lookUpFormat(runtimeDir, lowered(name));
        if (format != 0) {
            cache.emplace(std::move(key), format);
        }
        return format;
    } catch (...) {
        return 0;
    }
}

BOOL DdeEnumRegistrations(DdeRegistrationVisitor visit, void* context) {
    try {
        std::string runtimeDir;
        if (visit == nullptr || !openRuntimeDir(&runtimeDir)) {
            return FALSE;
        }
        std::string namesPath = runtimeDir + "/" + kNamesDir;
        DIR* folder = opendir(namesPath.c_str());
        if (folder == nullptr) {
            return FALSE;
        }
        std::vector<std::string> names;
        while (dirent* found = readdir(folder)) {
            std::string name;
            if (found->d_name[0] != '.' && decodeName(found->d_name, &name)) {
                names.push_back(std::move(name));
            }
        }
        closedir(folder);
        std::sort(names.begin(), names.end());
        std::vector<RegistrationEntry> entries;
        for (const std::string& name : names) {
            if (!listRegistrations(runtimeDir, name, &entries)) {
                continue;
            }
            for (const RegistrationEntry& entry : entries) {
                bool stale = false;
                int fd = connectToEntry(runtimeDir, entry, &stale);
                if (fd >= 0) {
                    close(fd);
                    visit(name.c_str(), static_cast<long>(entry.pid), context);
                } else if (!stale && errno == EAGAIN) {
                    // Alive but too busy to take a connection now: still a live registration.
                    visit(name.c_str(), static_cast<long>(entry.pid), context);
                }
            }
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}
