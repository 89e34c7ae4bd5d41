// config_rules.cpp: flag, number and list rules of the package settings.
#include "config_rules.h"

#include <climits>

#include "text_trim.h"

int IsFlagOn(const char* text) {
    if (text == nullptr) return 0;
    for (; *text != '\0'; ++text) {
        if (*text == '1') return 1;
    }
    return 0;
}

int ReadNumber(const char* text) {
    if (text == nullptr) return 0;
    const char* p = SkipSpaces(text);
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulate as a negative value so that INT_MIN is reachable.
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 - (*p - '0');
        if (value < static_cast<long long>(INT_MIN)) {
            return negative ? INT_MIN : INT_MAX;
        }
    }
    if (negative) return static_cast<int>(value);
    if (-value > static_cast<long long>(INT_MAX)) return INT_MAX;
    return static_cast<int>(-value);
}

char* NextListItem(char** cursor) {
    if (cursor == nullptr || *cursor == nullptr) return nullptr;
    char* p = *cursor;
    while (*p == ',') ++p;
    if (*p == '\0') {
        *cursor = p;
        return nullptr;
    }
    char* item = p;
    while (*p != '\0' && *p != ',') ++p;
    if (*p == ',') *p++ = '\0';
    *cursor = p;
    return item;
}
