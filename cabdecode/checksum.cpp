// checksum.cpp: CabChecksum, the data-block checksum.
//
// Complete groups of four bytes are XORed in as little-endian words; the 0 to
// 3 bytes left over are folded in as one value with the FIRST byte most
// significant (the opposite order), which is why they are not simply padded.
#include "cabdecode.h"

uint32_t CabChecksum(const void* data, uint32_t length, uint32_t seed) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint32_t value = seed;
    uint32_t groups = length / 4;
    for (uint32_t i = 0; i < groups; i++, bytes += 4) {
        value ^= static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                 (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    }
    uint32_t tail = 0;
    for (uint32_t i = 0; i < length % 4; i++) tail = (tail << 8) | bytes[i];
    return value ^ tail;
}
