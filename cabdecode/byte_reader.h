// byte_reader.h: little-endian fields out of a byte buffer, with bounds.
//
// Every multi-byte integer in a cabinet is unsigned little-endian. The reader
// never reads past its buffer: a field that does not fit yields 0 and marks
// the reader as overrun, so a caller checks once after a group of fields.
#pragma once

#include <cstdint>

struct CabByteReader {
    const uint8_t* bytes;
    uint32_t size;
    uint32_t pos;
    bool overrun;  // set once any field did not fit
};

inline CabByteReader CabReaderOver(const uint8_t* bytes, uint32_t size) {
    CabByteReader reader = {bytes, size, 0, false};
    return reader;
}

// True when n more bytes lie inside the buffer; marks an overrun otherwise.
inline bool CabReaderHas(CabByteReader* reader, uint32_t n) {
    if (reader->pos > reader->size || reader->size - reader->pos < n) {
        reader->overrun = true;
        return false;
    }
    return true;
}

inline uint8_t CabRead8(CabByteReader* reader) {
    if (!CabReaderHas(reader, 1)) return 0;
    return reader->bytes[reader->pos++];
}

inline uint16_t CabRead16(CabByteReader* reader) {
    if (!CabReaderHas(reader, 2)) return 0;
    const uint8_t* p = reader->bytes + reader->pos;
    reader->pos += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t CabRead32(CabByteReader* reader) {
    if (!CabReaderHas(reader, 4)) return 0;
    const uint8_t* p = reader->bytes + reader->pos;
    reader->pos += 4;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Copies n bytes to out; on overrun copies nothing.
inline void CabReadBytes(CabByteReader* reader, uint8_t* out, uint32_t n) {
    if (!CabReaderHas(reader, n)) return;
    for (uint32_t i = 0; i < n; i++) out[i] = reader->bytes[reader->pos + i];
    reader->pos += n;
}

// Reads the 16-bit field at a fixed offset of a buffer of size bytes; 0 when
// it does not fit.
inline uint16_t CabField16(const uint8_t* bytes, uint32_t size, uint32_t offset) {
    CabByteReader reader = CabReaderOver(bytes, size);
    reader.pos = offset;
    return CabRead16(&reader);
}

inline uint32_t CabField32(const uint8_t* bytes, uint32_t size, uint32_t offset) {
    CabByteReader reader = CabReaderOver(bytes, size);
    reader.pos = offset;
    return CabRead32(&reader);
}

// Stores a 16-bit field at a fixed offset; returns false (and writes nothing)
// when it does not fit.
inline bool CabPutField16(uint8_t* bytes, uint32_t size, uint32_t offset, uint16_t value) {
    if (offset > size || size - offset < 2) return false;
    bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
    return true;
}
