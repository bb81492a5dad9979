#include "tcp_to_bus/connection_buffer.h"

#include <algorithm>
#include <new>

namespace qiro {

ConnectionBuffer::~ConnectionBuffer() {
    delete[] data_;
}

void ConnectionBuffer::prepareFor(uint32_t requestLength, uint32_t capacity) {
    const uint32_t need = std::max(requestLength, capacity);
    if (need <= size_ && need >= size_ >> 1)
        return;
    replace(need);
    if (size_ == 0 && requestLength != 0 && requestLength < capacity)
        replace(requestLength);
}

void ConnectionBuffer::trimToLimit(uint32_t limit) {
    if (limit != 0 && size_ > limit && limit < size_ >> 1)
        replace(limit);
}

void ConnectionBuffer::replace(uint32_t bytes) {
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
    if (bytes == 0 || bytes > ceiling_)
        return;
    data_ = new (std::nothrow) uint8_t[bytes];
    if (data_ != nullptr)
        size_ = bytes;
}

}  // namespace qiro
