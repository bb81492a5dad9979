// The caller's side of a bus call: one DDE poke whose data item holds the request header, the
// request and room for the reply, rewritten in place by the serving instance.
#include <algorithm>

#include "bus/bus_instance.h"
#include "bus/data_handle_holder.h"

namespace qiro {

namespace {

// A conversation that breaks is reopened within the same call, but not forever: a service that
// keeps dying as soon as it is reached ends the call with NoService.
constexpr int kMaxTransactionAttempts = 3;

// The largest request or capacity whose data item size still fits the 32-bit length fields.
constexpr uint64_t kMaxBodyLength = UINT32_MAX - kHeaderSize;

uint64_t totalLength(const BufferPiece* pieces, uint32_t count) {
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        total += pieces[i].length;
    }
    return total;
}

}  // namespace

CallStatus BusInstance::call(uint32_t sid, uint32_t* type, uint32_t code,
                             BufferPiece* requestPieces, uint32_t requestCount,
                             BufferPiece* replyPieces, uint32_t replyCount, uint32_t timeout) {
    Endpoint* endpoint = findEndpoint(sid);
    if (endpoint == nullptr) {
        endpoint = openEndpoint(sid, false);
    }
    if (endpoint == nullptr) {
        return CallStatus::BusError;
    }
    uint64_t requestLength = totalLength(requestPieces, requestCount);
    uint64_t capacity = totalLength(replyPieces, replyCount);
    // Lengths that do not fit the header could never be carried whole.
    if (requestLength > kMaxBodyLength) {
        return CallStatus::BadRequest;
    }
    if (capacity > kMaxBodyLength) {
        return CallStatus::ReplyTooLong;
    }
    header = MessageHeader{
        kRequestMagic,     sid, type != nullptr ? *type : 0, code, uint32_t(requestLength),
        uint32_t(capacity)};

    DataHandleHolder holder;
    holder.attach(DdeCreateDataHandle(ddeInstance, reinterpret_cast<const BYTE*>(&header),
                                      kHeaderSize, 0, endpoint->nameHandle, dataFormat,
                                      HDATA_APPOWNED));
    if (holder.handle == nullptr) {
        return CallStatus::BusError;
    }
    CallStatus status = fillDataItem(holder, requestPieces, requestCount, replyPieces, replyCount);
    if (status == CallStatus::Ok) {
        status = transact(endpoint, holder.handle, timeout);
    }
    if (status == CallStatus::Ok) {
        status =
            takeReply(holder.handle, endpoint, uint32_t(capacity), type, replyPieces, replyCount);
    }
    return status;
}

// The request behind the header, then filler up to the capacity taken from the reply pieces,
// whose bytes the serving side overwrites with the reply or ignores.
CallStatus BusInstance::fillDataItem(DataHandleHolder& holder, const BufferPiece* requestPieces,
                                     uint32_t requestCount, const BufferPiece* replyPieces,
                                     uint32_t replyCount) {
    uint32_t offset = kHeaderSize;
    for (uint32_t i = 0; i < requestCount; ++i) {
        const BufferPiece& piece = requestPieces[i];
        HDDEDATA grown = DdeAddData(holder.handle, piece.data, piece.length, offset);
        if (grown != nullptr) {
            holder.handle = grown;
        } else if (piece.length > 0) {
            return CallStatus::BadRequest;
        }
        offset += piece.length;
    }
    uint32_t requestLength = header.lengthOrStatus;
    uint32_t capacity = header.capacityOrLength;
    uint32_t remaining = capacity > requestLength ? capacity - requestLength : 0;
    for (uint32_t i = 0; i < replyCount && remaining > 0; ++i) {
        uint32_t n = std::min(remaining, replyPieces[i].length);
        HDDEDATA grown = DdeAddData(holder.handle, replyPieces[i].data, n, offset);
        if (grown != nullptr) {
            holder.handle = grown;
        } else if (n > 0) {
            return CallStatus::ReplyTooLong;
        }
        remaining -= n;
        offset += n;
    }
    return CallStatus::Ok;
}

// Ok once the serving side acknowledged the poke. A broken cached conversation is reopened and
// the poke sent again, up to kMaxTransactionAttempts times.
CallStatus BusInstance::transact(Endpoint* endpoint, HDDEDATA data, uint32_t timeout) {
    DWORD limit = timeout != 0 ? timeout : kDefaultCallTimeoutMs;
    for (int attempt = 0; attempt < kMaxTransactionAttempts; ++attempt) {
        if (endpoint->conversation == nullptr && ddeInstance != 0) {
            endpoint->conversation =
                DdeConnect(ddeInstance, endpoint->nameHandle, endpoint->nameHandle, nullptr);
        }
        if (endpoint->conversation == nullptr) {
            break;
        }
        if (DdeClientTransaction(reinterpret_cast<BYTE*>(data), DDE_DATA_IS_HANDLE,
                                 endpoint->conversation, endpoint->nameHandle, dataFormat,
                                 XTYP_POKE, limit, nullptr) != nullptr) {
            return CallStatus::Ok;
        }
        switch (DdeGetLastError(ddeInstance)) {
            case DMLERR_NO_CONV_ESTABLISHED:
            case DMLERR_SERVER_DIED:
                DdeDisconnect(endpoint->conversation);
                endpoint->conversation = nullptr;
                continue;
            case DMLERR_NOTPROCESSED:
                dropEndpoint(endpoint, false);
                return CallStatus::NoService;
            case DMLERR_POKEACKTIMEOUT:
                // The conversation stays: the transport discards the late answer.
                return CallStatus::Timeout;
            default:
                return CallStatus::BusError;
        }
    }
    dropEndpoint(endpoint, false);
    return CallStatus::NoService;
}

CallStatus BusInstance::takeReply(HDDEDATA data, Endpoint* endpoint, uint32_t capacity,
                                  uint32_t* type, BufferPiece* replyPieces, uint32_t replyCount) {
    if (DdeGetData(data, reinterpret_cast<BYTE*>(&header), kHeaderSize, 0) != kHeaderSize) {
        return CallStatus::BusError;
    }
    // A record the serving side did not rewrite was never answered.
    if (header.magic != kReplyMagic) {
        header.lengthOrStatus = uint32_t(CallStatus::NoService);
    }
    auto status = CallStatus(header.lengthOrStatus);
    switch (status) {
        case CallStatus::Ok:
            if (header.capacityOrLength > capacity) {
                return CallStatus::ReplyTooLong;
            }
            return scatterReply(data, replyPieces, replyCount);
        case CallStatus::NoService:
            // The next call to the sid connects afresh.
            dropEndpoint(endpoint, false);
            break;
        case CallStatus::WrongType:
            if (type != nullptr) {
                *type = header.type;
            }
            break;
        default:
            break;
    }
    return status;
}

// Spreads the reply over the pieces in order. The pieces' lengths are set only once the whole
// reply was read, so that a failed read-back leaves them as the caller passed them.
CallStatus BusInstance::scatterReply(HDDEDATA data, BufferPiece* replyPieces, uint32_t replyCount) {
    uint32_t remaining = header.capacityOrLength;
    uint32_t offset = kHeaderSize;
    for (uint32_t i = 0; i < replyCount && remaining > 0; ++i) {
        uint32_t n = std::min(remaining, replyPieces[i].length);
        if (DdeGetData(data, replyPieces[i].data, n, offset) != n) {
            return CallStatus::BusError;
        }
        offset += n;
        remaining -= n;
    }
    remaining = header.capacityOrLength;
    for (uint32_t i = 0; i < replyCount; ++i) {
        replyPieces[i].length = std::min(remaining, replyPieces[i].length);
        remaining -= replyPieces[i].length;
    }
    return CallStatus::Ok;
}

}  // namespace qiro
