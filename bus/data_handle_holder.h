// The owner of one DDE data handle for the length of a bus call; frees it on every way out.
#pragma once

#include <cstdint>

#include "platform/ddeml.h"

namespace qiro {

class DataHandleHolder {
  public:
    DataHandleHolder() = default;
    DataHandleHolder(const DataHandleHolder&) = delete;
    DataHandleHolder& operator=(const DataHandleHolder&) = delete;
    ~DataHandleHolder() { release(); }

    // Frees the handle held (ending any access first) and holds `newHandle` instead.
    void attach(HDDEDATA newHandle);
    // Ends the access, if any. Returns 1, or the result of DdeUnaccessData.
    int unaccess();
    // Ends any access and frees the handle held; the holder is empty afterwards.
    void release();

    HDDEDATA handle = nullptr;
    uint8_t* data = nullptr;
    uint32_t size = 0;
};

}  // namespace qiro
