// text_trim.h: white space at both ends of a path.
//
// White space here is the C library's test in the C locale: the characters
// 9, 10, 11, 12, 13 and 32. Bytes from 128 up are never white space, so
// single-byte ANSI names with accented letters stay whole.
#pragma once

// 1 for the characters 9 to 13 and 32, 0 for every other byte.
int IsTrimSpace(char c);

// The first position of text that is not white space; null for null.
char* SkipSpaces(char* text);
const char* SkipSpaces(const char* text);

// Overwrites the white space at the end of text with NULs and returns text;
// null for null.
char* TrimTrailingSpaces(char* text);

// Moves the text without its leading and trailing white space to the start
// of text's own buffer and returns text; null for null.
char* TrimSpaces(char* text);
