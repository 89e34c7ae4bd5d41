// byte_writer.h: appends little-endian integers and strings to a byte vector.
//
// Every multi-byte integer of a cabinet is little-endian; the writer never
// copies a struct's memory into the output, so the layout does not depend on
// the host's byte order or padding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>* out) : out_(out) {}

    void U8(uint32_t value) { out_->push_back(static_cast<uint8_t>(value)); }
    void U16(uint32_t value) {
        U8(value);
        U8(value >> 8);
    }
    void U32(uint32_t value) {
        U16(value);
        U16(value >> 16);
    }
    // The text and its terminating NUL.
    void CString(const std::string& text) {
        out_->insert(out_->end(), text.begin(), text.end());
        U8(0);
    }
    void Bytes(const uint8_t* data, size_t count) { out_->insert(out_->end(), data, data + count); }
    void Fill(uint8_t value, size_t count) { out_->insert(out_->end(), count, value); }
    size_t Size() const { return out_->size(); }

private:
    std::vector<uint8_t>* out_;
};
