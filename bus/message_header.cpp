#include "bus/message_header.h"

namespace qiro {

const char* callStatusName(CallStatus status) {
    switch (status) {
        case CallStatus::Ok:
            return "Ok";
        case CallStatus::NoService:
            return "NoService";
        case CallStatus::UnknownCode:
            return "UnknownCode";
        case CallStatus::BadRequest:
            return "BadRequest";
        case CallStatus::ReplyTooLong:
            return "ReplyTooLong";
        case CallStatus::BusError:
            return "BusError";
        case CallStatus::Timeout:
            return "Timeout";
        case CallStatus::WrongType:
            return "WrongType";
    }
    return nullptr;
}

}  // namespace qiro
