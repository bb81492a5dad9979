// Finding a named section in an ELF program file, and reading files whole.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "photon/db/widget_db.h"

namespace photon::db {
namespace {

// Reads fixed-width fields of either byte order at checked offsets.
class ElfView {
  public:
    ElfView(std::span<const uint8_t> file, bool bigEndian) : file_(file), bigEndian_(bigEndian) {}

    bool has(uint64_t offset, uint64_t size) const {
        return offset <= file_.size() && size <= file_.size() - offset;
    }
    uint64_t field(uint64_t offset, int size) const {
        uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            int shift = bigEndian_ ? 8 * (size - 1 - i) : 8 * i;
            value |= uint64_t(file_[offset + i]) << shift;
        }
        return value;
    }

  private:
    std::span<const uint8_t> file_;
    bool bigEndian_;
};

Error elfError(std::string what, std::size_t at = 0) {
    return Error{std::move(what), "ELF file", at};
}

constexpr uint32_t kSectionNoBits = 8;  // SHT_NOBITS: occupies no file space

}  // namespace

Result<std::vector<uint8_t>> readElfSection(std::span<const uint8_t> file, std::string_view name) {
    if (file.size() < 16 || std::memcmp(file.data(),
                                        "\x7F"
                                        "ELF",
                                        4) != 0)
        return Error{"not an ELF file", "", std::nullopt};
    bool is64 = file[4] == 2;
    if (file[4] != 1 && !is64)
        return elfError("unknown ELF class", 4);
    if (file[5] != 1 && file[5] != 2)
        return elfError("unknown ELF byte order", 5);
    ElfView elf(file, file[5] == 2);
    uint64_t headerSize = is64 ? 64 : 52;
    if (!elf.has(0, headerSize))
        return elfError("file header runs past the end of the file");

    uint64_t tableOffset = is64 ? elf.field(0x28, 8) : elf.field(0x20, 4);
    uint64_t entrySize = elf.field(is64 ? 0x3A : 0x2E, 2);
    uint64_t count = elf.field(is64 ? 0x3C : 0x30, 2);
    uint64_t namesIndex = elf.field(is64 ? 0x3E : 0x32, 2);
    uint64_t minEntry = is64 ? 64 : 40;
    if (count == 0)
        return elfError("file has no section table");
    if (entrySize < minEntry)
        return elfError("section header size too small", is64 ? 0x3A : 0x2E);
    if (!elf.has(tableOffset, entrySize * count))
        return elfError("section table runs past the end of the file", is64 ? 0x28 : 0x20);
    if (namesIndex >= count)
        return elfError("section name table index outside the table");

    struct Section {
        uint32_t name;
        uint32_t type;
        uint64_t offset;
        uint64_t size;
    };
    auto section = [&](uint64_t i) {
        uint64_t at = tableOffset + i * entrySize;
        if (is64)
            return Section{uint32_t(elf.field(at, 4)), uint32_t(elf.field(at + 4, 4)),
                           elf.field(at + 0x18, 8), elf.field(at + 0x20, 8)};
        return Section{uint32_t(elf.field(at, 4)), uint32_t(elf.field(at + 4, 4)),
                       elf.field(at + 0x10, 4), elf.field(at + 0x14, 4)};
    };
    Section names = section(namesIndex);
    if (!elf.has(names.offset, names.size))
        return elfError("section name table runs past the end of the file");
    std::string_view nameTable(reinterpret_cast<const char*>(file.data()) + names.offset,
                               names.size);
    for (uint64_t i = 0; i < count; ++i) {
        Section candidate = section(i);
        if (candidate.name >= nameTable.size())
            continue;
        std::string_view rest = nameTable.substr(candidate.name);
        if (rest.substr(0, rest.find('\0')) != name)
            continue;
        if (candidate.type == kSectionNoBits)
            return elfError("section \"" + std::string(name) + "\" has no contents in the file");
        if (!elf.has(candidate.offset, candidate.size))
            return elfError("section \"" + std::string(name) + "\" runs past the end of the file",
                            tableOffset + i * entrySize);
        auto start = file.begin() + std::ptrdiff_t(candidate.offset);
        return std::vector<uint8_t>(start, start + std::ptrdiff_t(candidate.size));
    }
    return elfError("no section \"" + std::string(name) + "\"");
}

Result<std::vector<uint8_t>> readFileBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return Error{"open: " + std::string(std::strerror(errno)), path, std::nullopt};
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    bool failed = std::ferror(file) != 0;
    int savedErrno = errno;
    std::fclose(file);
    if (failed)
        return Error{"read: " + std::string(std::strerror(savedErrno)), path, std::nullopt};
    return bytes;
}

Result<std::vector<uint8_t>> readDatabaseBytes(const std::string& path) {
    auto bytes = readFileBytes(path);
    if (!bytes)
        return bytes;
    if (bytes->size() < 4 || std::memcmp(bytes->data(),
                                         "\x7F"
                                         "ELF",
                                         4) != 0)
        return bytes;
    auto section = readElfSection(bytes.value(), kDatabaseSection);
    if (!section) {
        Error error = section.error();
        error.where = path + (error.where.empty() ? "" : ", " + error.where);
        return error;
    }
    return section;
}

}  // namespace photon::db
