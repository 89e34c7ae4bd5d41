// safe_name.cpp: the name checks of cabinet entries.
#include "safe_name.h"

#include <cstring>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// 1 when the length characters at text equal word, ignoring ASCII case.
bool SameWord(const char* text, size_t length, const char* word) {
    if (strlen(word) != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (UpperAscii(text[i]) != word[i]) return false;
    }
    return true;
}

// Windows resolves ".", ".." and names of dots and blanks alone (whose
// trailing dots and blanks it strips) to the folder itself or its parent.
bool IsDotsAndBlanks(const char* component, size_t length) {
    if (length == 0) return false;
    for (size_t i = 0; i < length; ++i) {
        if (component[i] != '.' && component[i] != ' ') return false;
    }
    return true;
}

}  // namespace

int IsDeviceName(const char* component, size_t length) {
    // The base name ends at the first dot; the rest is an extension.
    size_t baseLength = 0;
    while (baseLength < length && component[baseLength] != '.') ++baseLength;
    while (baseLength > 0 && component[baseLength - 1] == ' ') --baseLength;
    static const char* const plainDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : plainDevices) {
        if (SameWord(component, baseLength, device)) return 1;
    }
    if (baseLength == 4 && component[3] >= '1' && component[3] <= '9') {
        if (SameWord(component, 3, "COM") || SameWord(component, 3, "LPT")) return 1;
    }
    return 0;
}

int IsSafeCabinetName(const char* name) {
    if (name == nullptr || name[0] == '\0' || IsSeparator(name[0])) return 0;
    if (strchr(name, ':') != nullptr) return 0;
    const char* start = name;
    for (;;) {
        const char* end = start;
        while (*end != '\0' && !IsSeparator(*end)) ++end;
        size_t length = static_cast<size_t>(end - start);
        if (*end == '\0' && length == 0) return 0;  // "dir\": no file name
        if (IsDotsAndBlanks(start, length)) return 0;
        if (length > 0 && IsDeviceName(start, length)) return 0;
        if (*end == '\0') return 1;
        start = end + 1;
    }
}

int IsPlainCabinetName(const char* name) {
    if (name == nullptr || name[0] == '\0') return 0;
    if (strpbrk(name, "\\/:") != nullptr) return 0;
    size_t length = strlen(name);
    return !IsDotsAndBlanks(name, length) && !IsDeviceName(name, length);
}
