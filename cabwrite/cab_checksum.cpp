// cab_checksum.cpp: the data-block checksum, as the writer computes it.
#include "cab_checksum.h"

uint32_t CabWriteChecksum(const uint8_t* data, uint32_t length, uint32_t seed) {
    uint32_t value = seed;
    uint32_t i = 0;
    for (; i + 4 <= length; i += 4) {
        value ^= static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
                 static_cast<uint32_t>(data[i + 2]) << 16 | static_cast<uint32_t>(data[i + 3]) << 24;
    }
    // The tail runs the other way round: its first byte is the most significant.
    uint32_t tail = 0;
    for (; i < length; ++i) {
        tail = tail << 8 | data[i];
    }
    return value ^ tail;
}

uint32_t CabWriteBlockChecksum(const uint8_t* stored, uint32_t storedBytes, const uint8_t* headerTail,
                               uint32_t headerTailBytes) {
    uint32_t value = CabWriteChecksum(stored, storedBytes, 0);
    return CabWriteChecksum(headerTail, headerTailBytes, value);
}
