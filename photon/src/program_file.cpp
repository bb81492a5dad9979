#include "program_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <span>

namespace photon {
namespace {

db::Error systemError(const std::string& call, const std::string& path) {
    return db::Error{call + ": " + std::strerror(errno), path, 0};
}

}  // namespace

db::Result<std::vector<uint8_t>> readProgramSection(const std::string& path, std::string_view name,
                                                    bool wholeIfNotElf) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return systemError("open", path);
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        db::Error error = systemError("fstat", path);
        close(fd);
        return error;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* mapped = size ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (mapped == MAP_FAILED) {
        return size ? systemError("mmap", path) : db::Error{"empty file", path, 0};
    }
    std::span<const uint8_t> file(static_cast<const uint8_t*>(mapped), size);
    static constexpr uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};
    bool elf = size >= 4 && std::memcmp(file.data(), kElfMagic, 4) == 0;
    db::Result<std::vector<uint8_t>> result =
        elf || !wholeIfNotElf
            ? db::readElfSection(file, name)
            : db::Result<std::vector<uint8_t>>(std::vector<uint8_t>(file.begin(), file.end()));
    munmap(mapped, size);
    return result;
}

}  // namespace photon
