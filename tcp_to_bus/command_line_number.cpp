#include "tcp_to_bus/command_line_number.h"

#include <cctype>

namespace qiro {

uint32_t parseCommandLineNumber(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    uint32_t value = 0;
    while (std::isdigit(static_cast<unsigned char>(*text)))
        value = value * 10 + uint32_t(*text++ - '0');
    return negative ? 0u - value : value;
}

}  // namespace qiro
