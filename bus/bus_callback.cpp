// The serving side of a bus call. The poke's data item is rewritten in place into the reply,
// which is what the caller reads back from its own handle after the transaction.
#include "bus/bus_callback.h"

#include <cstring>

#include "bus/bus_instance.h"
#include "bus/instance_registry.h"
#include "bus/message_header.h"

namespace qiro {

namespace {

// The status of one request whose magic has been checked, deciding in this order: no instance,
// no service, wrong type, request longer than the data, the service's own answer, reply longer
// than the room. Fills the reply fields of `header` except status and reply length on failure.
CallStatus serve(MessageHeader& header, uint8_t* body, uint32_t room) {
    BusInstance* instance = instanceRegistry().findForCurrentThread();
    if (instance == nullptr) {
        return CallStatus::BusError;
    }
    Service* service = instance->findService(header.sid);
    if (service == nullptr) {
        return CallStatus::NoService;
    }
    uint32_t type = service->getType();
    if (type != header.type) {
        header.type = type;
        return CallStatus::WrongType;
    }
    if (header.lengthOrStatus > room) {
        return CallStatus::BadRequest;
    }
    if (header.capacityOrLength > room) {
        header.capacityOrLength = room;
    }
    CallStatus status = service->handleRequest(header.code, body, header.lengthOrStatus, body,
                                               &header.capacityOrLength);
    if (status == CallStatus::Ok && header.capacityOrLength > room) {
        return CallStatus::ReplyTooLong;
    }
    return status;
}

HDDEDATA answer(UINT value) {
    return reinterpret_cast<HDDEDATA>(uintptr_t(value));
}

}  // namespace

// The header is worked on in a copy, as the data item need not be aligned for 32-bit fields.
int answerRequest(uint8_t* record, uint32_t size) {
    MessageHeader header;
    if (size < kHeaderSize) {
        return 0;
    }
    std::memcpy(&header, record, kHeaderSize);
    if (header.magic != kRequestMagic) {
        return 0;
    }
    header.magic = kReplyMagic;
    CallStatus status = serve(header, record + kHeaderSize, size - kHeaderSize);
    header.lengthOrStatus = uint32_t(status);
    if (status != CallStatus::Ok) {
        header.capacityOrLength = 0;
    }
    std::memcpy(record, &header, kHeaderSize);
    return 1;
}

HDDEDATA busCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    // Only names that this instance registered reach it, so every connection is accepted.
    if (type == XTYP_CONNECT) {
        return answer(TRUE);
    }
    if (type != XTYP_POKE || data == nullptr) {
        return answer(0);
    }
    DWORD size = 0;
    BYTE* bytes = DdeAccessData(data, &size);
    if (bytes == nullptr) {
        return answer(0);
    }
    int answered = answerRequest(bytes, size);
    DdeUnaccessData(data);
    return answer(answered != 0 ? DDE_FACK : DDE_FNOTPROCESSED);
}

}  // namespace qiro
