// command_line.h: the option tests on the package's command line.
//
// The command line is never split into words: every option test is a plain
// substring search over the whole line, the program's own path included.
#pragma once

// Turns ASCII "A" to "Z" into "a" to "z" in place; other bytes stay.
void LowerCaseAscii(char* text);

// 1 when option occurs anywhere in line (exact case), otherwise 0.
int HasOption(const char* line, const char* option);

// The text after the first occurrence of option in line, up to the end of
// the line, without quote handling or trimming; null when option is absent.
const char* OptionArgument(const char* line, const char* option);
