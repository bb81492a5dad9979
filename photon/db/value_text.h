// The one-line values of the module text, in the one form the writer produces: no sign on
// unsigned fields, no leading zeros, no "-0", lower-case hex. Accepting only that form keeps
// reading and writing exact inverses of each other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "photon/db/widget_db.h"

namespace photon::db {

// An unsigned decimal that fits `max`.
std::optional<uint64_t> parseUnsigned(std::string_view text, uint64_t max);
// A decimal with an optional '-' in [min, max].
std::optional<int64_t> parseSigned(std::string_view text, int64_t min, int64_t max);
// Two fields separated by one comma, e.g. "600,470".
std::optional<std::pair<std::string_view, std::string_view>> splitPair(std::string_view text);
// "0x" and lower-case hex digits without leading zeros, at most 32 bits.
std::optional<uint32_t> parseShortHex(std::string_view text);

// A value of type dim, pos, crgb, short, flag or data written as its stored line; nullopt when
// the line is malformed or the type is of another kind.
std::optional<Value> parseValueLine(ValueType type, std::string_view line);

// "YYYY-MM-DD HH:MM:SS UTC" for a Unix time.
std::string utcTimeText(uint32_t seconds);

}  // namespace photon::db
