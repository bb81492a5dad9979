// The raw round trips a gateway call is measured against: one process sends a message over a
// socket, another sends it back, with nothing in between.
#pragma once

#include <cstddef>
#include <vector>

namespace qiro::bench {

enum class RawSocket { TcpLoopback, UnixStream };

// Round trips of `size` bytes each way between this process and a forked echo process, in
// microseconds, `count` of them after a warm-up.
std::vector<double> rawRoundTrips(RawSocket kind, size_t size, int count);

}  // namespace qiro::bench
