// Little-endian fixed-width fields, as every binary field of the widget database is stored.
#pragma once

#include <cstdint>
#include <vector>

namespace photon::db {

inline uint16_t loadLe16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

inline uint32_t loadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void storeLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

inline void storeLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

inline void appendLe32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t bytes[4];
    storeLe32(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}

}  // namespace photon::db
