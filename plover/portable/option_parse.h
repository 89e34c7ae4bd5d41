// option_parse.h: the command line of plover.
//
// plover is started as
//     -TargetPath <path of the INF file> -SourceLoc <folder of the driver files>
// Options are separated by "-"; an option is a key, a blank and its value.
// Values are taken as they stand: quotes stay, blanks inside stay, and a value
// cannot hold "-" (the "-" starts the next option).
//
// The command line and every value live in buffers of optionTextChars
// characters. Longer texts are refused, never cut: a cut path could name a
// different file. This code uses no operating-system call, so the native tests
// exercise exactly what plover.exe runs.
#pragma once

#include <cstddef>

// Capacity, NUL included, of the command-line text and of each value.
constexpr size_t optionTextChars = 260;

// The two options that plover needs.
struct PloverOptions {
    char infPath[optionTextChars];         // value of "TargetPath": the INF file to stage
    char sourceLocation[optionTextChars];  // value of "SourceLoc": where its files are
};

// Stores in value (capacity valueChars) the text after the first blank of
// token, less one trailing blank if there is one.
// Returns 1, or 0 when token holds no blank or the value does not fit; on 0
// value is empty (valueChars >= 1). Nothing is written past valueChars.
int OptionValue(const char* token, char* value, size_t valueChars);

// Takes out of commandLine the first "-"-separated token that contains key
// (exact case, anywhere in the token) and stores its value in value.
// commandLine (capacity commandLineChars) is rebuilt from the other tokens,
// each written as "-" and the token, in their order; runs of "-" count as one
// separator and empty tokens do not occur.
// Returns 1 when a token was taken and its value fitted, otherwise 0:
//   - no token contains key: commandLine holds every token;
//   - the taken token has no blank or its value does not fit: commandLine holds
//     the tokens before it;
//   - commandLine is optionTextChars characters or longer, or its rebuilt text
//     would not fit in commandLineChars: commandLine is empty.
// Nothing is written past commandLineChars or valueChars.
int TakeOption(char* commandLine, size_t commandLineChars, const char* key, char* value,
               size_t valueChars);

// Reads "TargetPath" and then "SourceLoc" out of commandText, the command line
// after the program's name as the entry point receives it (may be null).
// Returns 1 when both were read into options, 0 when commandText is null,
// empty or optionTextChars characters or longer, or either option is missing
// or unusable. commandText itself is not changed.
int ReadPloverOptions(const char* commandText, PloverOptions* options);
