// option_parse.cpp: taking "-key value" options out of plover's command line.
//
// Tokens are split at "-" in the manner of the C library's strtok, but through
// an explicit cursor: strtok keeps hidden state between calls and is not safe
// when two splits interleave.
#include "option_parse.h"

#include <cstring>

namespace {

// The length of text, or limit when text holds no NUL in its first limit
// characters.
size_t BoundedLength(const char* text, size_t limit) {
    size_t chars = 0;
    while (chars < limit && text[chars] != '\0') ++chars;
    return chars;
}

// Copies src into dest (capacity destChars) only when the whole of it fits.
// Returns 1, or 0 with dest untouched when it does not fit.
int CopyWhole(char* dest, size_t destChars, const char* src, size_t srcChars) {
    if (srcChars >= destChars) return 0;
    memcpy(dest, src, srcChars);
    dest[srcChars] = '\0';
    return 1;
}

// Appends "-" and token to text, which holds textChars characters and has the
// capacity capacityChars. Returns 1, or 0 with text unchanged when the result
// would not fit.
int AppendToken(char* text, size_t* textChars, size_t capacityChars, const char* token) {
    size_t tokenChars = strlen(token);
    if (*textChars + 1 + tokenChars >= capacityChars) return 0;
    text[*textChars] = '-';
    memcpy(text + *textChars + 1, token, tokenChars);
    *textChars += 1 + tokenChars;
    text[*textChars] = '\0';
    return 1;
}

// The state of one split: where the next token may begin.
struct TokenCursor {
    char* next;
};

// Returns the next token of the cursor's text and ends it with a NUL in place
// of the "-" that follows it, or returns null when only "-" characters (or
// nothing) remain.
char* NextToken(TokenCursor* cursor) {
    char* start = cursor->next;
    while (*start == '-') ++start;
    if (*start == '\0') {
        cursor->next = start;
        return nullptr;
    }
    char* end = start;
    while (*end != '\0' && *end != '-') ++end;
    if (*end == '-') {
        *end = '\0';
        cursor->next = end + 1;
    } else {
        cursor->next = end;
    }
    return start;
}

}  // namespace

int OptionValue(const char* token, char* value, size_t valueChars) {
    if (valueChars == 0) return 0;
    value[0] = '\0';
    const char* blank = strchr(token, ' ');
    if (blank == nullptr) return 0;
    const char* text = blank + 1;
    size_t textChars = strlen(text);
    if (textChars > 0 && text[textChars - 1] == ' ') --textChars;
    return CopyWhole(value, valueChars, text, textChars);
}

int TakeOption(char* commandLine, size_t commandLineChars, const char* key, char* value,
               size_t valueChars) {
    if (commandLineChars == 0) return 0;
    char work[optionTextChars];
    // Read no further than the capacity, even from a text that lacks its NUL.
    size_t textChars = BoundedLength(commandLine, commandLineChars);
    int fits = textChars < commandLineChars && CopyWhole(work, sizeof work, commandLine, textChars);
    commandLine[0] = '\0';
    if (!fits) return 0;

    size_t rebuiltChars = 0;
    int taken = 0;
    TokenCursor cursor{work};
    for (char* token = NextToken(&cursor); token != nullptr; token = NextToken(&cursor)) {
        if (taken || strstr(token, key) == nullptr) {
            if (!AppendToken(commandLine, &rebuiltChars, commandLineChars, token)) {
                commandLine[0] = '\0';
                return 0;
            }
            continue;
        }
        if (!OptionValue(token, value, valueChars)) return 0;
        taken = 1;
    }
    return taken;
}

int ReadPloverOptions(const char* commandText, PloverOptions* options) {
    options->infPath[0] = '\0';
    options->sourceLocation[0] = '\0';
    if (commandText == nullptr || commandText[0] == '\0') return 0;
    char commandLine[optionTextChars];
    if (!CopyWhole(commandLine, sizeof commandLine, commandText,
                   BoundedLength(commandText, sizeof commandLine))) {
        return 0;
    }
    return TakeOption(commandLine, sizeof commandLine, "TargetPath", options->infPath,
                      sizeof options->infPath) &&
           TakeOption(commandLine, sizeof commandLine, "SourceLoc", options->sourceLocation,
                      sizeof options->sourceLocation);
}
