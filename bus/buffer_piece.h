// One caller buffer of a bus call. A call gathers its request from an array of pieces and
// scatters its reply over another.
#pragma once

#include <cstdint>

namespace qiro {

struct BufferPiece {
    uint8_t* data;
    // Request piece: bytes to send. Reply piece: room on entry; after a call with status Ok, the
    // bytes it received.
    uint32_t length;
};

}  // namespace qiro
