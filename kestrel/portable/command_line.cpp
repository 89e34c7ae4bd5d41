// command_line.cpp: lower-casing and option search.
#include "command_line.h"

#include <cstring>

void LowerCaseAscii(char* text) {
    if (text == nullptr) return;
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
    }
}

int HasOption(const char* line, const char* option) {
    return OptionArgument(line, option) != nullptr;
}

const char* OptionArgument(const char* line, const char* option) {
    if (line == nullptr || option == nullptr) return nullptr;
    const char* hit = strstr(line, option);
    return hit == nullptr ? nullptr : hit + strlen(option);
}
