// The double-quoted strings of module sources: \" \\ \n \t and \xHH escapes, other bytes as
// they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace photon::db {

std::string quoteSourceString(std::string_view text);

// Parses a quoted string that makes up all of `text`; nullopt when it is malformed.
std::optional<std::string> unquoteSourceString(std::string_view text);

}  // namespace photon::db
