#include "photon/db/value_text.h"

#include <ctime>
#include <limits>

namespace photon::db {

std::optional<uint64_t> parseUnsigned(std::string_view text, uint64_t max) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        uint64_t digit = uint64_t(c - '0');
        if (value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<int64_t> parseSigned(std::string_view text, int64_t min, int64_t max) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative)
        text.remove_prefix(1);
    uint64_t limit = negative ? uint64_t(-(min + 1)) + 1 : uint64_t(max);
    auto magnitude = parseUnsigned(text, limit);
    if (!magnitude || (negative && *magnitude == 0))
        return std::nullopt;
    return negative ? int64_t(-int64_t(*magnitude - 1) - 1) : int64_t(*magnitude);
}

std::optional<std::pair<std::string_view, std::string_view>> splitPair(std::string_view text) {
    std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos)
        return std::nullopt;
    return std::pair{text.substr(0, comma), text.substr(comma + 1)};
}

std::optional<uint32_t> parseShortHex(std::string_view text) {
    if (text.size() < 3 || text.size() > 10 || text.substr(0, 2) != "0x")
        return std::nullopt;
    text.remove_prefix(2);
    if (text.size() > 1 && text[0] == '0')
        return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = uint32_t(c - 'a' + 10);
        else
            return std::nullopt;
        value = value << 4 | digit;
    }
    return value;
}

std::optional<Value> parseValueLine(ValueType type, std::string_view line) {
    constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
    constexpr uint64_t kMaxU32 = std::numeric_limits<uint32_t>::max();
    switch (type) {
        case ValueType::Dim:
        case ValueType::Pos: {
            auto pair = splitPair(line);
            if (!pair)
                return std::nullopt;
            auto first = parseSigned(pair->first, kMin32, kMax32);
            auto second = parseSigned(pair->second, kMin32, kMax32);
            if (!first || !second)
                return std::nullopt;
            if (type == ValueType::Dim)
                return Dim{int32_t(*first), int32_t(*second)};
            return Pos{int32_t(*first), int32_t(*second)};
        }
        case ValueType::Crgb: {
            if (line == "0")
                return Colour{0, true};
            auto rgb = parseShortHex(line);
            if (!rgb || (*rgb > 0xFFFFFF && *rgb != kTransparentColour))
                return std::nullopt;
            return Colour{*rgb, false};
        }
        case ValueType::Short:
            if (auto value = parseSigned(line, kMin32, int64_t(kMaxU32)))
                return *value;
            return std::nullopt;
        case ValueType::Flag: {
            auto pair = splitPair(line);
            if (!pair)
                return std::nullopt;
            auto value = parseUnsigned(pair->first, kMaxU32);
            auto mask = parseUnsigned(pair->second, kMaxU32);
            if (!value || !mask)
                return std::nullopt;
            return Flags{uint32_t(*value), uint32_t(*mask)};
        }
        case ValueType::Data:
            if (auto index = parseUnsigned(line, kMaxU32))
                return uint32_t(*index);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::string utcTimeText(uint32_t seconds) {
    std::time_t time = seconds;
    std::tm parts{};
    gmtime_r(&time, &parts);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return buffer;
}

}  // namespace photon::db
