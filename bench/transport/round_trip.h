// Round-trip measurements between two processes: a raw Unix-socket ping-pong and a poke through
// the DDE transport, each with the same payload and the same edit on the serving side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qiro::bench {

struct Placement {
    bool pinned;  // both processes on CPU 0, else free to move
};

// Nanoseconds of each measured round trip (after a warm-up).
std::vector<uint64_t> rawSocketRoundTrips(size_t bytes, int iterations, Placement placement);
// The bus's way of making one call: create the item, add the data, poke, read it all back, free.
// `sharedMemory` false keeps large items on the heap, so that they travel in the frames.
std::vector<uint64_t> transportRoundTrips(size_t bytes, int iterations, Placement placement,
                                          bool sharedMemory);

}  // namespace qiro::bench
