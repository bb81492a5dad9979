// The module directory at the start of a database: the module count and one 64-byte entry per
// module. Shared by the reader and the writer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace photon::db {

inline constexpr std::size_t kCountSize = 4;
inline constexpr std::size_t kEntrySize = 64;
inline constexpr std::size_t kNameField = 52;  // NUL-terminated, NUL-filled
inline constexpr std::size_t kEntryOffsetField = 52;
inline constexpr std::size_t kEntrySizeField = 56;
inline constexpr std::size_t kEntryTimeField = 60;
// The two bytes after every module text, which its size does not count.
inline constexpr char kTextEnd[] = "0\n";
inline constexpr std::size_t kTextEndSize = 2;
// Every module text begins at a multiple of this.
inline constexpr std::size_t kTextAlignment = 4;

inline constexpr std::size_t alignText(std::size_t offset) {
    return (offset + kTextAlignment - 1) / kTextAlignment * kTextAlignment;
}

}  // namespace photon::db
