// text_buffer.h: the one way text enters the decoder's fixed name buffers.
//
// Names live in buffers of cabNameBufferBytes (257) bytes. Copies and joins go
// through these helpers, which refuse a text that does not fit (leaving an
// empty string behind) rather than write past the end or cut a path short.
#pragma once

#include <cstdint>

// Length of text, counting at most maxChars characters; returns maxChars + 1
// when no NUL lies within the first maxChars + 1 bytes (the text is too long),
// so the caller never reads further than that.
inline uint32_t CabBoundedLength(const char* text, uint32_t maxChars) {
    uint32_t n = 0;
    while (n <= maxChars && text[n] != '\0') n++;
    return n;
}

// Copies first followed by second into dest (destBytes large) when the joined
// text has at most maxChars characters and fits with its NUL. Returns false and
// leaves dest empty otherwise.
inline bool CabJoinText(char* dest, uint32_t destBytes, uint32_t maxChars, const char* first, const char* second) {
    if (destBytes == 0) return false;
    dest[0] = '\0';
    if (maxChars >= destBytes) maxChars = destBytes - 1;
    uint32_t firstChars = CabBoundedLength(first, maxChars);
    if (firstChars > maxChars) return false;
    uint32_t secondChars = CabBoundedLength(second, maxChars - firstChars);
    if (secondChars > maxChars - firstChars) return false;
    for (uint32_t i = 0; i < firstChars; i++) dest[i] = first[i];
    for (uint32_t i = 0; i < secondChars; i++) dest[firstChars + i] = second[i];
    dest[firstChars + secondChars] = '\0';
    return true;
}

inline bool CabCopyText(char* dest, uint32_t destBytes, uint32_t maxChars, const char* source) {
    return CabJoinText(dest, destBytes, maxChars, source, "");
}
