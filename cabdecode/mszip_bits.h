// mszip_bits.h: the bit reader of the MSZIP decoder.
//
// Bits are taken from each input byte lowest bit first (RFC 1951). A byte
// asked for at or past the end of the input reads as 0: the reader may look
// ahead freely, for a table lookup can ask for more bits than the last code
// uses. Consuming bits past the end, though, is invalid data; the block loop
// checks that with InputOverrun after each Deflate block.
#pragma once

#include <cstdint>
#include <cstring>

#include "mszip_state.h"

// The bit reader's fields, copied out of InflateState so that they live in
// registers while a block is decoded.
struct BitCursor {
    const uint8_t* data;
    uint32_t length;  // input bytes
    uint32_t pos;     // next byte to load; passes length when zeros are read past the end
    uint32_t count;   // bits held in buf
    uint64_t buf;     // bits above count: 0, or the true input bits from pos on
};

inline BitCursor LoadCursor(const InflateState* state) {
    return BitCursor{state->inputData, state->inputLength, state->inputPos, state->bitCount, state->bitBuf};
}

inline void SaveCursor(InflateState* state, const BitCursor& cursor) {
    state->inputPos = cursor.pos;
    state->bitCount = cursor.count;
    state->bitBuf = cursor.buf;
}

// Loads whole bytes until at least n bits (n <= 32) are held.
inline void NeedBits(BitCursor& cursor, uint32_t n) {
    while (cursor.count < n) {
        uint64_t byte = cursor.pos < cursor.length ? cursor.data[cursor.pos] : 0;
        cursor.buf |= byte << cursor.count;
        cursor.pos++;
        cursor.count += 8;
    }
}

// True when at least 8 input bytes lie at pos, so RefillFast may load them.
inline bool CanRefillFast(const BitCursor& cursor) {
    return cursor.pos + 8 <= cursor.length;
}

// Tops the buffer up to 56..63 bits with one unaligned 8-byte load. Requires
// CanRefillFast. The bits of the byte loaded only in part stay above count;
// the next load ORs the same bits over them.
inline void RefillFast(BitCursor& cursor) {
    uint64_t word;
    memcpy(&word, cursor.data + cursor.pos, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    cursor.buf |= word << cursor.count;
    cursor.pos += (63 - cursor.count) >> 3;
    cursor.count |= 56;
}

inline uint32_t PeekBits(const BitCursor& cursor, uint32_t n) {
    return static_cast<uint32_t>(cursor.buf & ((uint64_t(1) << n) - 1));
}

inline void DropBits(BitCursor& cursor, uint32_t n) {
    cursor.buf >>= n;
    cursor.count -= n;
}

inline uint32_t ReadBits(BitCursor& cursor, uint32_t n) {
    NeedBits(cursor, n);
    uint32_t value = PeekBits(cursor, n);
    DropBits(cursor, n);
    return value;
}

// True once more bits have been consumed than the input holds.
inline bool InputOverrun(const BitCursor& cursor) {
    return uint64_t(cursor.pos) * 8 - cursor.count > uint64_t(cursor.length) * 8;
}
