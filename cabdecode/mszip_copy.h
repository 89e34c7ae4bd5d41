// mszip_copy.h: copying a match inside the 32 KB window.
//
// The window is the caller's output buffer. Bytes behind the write position
// are this block's output; bytes ahead of it still hold the end of the
// previous block of the folder, which is the older history. A copy never
// writes a byte beyond the match: such a byte would destroy history that a
// later match of the block may still read.
#pragma once

#include <cstdint>
#include <cstring>

#include "mszip_state.h"

// Copies `length` bytes from `distance` bytes back, byte by byte in effect:
// source and destination may overlap, and then the copy repeats the bytes it
// has just written. Requires distance >= 1 and src = dst - distance inside
// the buffer.
inline void CopyBack(uint8_t* dst, uint32_t distance, uint32_t length) {
    const uint8_t* src = dst - distance;
    if (distance >= 8) {
        // Each 8-byte chunk reads only bytes that are already final.
        if (length >= 8) {
            uint8_t* end = dst + length;
            do {
                memcpy(dst, src, 8);
                dst += 8;
                src += 8;
                length -= 8;
            } while (length >= 8);
            // The last chunk overlaps the one before it and rewrites the same bytes.
            if (length != 0) memcpy(end - 8, end - 8 - distance, 8);
            return;
        }
        if (length >= 4) {
            memcpy(dst, src, 4);
            memcpy(dst + length - 4, src + length - 4, 4);
            return;
        }
    } else if (distance == 1) {
        memset(dst, *src, length);
        return;
    }
    for (uint32_t i = 0; i < length; i++) dst[i] = src[i];
}

// Copies a match of `length` bytes at distance `distance` (1..32768) to
// `out`, where `produced` = out - outStart bytes of this block precede it.
// A distance beyond `produced` reaches into the previous block's tail at
// the end of the buffer; the source wraps from outStart + 32767 to
// outStart. Requires produced + length <= 32768.
inline void CopyMatch(uint8_t* outStart, uint32_t produced, uint32_t distance, uint32_t length) {
    uint8_t* out = outStart + produced;
    if (distance <= produced) {
        CopyBack(out, distance, length);
        return;
    }
    // Source ahead of the destination, up to the buffer's end: a forward copy
    // reads every byte before it is overwritten, which memmove also does.
    uint32_t sourceIndex = produced + mszipWindowBytes - distance;
    uint32_t beforeWrap = mszipWindowBytes - sourceIndex;
    if (beforeWrap > length) beforeWrap = length;
    memmove(out, outStart + sourceIndex, beforeWrap);
    // The rest comes from the start of the buffer: an ordinary backward copy.
    if (length > beforeWrap) CopyBack(out + beforeWrap, produced + beforeWrap, length - beforeWrap);
}
