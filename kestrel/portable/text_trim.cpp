// text_trim.cpp: trimming white space in place.
#include "text_trim.h"

int IsTrimSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char* SkipSpaces(char* text) {
    if (text == nullptr) return nullptr;
    while (IsTrimSpace(*text)) ++text;
    return text;
}

const char* SkipSpaces(const char* text) {
    if (text == nullptr) return nullptr;
    while (IsTrimSpace(*text)) ++text;
    return text;
}

char* TrimTrailingSpaces(char* text) {
    if (text == nullptr) return nullptr;
    char* end = text;
    while (*end != '\0') ++end;
    while (end > text && IsTrimSpace(end[-1])) *--end = '\0';
    return text;
}

char* TrimSpaces(char* text) {
    if (text == nullptr) return nullptr;
    char* start = TrimTrailingSpaces(SkipSpaces(text));
    if (start != text) {
        char* out = text;
        while ((*out++ = *start++) != '\0') {
        }
    }
    return text;
}
