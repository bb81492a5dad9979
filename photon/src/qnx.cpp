// C library functions of the game's home system.
#include "photon/qnx.h"

#include <algorithm>

#include "clock.h"

unsigned int delay(unsigned int milliseconds) {
    photon::currentClock().sleepMs(milliseconds);
    return 0;
}

char* itoa(int value, char* buffer, int radix) {
    if (radix < 2 || radix > 36) {
        buffer[0] = '\0';
        return buffer;
    }
    // Work on the magnitude as unsigned, so that the most negative int has one too.
    bool negative = value < 0 && radix == 10;
    unsigned int magnitude =
        negative ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
    char* end = buffer;
    do {
        unsigned int digit = magnitude % radix;
        *end++ = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        magnitude /= radix;
    } while (magnitude != 0);
    if (negative) {
        *end++ = '-';
    }
    *end = '\0';
    std::reverse(buffer, end);
    return buffer;
}
