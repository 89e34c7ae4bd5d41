// windows_1252.h: the single-byte ANSI texts of a package and the UTF-16 of
// its string table.
//
// Package texts are single-byte Windows-1252. The string table holds UTF-16;
// kestrel reads it back with LoadStringA, which converts with the system's
// ANSI code page. Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character in
// Windows-1252; like the system's own conversion they map to U+0081 etc., so
// every byte value survives the round trip.
#pragma once

#include <string>

// UTF-16 of a Windows-1252 text; every byte maps to exactly one code unit.
std::u16string Utf16FromWindows1252(const std::string& text);

// Windows-1252 of a UTF-16 text. Returns false when a code unit has no
// Windows-1252 byte; *text then holds '?' in its place.
bool Windows1252FromUtf16(const std::u16string& units, std::string* text);

// Windows-1252 of a UTF-8 text (for command lines typed on a UTF-8 host).
// Returns false, with *error naming the first offending character, for bytes
// that are not UTF-8 or characters that Windows-1252 cannot hold.
bool Windows1252FromUtf8(const std::string& utf8, std::string* text, std::string* error);
