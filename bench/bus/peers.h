// The far sides of the bus benchmark: each runs in a process of its own, started by executing
// the benchmark program again, so that it begins without any state of the measuring process.
#pragma once

#include <sys/types.h>

#include <cstdint>

namespace qiro::bench {

// Request code of the echo service.
constexpr uint32_t kEchoCode = 1;

// The hidden command-line modes of the benchmark program that run a far side.
constexpr const char* kBusPeerMode = "--bus-peer";
constexpr const char* kSocketPeerMode = "--socket-peer";

// Runs a far side when `argv` asks for one and returns its exit status; -1 otherwise.
//   --bus-peer SID READY_FD: serves SID with an echo service; writes one byte to READY_FD once
//     it serves, and serves until SIGTERM.
//   --socket-peer FD SIZE: echoes SIZE-byte messages on the connected socket FD until it closes.
int runPeer(int argc, char** argv);

// Reads or writes exactly `size` bytes; false when the peer closed or an error came.
bool readExactly(int fd, void* buffer, size_t size);
bool writeExactly(int fd, const void* buffer, size_t size);

}  // namespace qiro::bench
