// The conversion of the gateways' numeric arguments.
#pragma once

#include <cstdint>

namespace qiro {

// Reads a decimal number as atoi and atol do (leading white space skipped, an optional sign,
// digits up to the first other character; text without leading digits gives 0) and gives it as
// an unsigned 32-bit value: "-1" is 4294967295, "12x" is 12, "x12" is 0. Values beyond 32 bits
// wrap around modulo 2^32 (so "4294967296" is 0) rather than overflow.
uint32_t parseCommandLineNumber(const char* text);

}  // namespace qiro
