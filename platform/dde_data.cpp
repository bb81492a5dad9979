// String handles and data items.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "platform/dde_objects.h"
#include "platform/shared_pool.h"

namespace qiro::platform {

namespace {

// The smallest heap block of an item, so that a few small additions do not each reallocate.
constexpr size_t kHeapMinimumCapacity = 64;

bool fitsCeiling(uint64_t end) {
    return end <= DDE_MAX_DATA_SIZE;
}

// Makes room for `needed` bytes, keeping the content. Grows geometrically so that a run of
// DdeAddData calls costs a few copies at most.
bool reserve(HDDEDATA__& item, size_t needed) {
    if (needed <= item.capacity) {
        return true;
    }
    size_t capacity = item.capacity < kHeapMinimumCapacity ? kHeapMinimumCapacity : item.capacity;
    while (capacity < needed) {
        capacity = capacity > DDE_MAX_DATA_SIZE / 2 ? needed : capacity * 2;
    }
    if (capacity >= kSharedMinimumSize && item.storage != HDDEDATA__::Storage::Borrowed &&
        sharedMemoryEnabled()) {
        if (SharedBuffer* buffer = SharedPool::instance().take(capacity)) {
            copyBytes(buffer->address(), item.bytes, item.size);
            if (item.storage == HDDEDATA__::Storage::Shared) {
                SharedPool::instance().give(item.shared);
            } else {
                std::free(item.bytes);
            }
            item.storage = HDDEDATA__::Storage::Shared;
            item.shared = buffer;
            item.bytes = buffer->address();
            item.capacity = buffer->capacity();
            return true;
        }
        // No shared memory to be had: the heap serves as well, only slower.
    }
    if (item.storage != HDDEDATA__::Storage::Heap) {
        return false;
    }
    auto* bytes = static_cast<uint8_t*>(std::realloc(item.bytes, capacity));
    if (bytes == nullptr) {
        return false;
    }
    item.bytes = bytes;
    item.capacity = capacity;
    return true;
}

}  // namespace

HDDEDATA__* dataItem(HDDEDATA data) {
    if (data == nullptr || data->magic != kDataMagic) {
        return nullptr;
    }
    return data;
}

HDDEDATA__* makeBorrowedItem(uint8_t* bytes, DWORD size, UINT format) {
    auto* item = new (std::nothrow) HDDEDATA__{
        kDataMagic, HDDEDATA__::Storage::Borrowed, bytes, size, size, nullptr, format, true, 0};
    return item;
}

void freeItem(HDDEDATA__* item) {
    if (item->storage == HDDEDATA__::Storage::Heap) {
        std::free(item->bytes);
    } else if (item->storage == HDDEDATA__::Storage::Shared) {
        SharedPool::instance().give(item->shared);
    }
    item->magic = 0;
    delete item;
}

void setError(Instance& instance, UINT error) {
    instance.lastError = error;
}

}  // namespace qiro::platform

using namespace qiro::platform;

HSZ DdeCreateStringHandleA(DWORD instanceId, const char* text, int) {
    Instance* instance = findInstance(instanceId);
    if (instance == nullptr) {
        return nullptr;
    }
    if (text == nullptr || std::strlen(text) > kMaxNameLength) {
        setError(*instance, DMLERR_INVALIDPARAMETER);
        return nullptr;
    }
    try {
        auto handle = std::make_unique<HSZ__>(HSZ__{instanceId, text});
        instance->strings.push_back(handle.get());
        return handle.release();
    } catch (...) {
        setError(*instance, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
}

BOOL DdeFreeStringHandle(DWORD instanceId, HSZ string) {
    // The instance is looked up first: once it has ended, its handles are gone already.
    Instance* instance = findInstance(instanceId);
    if (instance == nullptr || string == nullptr) {
        return FALSE;
    }
    auto& strings = instance->strings;
    auto found = std::find(strings.begin(), strings.end(), string);
    if (found == strings.end()) {
        return FALSE;
    }
    strings.erase(found);
    delete string;
    return TRUE;
}

HDDEDATA DdeCreateDataHandle(DWORD instanceId, const BYTE* source, DWORD size, DWORD offset, HSZ,
                             UINT format, UINT) {
    Instance* instance = findInstance(instanceId);
    if (instance == nullptr) {
        return nullptr;
    }
    if (!fitsCeiling(size)) {
        setError(*instance, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
    auto* item = new (std::nothrow)
        HDDEDATA__{kDataMagic, HDDEDATA__::Storage::Heap, nullptr, 0, 0, nullptr, format, false, 0};
    if (item == nullptr || !reserve(*item, size)) {
        if (item != nullptr) {
            freeItem(item);
        }
        setError(*instance, DMLERR_MEMORY_ERROR);
        return nullptr;
    }
    // As on the platform, `offset` is where the bytes start in `source`; without a source the
    // item is `size` zero bytes.
    if (source != nullptr) {
        copyBytes(item->bytes, source + offset, size);
    } else if (size > 0) {
        std::memset(item->bytes, 0, size);
    }
    item->size = size;
    return item;
}

HDDEDATA DdeAddData(HDDEDATA data, const BYTE* source, DWORD size, DWORD offset) {
    HDDEDATA__* item = dataItem(data);
    uint64_t end = static_cast<uint64_t>(offset) + size;
    if (item == nullptr || item->transportOwned || !fitsCeiling(end) ||
        (source == nullptr && size > 0)) {
        return nullptr;
    }
    if (!reserve(*item, static_cast<size_t>(end))) {
        return nullptr;
    }
    if (offset > item->size) {
        std::memset(item->bytes + item->size, 0, offset - item->size);
    }
    if (size > 0) {
        copyBytes(item->bytes + offset, source, size);
    }
    if (end > item->size) {
        item->size = static_cast<DWORD>(end);
    }
    return item;
}

DWORD DdeGetData(HDDEDATA data, BYTE* destination, DWORD size, DWORD offset) {
    HDDEDATA__* item = dataItem(data);
    if (item == nullptr || offset >= item->size) {
        return 0;
    }
    DWORD available = item->size - offset;
    if (destination == nullptr) {
        return available;
    }
    DWORD count = size < available ? size : available;
    copyBytes(destination, item->bytes + offset, count);
    return count;
}

BYTE* DdeAccessData(HDDEDATA data, DWORD* size) {
    HDDEDATA__* item = dataItem(data);
    if (item == nullptr) {
        return nullptr;
    }
    ++item->accessCount;
    if (size != nullptr) {
        *size = item->size;
    }
    // An empty item still gives a valid pointer, as the access itself succeeded.
    static BYTE empty;
    return item->bytes != nullptr ? item->bytes : &empty;
}

BOOL DdeUnaccessData(HDDEDATA data) {
    HDDEDATA__* item = dataItem(data);
    if (item == nullptr || item->accessCount == 0) {
        return FALSE;
    }
    --item->accessCount;
    return TRUE;
}

BOOL DdeFreeDataHandle(HDDEDATA data) {
    HDDEDATA__* item = dataItem(data);
    if (item == nullptr || item->transportOwned) {
        return FALSE;
    }
    freeItem(item);
    return TRUE;
}

namespace qiro::platform {

bool replaceSharedStorage(HDDEDATA__& item, const uint8_t* content) {
    SharedBuffer* buffer = SharedPool::instance().take(item.capacity);
    if (buffer != nullptr) {
        item.shared = buffer;
        item.bytes = buffer->address();
        item.capacity = buffer->capacity();
    } else {
        auto* bytes = static_cast<uint8_t*>(std::malloc(item.size > 0 ? item.size : 1));
        if (bytes == nullptr) {
            return false;
        }
        item.storage = HDDEDATA__::Storage::Heap;
        item.shared = nullptr;
        item.bytes = bytes;
        item.capacity = item.size;
    }
    copyBytes(item.bytes, content, item.size);
    return true;
}

}  // namespace qiro::platform
