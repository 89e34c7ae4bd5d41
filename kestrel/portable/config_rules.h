// config_rules.h: how the package settings read.
//
// Every setting is a text from the string table; these rules turn it into a
// flag, a number or a list of names. They are pure text rules, shared by the
// front end and its unit tests.
#pragma once

// A flag is on when its text contains the character "1" anywhere: "1", "01",
// "10" and " 1" are on; "", "0" and "2" are off. A null text is off.
int IsFlagOn(const char* text);

// The decimal value of text by the C atoi rules: leading white space (9-13
// and 32) is skipped, then an optional sign, then digits up to the first
// non-digit; no leading digit gives 0. Unlike atoi, a value beyond the int
// range saturates at INT_MAX or INT_MIN instead of being undefined. A null
// text gives 0.
int ReadNumber(const char* text);

// Walks a comma-separated list in place. *cursor points into the list text
// (initially its start); each call skips empty items (",,", a leading or
// trailing comma), cuts the next item at its comma by writing a NUL there,
// advances *cursor past it and returns the item, spaces included. Returns
// null when no item is left. The list text is used up by one walk.
char* NextListItem(char** cursor);
