// cab_checksum.h: the writer's own copy of the data-block checksum.
//
// Kept apart from the decoder's CabChecksum so that the writer's blocks are
// checked by an independent implementation when the two meet in round trips.
#pragma once

#include <cstdint>

// XOR of the little-endian 32-bit groups of data, then the 0-3 remaining bytes
// folded in with the first byte most significant, all starting from seed.
uint32_t CabWriteChecksum(const uint8_t* data, uint32_t length, uint32_t seed);

// The checksum field of a data block: the stored bytes first, then the header
// from its packedSize field to its end (packedSize, unpackedSize and the
// reserved bytes, headerTail of headerTailBytes bytes).
uint32_t CabWriteBlockChecksum(const uint8_t* stored, uint32_t storedBytes, const uint8_t* headerTail,
                               uint32_t headerTailBytes);
