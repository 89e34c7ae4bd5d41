// tokens.h: the argument text of a configured program.
//
// A program's argument text comes from the string table, may be replaced
// from the package's own command line ("/1:", "/2:", ...), and may carry the
// tokens "<curdir>", "<tempdir>" and "<nowait>". Every rule works in the
// caller's fixed buffer and refuses (leaving the text as it was) a result
// that would not fit: a cut argument text would be another argument.
#pragma once

#include <cstddef>

enum TextEditResult {
    TextUnchanged = 0,  // the token or option does not occur
    TextChanged = 1,    // the text was rewritten
    TextRefused = 2,    // the result would not fit; the text is unchanged
};

// Replaces the first occurrence of token (exact case) in text with
// replacement. Only the first occurrence: a second one stays.
TextEditResult ReplaceFirstToken(char* text, size_t capacity, const char* token, const char* replacement);

// The command-line override of program number programNumber (1, 2, ...):
// when "/N:" occurs anywhere in commandLine, arguments becomes a blank
// followed by everything after its first occurrence, unchanged (later
// options and quotes included).
TextEditResult ApplyArgumentOverride(const char* commandLine, int programNumber, char* arguments,
                                     size_t capacity);

// Resolves "<curdir>" (curDir), "<tempdir>" (tempDir) and "<nowait>"
// (nothing), in this order, each at its first occurrence only. *nowait is
// set to 1 when "<nowait>" occurred, else 0. Returns 1, or 0 when a
// replacement did not fit (the text then holds the steps done before).
int ResolveArgumentTokens(char* arguments, size_t capacity, const char* curDir, const char* tempDir,
                          int* nowait);
