// association_command.cpp: command lines from file associations.
#include "association_command.h"

#include <cstring>

#include "text_buffer.h"

namespace {

const char systemRootToken[] = "%SystemRoot%";
const size_t systemRootChars = sizeof systemRootToken - 1;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

bool HoldsBlank(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (IsBlank(text[i])) return true;
    }
    return false;
}

// Appends the length characters at path, in quotes when they hold a blank.
int AppendPath(char* out, size_t capacity, const char* path, size_t length) {
    size_t used = strlen(out);
    bool quote = HoldsBlank(path, length);
    size_t needed = used + length + (quote ? 2 : 0) + 1;
    if (needed > capacity) return 0;
    char* p = out + used;
    if (quote) *p++ = '"';
    memcpy(p, path, length);
    p += length;
    if (quote) *p++ = '"';
    *p = '\0';
    return 1;
}

}  // namespace

int IsBlank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

const char* SkipBlanks(const char* text) {
    while (IsBlank(*text)) ++text;
    return text;
}

char* SkipBlanks(char* text) {
    while (IsBlank(*text)) ++text;
    return text;
}

const char* PathExtension(const char* path) {
    const char* dot = strrchr(path, '.');
    return dot != nullptr ? dot : path + strlen(path);
}

char* PathExtension(char* path) {
    char* dot = strrchr(path, '.');
    return dot != nullptr ? dot : path + strlen(path);
}

void QuotesToBlanks(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text == '"' || *text == '\'') *text = ' ';
    }
}

int ExpandSystemRoot(char* text, size_t capacity, const char* windowsDir) {
    const char* start = SkipBlanks(text);
    if (strlen(start) < systemRootChars) return 1;
    for (size_t i = 0; i < systemRootChars; ++i) {
        if (LowerAscii(start[i]) != LowerAscii(systemRootToken[i])) return 1;
    }
    const char* rest = start + systemRootChars;
    size_t folderLength = strlen(windowsDir);
    size_t restLength = strlen(rest);
    if (folderLength + restLength + 1 > capacity) return 0;
    memmove(text + folderLength, rest, restLength + 1);
    memcpy(text, windowsDir, folderLength);
    return 1;
}

size_t FindProgramPart(const char* commandLine, FileTestFn fileExists, void* context) {
    size_t length = strlen(commandLine);
    if (length + 1 > associationTextChars) return 0;
    char prefix[associationTextChars];
    memcpy(prefix, commandLine, length + 1);
    // From the end back to the start: the first cut that names a file is
    // the longest program part.
    for (size_t cut = length + 1; cut-- > 0;) {
        if (cut != length && !IsBlank(commandLine[cut])) continue;
        prefix[cut] = '\0';
        if (cut > 0 && fileExists(prefix, context)) return cut;
    }
    return 0;
}

const char* FindPlaceholder(const char* commandLine, size_t from) {
    size_t length = strlen(commandLine);
    for (size_t i = from; i < length; ++i) {
        if (commandLine[i] != '%') continue;
        if (i > 0 && !IsBlank(commandLine[i - 1])) continue;
        char next = commandLine[i + 1];
        bool letter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z');
        if (next == '*' || (next >= '0' && next <= '9') || letter) return commandLine + i;
    }
    return nullptr;
}

int ComposeAssociationCommand(char* out, size_t capacity, const char* commandLine, size_t programLength,
                              const char* placeholder, const char* file, const char* arguments) {
    if (capacity == 0) return 0;
    out[0] = '\0';
    const char* program = commandLine;
    while (program < commandLine + programLength && IsBlank(*program)) ++program;
    size_t middleStart = programLength;
    size_t middleLength = static_cast<size_t>(placeholder - commandLine) - middleStart;
    char middle[associationTextChars];
    if (middleLength + 1 > sizeof middle) return 0;
    memcpy(middle, commandLine + middleStart, middleLength);
    middle[middleLength] = '\0';
    int fits = AppendPath(out, capacity, program, static_cast<size_t>(commandLine + programLength - program)) &&
               AppendText(out, capacity, middle) && AppendPath(out, capacity, file, strlen(file)) &&
               AppendText(out, capacity, " ") && AppendText(out, capacity, arguments);
    if (!fits) out[0] = '\0';
    return fits;
}

int ComposeExecutableCommand(char* out, size_t capacity, const char* result, size_t resultChars,
                             const char* file, const char* arguments) {
    if (capacity == 0) return 0;
    out[0] = '\0';
    size_t last = resultChars;
    while (last > 0 && result[last - 1] == '\0') --last;
    if (last == 0 || last + 1 > associationTextChars) return 0;
    char program[associationTextChars];
    bool turned = false;
    for (size_t i = 0; i < last; ++i) {
        program[i] = result[i];
        if (program[i] == '\0') {
            program[i] = ' ';
            turned = true;
        }
    }
    program[last] = '\0';
    int fits = AppendPath(out, capacity, program, last);
    if (fits && !turned && !SameIgnoringCase(PathExtension(program), PathExtension(file))) {
        fits = AppendText(out, capacity, " ") && AppendPath(out, capacity, file, strlen(file));
    }
    fits = fits && AppendText(out, capacity, " ") && AppendText(out, capacity, arguments);
    if (!fits) out[0] = '\0';
    return fits;
}
