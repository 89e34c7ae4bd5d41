// text_buffer.cpp: cut-or-report copies into fixed buffers.
#include "text_buffer.h"

#include <cstdarg>
#include <cstdio>

int CopyText(char* dest, size_t capacity, const char* src) {
    if (capacity == 0) return src == nullptr || *src == '\0';
    size_t i = 0;
    if (src != nullptr) {
        for (; i + 1 < capacity && src[i] != '\0'; ++i) dest[i] = src[i];
    }
    dest[i] = '\0';
    return src == nullptr || src[i] == '\0';
}

int AppendText(char* dest, size_t capacity, const char* src) {
    size_t used = 0;
    while (used < capacity && dest[used] != '\0') ++used;
    if (used == capacity) {  // not terminated: terminate and report the cut
        if (capacity > 0) dest[capacity - 1] = '\0';
        return 0;
    }
    return CopyText(dest + used, capacity - used, src);
}

int FormatText(char* dest, size_t capacity, const char* format, ...) {
    if (capacity == 0) return 0;
    va_list args;
    va_start(args, format);
#if defined(_WIN32)
    // The system runtime's formatter: the C99 one of MinGW brings a floating
    // point formatter that would double the size of kestrel.exe. It knows
    // %s, %d, %u, %x and widths, which is all the front end formats.
    int needed = _vsnprintf(dest, capacity, format, args);
#else
    int needed = vsnprintf(dest, capacity, format, args);
#endif
    va_end(args);
    // The C99 form returns the full length; the Windows runtime's form
    // returns -1 when the text was cut and may leave it unterminated.
    if (needed < 0 || static_cast<size_t>(needed) >= capacity) {
        dest[capacity - 1] = '\0';
        return 0;
    }
    return 1;
}
