#include "tools/qiro/command_line.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qiro::tool {

std::optional<uint32_t> parseNumber(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
    }
    // strtoul would accept blanks, a sign and a second 0x prefix; only digits may come.
    if (*digits == 0) {
        return std::nullopt;
    }
    for (const char* p = digits; *p != 0; ++p) {
        bool digit = base == 16 ? std::isxdigit(static_cast<unsigned char>(*p)) != 0
                                : (*p >= '0' && *p <= '9');
        if (!digit) {
            return std::nullopt;
        }
    }
    errno = 0;
    unsigned long long value = std::strtoull(digits, nullptr, base);
    if (errno != 0 || value > UINT32_MAX) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

Arguments::Arguments(int argc, char** argv) : words(argv, argv + argc) {}

const char* Arguments::takeText(const char* name) {
    auto found = std::find(words.begin(), words.end(), name);
    if (found == words.end()) {
        return nullptr;
    }
    if (found + 1 == words.end()) {
        valid = false;
        words.erase(found);
        return nullptr;
    }
    taken.push_back(*(found + 1));
    words.erase(found, found + 2);
    return taken.back().c_str();
}

uint32_t Arguments::takeNumber(const char* name, uint32_t fallback, uint32_t minimum) {
    bool present = std::find(words.begin(), words.end(), name) != words.end();
    const char* text = takeText(name);
    if (!present) {
        return fallback;
    }
    std::optional<uint32_t> value = parseNumber(text);
    if (!value || *value < minimum) {
        valid = false;
        return fallback;
    }
    return *value;
}

bool Arguments::takeFlag(const char* name) {
    auto found = std::find(words.begin(), words.end(), name);
    if (found == words.end()) {
        return false;
    }
    words.erase(found);
    return true;
}

const char* Arguments::takePositional() {
    auto found = std::find_if(words.begin(), words.end(), [](const std::string& word) {
        return word == "-" || word.empty() || word[0] != '-';
    });
    if (found == words.end()) {
        return nullptr;
    }
    taken.push_back(*found);
    words.erase(found);
    return taken.back().c_str();
}

}  // namespace qiro::tool
