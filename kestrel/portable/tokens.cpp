// tokens.cpp: command-line override and token resolution of argument texts.
#include "tokens.h"

#include <cstring>

#include "text_buffer.h"

TextEditResult ReplaceFirstToken(char* text, size_t capacity, const char* token, const char* replacement) {
    char* hit = strstr(text, token);
    if (hit == nullptr) return TextUnchanged;
    size_t headLength = static_cast<size_t>(hit - text);
    const char* tail = hit + strlen(token);
    if (headLength + strlen(replacement) + strlen(tail) + 1 > capacity) return TextRefused;
    // The tail moves first: it may overlap where the replacement goes.
    memmove(hit + strlen(replacement), tail, strlen(tail) + 1);
    memcpy(hit, replacement, strlen(replacement));
    return TextChanged;
}

TextEditResult ApplyArgumentOverride(const char* commandLine, int programNumber, char* arguments,
                                     size_t capacity) {
    char option[24];
    FormatText(option, sizeof option, "/%d:", programNumber);
    const char* hit = strstr(commandLine, option);
    if (hit == nullptr) return TextUnchanged;
    const char* rest = hit + strlen(option);
    if (strlen(rest) + 2 > capacity) return TextRefused;
    arguments[0] = ' ';
    memcpy(arguments + 1, rest, strlen(rest) + 1);
    return TextChanged;
}

int ResolveArgumentTokens(char* arguments, size_t capacity, const char* curDir, const char* tempDir,
                          int* nowait) {
    *nowait = 0;
    if (ReplaceFirstToken(arguments, capacity, "<curdir>", curDir) == TextRefused) return 0;
    if (ReplaceFirstToken(arguments, capacity, "<tempdir>", tempDir) == TextRefused) return 0;
    // Removing a token always fits.
    if (ReplaceFirstToken(arguments, capacity, "<nowait>", "") == TextChanged) *nowait = 1;
    return 1;
}
