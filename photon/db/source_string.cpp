#include "photon/db/source_string.h"

#include <cstdio>

namespace photon::db {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string quoteSourceString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", byte);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::optional<std::string> unquoteSourceString(std::string_view text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        return std::nullopt;
    text = text.substr(1, text.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"')
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
            case '"':
            case '\\':
                out += text[i];
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                if (i + 2 >= text.size())
                    return std::nullopt;
                int high = hexDigit(text[i + 1]);
                int low = hexDigit(text[i + 2]);
                if (high < 0 || low < 0)
                    return std::nullopt;
                out += char(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace photon::db
