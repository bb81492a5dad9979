// Framed messages on a non-blocking Unix stream socket, shared by both ends of a conversation.
//
// A frame is a FrameHeader followed by `length` payload bytes. Reading is incremental, so a
// frame that arrives in pieces never blocks the thread, and every length a peer announces is
// checked against a ceiling before any memory is reserved for it. Writing goes straight to the
// socket as far as it takes the bytes; the rest waits in an outbox that the thread's poll loop
// flushes when the socket becomes writable. A frame whose bytes are only borrowed (the caller's
// data item) is copied into the outbox only when its transaction gives up waiting for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace qiro::platform {

enum class FrameKind : uint32_t {
    ConnectRequest = 1,   // payload: service name, NUL, topic name, NUL
    ConnectReply = 2,     // arg: 1 accepted, 0 refused
    Poke = 3,             // arg: format; payload: PokePrefix, item name, data bytes
    PokeReply = 4,        // arg: the callback's answer; payload: the data as the callback left it
    SharedPoke = 5,       // arg: format; payload: SharedPokePrefix, item name
    SharedPokeReply = 6,  // arg: the callback's answer; the data is in the shared buffer
};

struct FrameHeader {
    uint32_t kind;
    uint32_t serial;  // the transaction number that an answer repeats
    uint32_t arg;
    uint32_t length;  // payload bytes that follow
};

struct PokePrefix {
    uint32_t itemLength;
};

struct SharedPokePrefix {
    uint32_t itemLength;
    uint32_t bufferId;       // the client's pool buffer that holds the data
    uint32_t dataLength;     // bytes of the item, from the start of the buffer
    uint32_t hasDescriptor;  // 1 when this frame carries the buffer's descriptor
};

// No frame is ever larger than the largest data item plus its prefix and item name.
constexpr uint32_t kMaxNameLength = 255;
constexpr uint32_t kMaxFramePayload = 256u * 1024 * 1024 + sizeof(SharedPokePrefix) + 2 * 256;

enum class ReadResult {
    Frame,   // a whole frame is ready: header(), takePayload()
    Again,   // nothing more to read now
    Closed,  // the peer closed or reset the connection
    Broken,  // the peer broke the framing (a size beyond the ceiling) or memory ran out
};

class FrameReader {
  public:
    FrameReader() = default;
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;
    ~FrameReader();

    // Reads up to the end of the next frame. Small frames are taken from a staging buffer, so
    // that one receive brings a header and its payload (and maybe the frames after it); a large
    // payload is received straight into its own block. With `receive` false only bytes already
    // staged are used, so that the caller can drain them without a system call that would only
    // say "again". Once this gives Again, nothing complete is left in the stage.
    ReadResult read(int fd, bool receive = true);
    const FrameHeader& header() const { return header_; }
    // The payload of the finished frame (malloc'd, owned by the caller) and the reader restarts.
    uint8_t* takePayload();
    // The oldest descriptor passed on the socket (SCM_RIGHTS) and not taken yet, or -1. A
    // descriptor arrives no later than the first byte of the frame it was sent with, and frames
    // say themselves whether they carry one, so taking them in order pairs them exactly.
    int takeDescriptor();
    // Closes the descriptors not taken.
    void dropDescriptors();

  private:
    static constexpr size_t kStageSize = 4096;
    static constexpr int kMaxPendingDescriptors = 8;

    enum class Fill { Done, Again, Closed, Broken };
    // Receives into `into`, collecting passed descriptors.
    Fill receiveInto(int fd, uint8_t* into, size_t room, size_t* got);
    // Moves staged bytes to `to`, up to `count`; returns how many moved.
    size_t takeStaged(uint8_t* to, size_t count);
    bool startPayload();
    void reset();

    FrameHeader header_{};
    size_t headerFilled_ = 0;
    uint8_t* payload_ = nullptr;
    size_t payloadFilled_ = 0;
    uint8_t stage_[kStageSize];
    size_t stageStart_ = 0;
    size_t stageEnd_ = 0;
    int descriptors_[kMaxPendingDescriptors];
    int descriptorCount_ = 0;
};

class Outbox {
  public:
    Outbox() = default;
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;
    ~Outbox();

    // Sends a frame: header, then up to two payload parts. What the socket does not take now is
    // queued. `payloadOwned`, when not null, is a malloc'd block that the outbox takes over and
    // frees once the whole frame is sent (or at once on failure); the parts may lie in it.
    // Otherwise the parts are borrowed and must stay valid until the frame is gone or detach()
    // copies them. A copy of `descriptor`, when not -1, travels with the first byte of the frame.
    // Returns false when the connection failed or memory ran out.
    bool send(int fd, const FrameHeader& header, const void* part1, size_t length1,
              const void* part2, size_t length2, uint8_t* payloadOwned, int descriptor);
    // Writes what the socket takes. False on a failed connection.
    bool flush(int fd);
    bool empty() const { return chunks_.empty(); }
    // Copies borrowed bytes still queued, so their owner may go away. False when memory ran out,
    // in which case the connection can no longer be used (the frame is cut).
    bool detach();

  private:
    struct Chunk {
        const uint8_t* data;
        size_t length;
        uint8_t* owned;  // malloc'd block to free when sent, or null for borrowed bytes
        int descriptor;  // still to be passed with this chunk's first byte, or -1
    };
    bool queue(const FrameHeader& header, const void* part1, size_t length1, const void* part2,
               size_t length2, uint8_t* payloadOwned, int descriptor);
    bool writeChunks(int fd);

    std::deque<Chunk> chunks_;
};

// Socket helpers.
// Asks for socket buffers large enough for big frames (accepted sockets inherit the listener's).
void enlargeBuffers(int fd);
bool setNonBlocking(int fd);
// Connects a non-blocking stream socket to `path`; returns the fd or -1 with errno set.
int connectUnix(const char* path);
// A listening socket bound to `path` (replaced if a stale file is there); -1 on failure.
int listenUnix(const char* path);

}  // namespace qiro::platform
