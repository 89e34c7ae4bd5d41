// byte_io.h: little-endian fields in byte buffers, read with bounds checks.
//
// Every field of a stub or a package is read through LeReader, which answers
// false past the end instead of reading outside the buffer; nothing casts a
// struct over input bytes. Writes go through PutLe16/PutLe32, which refuse an
// offset past the end, and AppendLe16/AppendLe32, which grow the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class LeReader {
public:
    LeReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit LeReader(const std::vector<uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}

    size_t Size() const { return size_; }

    // True when count bytes from offset lie inside the buffer (no overflow).
    bool Has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }

    // Each reads one field at offset; false (and *value untouched) past the end.
    bool U8(size_t offset, uint8_t* value) const {
        if (!Has(offset, 1)) return false;
        *value = data_[offset];
        return true;
    }
    bool U16(size_t offset, uint16_t* value) const {
        if (!Has(offset, 2)) return false;
        *value = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
        return true;
    }
    bool U32(size_t offset, uint32_t* value) const {
        if (!Has(offset, 4)) return false;
        *value = static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
                 (static_cast<uint32_t>(data_[offset + 2]) << 16) | (static_cast<uint32_t>(data_[offset + 3]) << 24);
        return true;
    }
    // Pointer to count bytes at offset, or null past the end.
    const uint8_t* Bytes(size_t offset, size_t count) const { return Has(offset, count) ? data_ + offset : nullptr; }

private:
    const uint8_t* data_;
    size_t size_;
};

// Overwrite a field inside the buffer; false when it does not fit.
inline bool PutLe16(std::vector<uint8_t>* bytes, size_t offset, uint16_t value) {
    if (offset > bytes->size() || bytes->size() - offset < 2) return false;
    (*bytes)[offset] = static_cast<uint8_t>(value);
    (*bytes)[offset + 1] = static_cast<uint8_t>(value >> 8);
    return true;
}
inline bool PutLe32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
    if (offset > bytes->size() || bytes->size() - offset < 4) return false;
    for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    return true;
}

inline void AppendLe16(std::vector<uint8_t>* bytes, uint16_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}
inline void AppendLe32(std::vector<uint8_t>* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Rounds value up to a multiple of alignment (a power of two, or any value
// above 0: the PE alignments are powers of two but nothing here relies on it).
inline uint64_t AlignUp(uint64_t value, uint64_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}
