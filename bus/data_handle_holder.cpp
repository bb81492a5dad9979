#include "bus/data_handle_holder.h"

namespace qiro {

void DataHandleHolder::attach(HDDEDATA newHandle) {
    release();
    handle = newHandle;
}

int DataHandleHolder::unaccess() {
    size = 0;
    if (data == nullptr) {
        return 1;
    }
    data = nullptr;
    return DdeUnaccessData(handle);
}

void DataHandleHolder::release() {
    if (handle == nullptr) {
        return;
    }
    unaccess();
    DdeFreeDataHandle(handle);
    handle = nullptr;
}

}  // namespace qiro
