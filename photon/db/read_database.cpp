// Reading a whole database: the directory, then each module text at the place its entry gives.
#include <algorithm>

#include "photon/db/byte_order.h"
#include "photon/db/directory.h"
#include "photon/db/widget_db.h"

namespace photon::db {
namespace {

struct Entry {
    std::string name;
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t timeStamp = 0;
};

Error entryError(std::size_t i, std::string what, std::size_t at) {
    return Error{std::move(what), "directory entry " + std::to_string(i + 1), at};
}

Result<Entry> readEntry(std::span<const uint8_t> bytes, std::size_t i) {
    std::size_t at = kCountSize + i * kEntrySize;
    const uint8_t* raw = bytes.data() + at;
    const uint8_t* nul = std::find(raw, raw + kNameField, uint8_t(0));
    if (nul == raw + kNameField)
        return entryError(i, "module name is not NUL-terminated within 52 bytes", at);
    if (nul == raw)
        return entryError(i, "empty module name", at);
    if (std::any_of(nul, raw + kNameField, [](uint8_t b) { return b != 0; }))
        return entryError(i, "bytes after the module name's NUL are not 0", at);
    if (std::any_of(raw, nul, [](uint8_t b) { return b < 0x20 || b == 0x7F; }))
        return entryError(i, "module name holds a control character", at);
    Entry entry;
    entry.name.assign(reinterpret_cast<const char*>(raw), std::size_t(nul - raw));
    entry.offset = loadLe32(raw + kEntryOffsetField);
    entry.size = loadLe32(raw + kEntrySizeField);
    entry.timeStamp = loadLe32(raw + kEntryTimeField);
    return entry;
}

// Checks where an entry's text lies: after the directory and the previous text, at the first
// multiple of 4 after it with only zero bytes between, inside the section, followed by "0\n".
std::optional<Error> checkPlace(std::span<const uint8_t> bytes, std::size_t i, const Entry& entry,
                                std::size_t previousEnd) {
    std::size_t at = kCountSize + i * kEntrySize;
    std::string quoted = "module \"" + entry.name + "\"";
    std::size_t expected = alignText(previousEnd);
    if (entry.offset != expected)
        return entryError(i,
                          quoted + " text at offset " + std::to_string(entry.offset) +
                              ", expected " + std::to_string(expected),
                          at + kEntryOffsetField);
    uint64_t end = uint64_t(entry.offset) + entry.size + kTextEndSize;
    if (end > bytes.size())
        return entryError(i,
                          quoted + " text of " + std::to_string(entry.size) + " bytes at offset " +
                              std::to_string(entry.offset) + " runs past the end of the section (" +
                              std::to_string(bytes.size()) + " bytes)",
                          at + kEntrySizeField);
    if (std::any_of(bytes.begin() + previousEnd, bytes.begin() + entry.offset,
                    [](uint8_t b) { return b != 0; }))
        return Error{"filler before the text is not zero", quoted, previousEnd};
    std::size_t after = entry.offset + entry.size;
    if (bytes[after] != kTextEnd[0] || bytes[after + 1] != kTextEnd[1])
        return Error{"text is not followed by \"0\" and a line feed", quoted, after};
    return std::nullopt;
}

}  // namespace

Result<Database> readDatabase(std::span<const uint8_t> bytes) {
    if (bytes.size() < kCountSize)
        return Error{"database of " + std::to_string(bytes.size()) +
                         " bytes is too short for the module count",
                     "directory", 0};
    uint32_t count = loadLe32(bytes.data());
    if (count > (bytes.size() - kCountSize) / kEntrySize)
        return Error{"directory of " + std::to_string(count) +
                         " entries runs past the end of the section (" +
                         std::to_string(bytes.size()) + " bytes)",
                     "directory", 0};
    std::vector<Entry> entries;
    std::size_t previousEnd = kCountSize + std::size_t(count) * kEntrySize;
    for (std::size_t i = 0; i < count; ++i) {
        auto entry = readEntry(bytes, i);
        if (!entry)
            return entry.error();
        if (!entries.empty() && entries.back().name >= entry->name)
            return entryError(i,
                              "module \"" + entry->name + "\" is not in name order after \"" +
                                  entries.back().name + "\"",
                              kCountSize + i * kEntrySize);
        if (auto failure = checkPlace(bytes, i, *entry, previousEnd))
            return *failure;
        previousEnd = entry->offset + entry->size + kTextEndSize;
        entries.push_back(std::move(entry.value()));
    }
    if (previousEnd != bytes.size())
        return Error{
            std::to_string(bytes.size() - previousEnd) + " stray bytes after the last module text",
            "end of the section", previousEnd};

    Database database;
    for (const Entry& entry : entries) {
        auto module =
            readModuleText(bytes.subspan(entry.offset, entry.size), entry.name, entry.offset);
        if (!module)
            return module.error();
        module->offset = entry.offset;
        module->timeStamp = entry.timeStamp;
        database.modules.push_back(std::move(module.value()));
    }
    return database;
}

}  // namespace photon::db
