// association_command.h: the text rules that turn a file association into a
// command line.
//
// The registry gives a command template such as
//     "C:\Program Files\Viewer\view.exe" /open "%1"
// Its quotes are turned into blanks, a leading %SystemRoot% becomes the
// Windows folder, the program part is the longest prefix (cut at a blank)
// that names an existing file, and the first placeholder ("%1", "%*", "%L")
// after it is replaced by the document and the argument text; whatever
// followed the placeholder is dropped.
//
// The composed command line never lets the system guess where the program's
// path ends: a program path (or document path) with blanks in it is quoted,
// so "C:\Program Files\..." can never start "C:\Program.exe". A composed
// text that does not fit its buffer is refused (the result is empty), never
// cut.
#pragma once

#include <cstddef>

// Capacity of registry values and command lines built from associations.
const size_t associationTextChars = 520;

// 1 for tab (9), line feed (10), carriage return (13) and space (32) only;
// vertical tab and form feed are no blanks.
int IsBlank(char c);

// The first position of text that is not IsBlank.
const char* SkipBlanks(const char* text);
char* SkipBlanks(char* text);

// The position of the last "." in the whole path (folder names included),
// or of its terminating NUL when it has none.
const char* PathExtension(const char* path);
char* PathExtension(char* path);

// Turns every ' and " of text into a blank.
void QuotesToBlanks(char* text);

// When text, from its first non-blank character on, begins with
// "%SystemRoot%" (any case, all 12 characters), rewrites text as
// windowsDir followed by what came after those 12 characters; leading blanks
// are dropped with it. Returns 1 (rewritten or nothing to do), or 0 when the
// rewritten text would not fit capacity (text unchanged).
int ExpandSystemRoot(char* text, size_t capacity, const char* windowsDir);

// Answers whether path names an existing file (not a folder).
typedef int (*FileTestFn)(const char* path, void* context);

// The length of the longest prefix of commandLine that ends at its end or
// just before an IsBlank character and names a file by fileExists; 0 when
// none does or commandLine is longer than associationTextChars - 1. The
// prefixes start at the first character, leading blanks included.
size_t FindProgramPart(const char* commandLine, FileTestFn fileExists, void* context);

// The first "%" at or after index from that stands at the start of
// commandLine or right after an IsBlank character and is followed by "*", a
// digit or an ASCII letter; null when there is none.
const char* FindPlaceholder(const char* commandLine, size_t from);

// out = the program part (its leading blanks dropped, quoted when it holds
// a blank), the template's text between the program part and the
// placeholder, the document (quoted when it holds a blank), a blank and the
// arguments. Returns 1, or 0 with out empty when it does not fit.
int ComposeAssociationCommand(char* out, size_t capacity, const char* commandLine, size_t programLength,
                              const char* placeholder, const char* file, const char* arguments);

// The command line from an executable that the shell's lookup found for
// file. result holds resultChars characters as the lookup left them: a
// path whose blanks some systems report as NULs. Every NUL before the last
// non-NUL character becomes a blank again. out = that path (quoted when it
// holds a blank); then, when no NUL was turned and its extension differs
// from the document's (ASCII case ignored), a blank and the document
// (quoted when it holds a blank); then a blank and the arguments. Returns 1,
// or 0 with out empty when the result is empty or the text does not fit.
int ComposeExecutableCommand(char* out, size_t capacity, const char* result, size_t resultChars,
                             const char* file, const char* arguments);
