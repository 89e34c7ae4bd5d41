// text_buffer.h: copying and joining text into buffers of fixed capacity.
//
// Every fixed buffer of the front end is written through these helpers, so no
// text, however long, is ever written past its buffer. Each returns 1 when the
// whole text fitted and 0 when it was cut; the buffer always ends in a NUL
// (for capacity >= 1). Callers decide whether a cut text is usable (a status
// line) or must be refused (a path).
#pragma once

#include <cstddef>

// dest = src, cut to capacity - 1 characters.
int CopyText(char* dest, size_t capacity, const char* src);
// dest += src, cut so that the whole stays within capacity - 1 characters.
int AppendText(char* dest, size_t capacity, const char* src);
// dest = printf-style format, cut to capacity - 1 characters.
int FormatText(char* dest, size_t capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
