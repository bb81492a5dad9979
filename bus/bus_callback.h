// The serving side of a bus call: the DDE callback of every BusInstance and the in-place answer
// to one request record.
#pragma once

#include <cstdint>

#include "platform/ddeml.h"

namespace qiro {

// Rewrites the request record `record` of `size` bytes into its reply, answered by the service
// of the calling thread's instance. Returns 0 and leaves the record untouched when it is not a
// request (shorter than a header, or without the request magic); 1 once answered.
int answerRequest(uint8_t* record, uint32_t size);

// The callback that every BusInstance gives DdeInitializeA. Accepts every connection (only the
// instance's registered names reach it), answers pokes that hold a request with DDE_FACK and
// refuses everything else with 0.
HDDEDATA busCallback(UINT type, UINT format, HCONV conversation, HSZ string1, HSZ string2,
                     HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

}  // namespace qiro
