// package_entries.h: the string-table entries that configure a package, their
// capacities and the rules by which kestrel reads them.
//
// kestrel loads each entry into a fixed buffer of the capacity below (NUL
// included) and cuts a longer text to capacity - 1 characters. The packer
// refuses computed values that would be cut, and warns about given ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum PackageEntryId : uint16_t {
    EntryBrowseTitle = 115,
    EntryProgramBase = 200,    // 200 + k: file of the k-th program
    EntryArgumentsBase = 300,  // 300 + k: its argument text
    EntryCleanupWorkDir = 460,
    EntryStubSize = 461,
    EntryShowProgress = 462,
    EntryExtractInPlace = 463,
    EntryAdditionalCabinets = 464,
    EntryPartBaseName = 465,
    EntrySplitPartCount = 466,
    EntryProgramCount = 467,
    EntryPayloadSizeEcho = 468,
    EntryPayloadSize = 469,
    EntryOptionalCabinets = 470,
    EntryAskForFolder = 471,
};

// Program entries run from 200 to 299 and 300 to 399.
const int maxPrograms = 100;

// Capacity in characters, terminating NUL included, of the buffer that
// kestrel loads the entry into; 0 for ids that are no package entry.
int EntryCapacity(uint16_t id);

// True for the ids that the packer owns (200-399, 460-471): a stub's own
// values for them are dropped and the package's written instead.
bool IsPackageEntry(uint16_t id);

// A short name of the entry for messages ("stub size"), or "" for other ids.
const char* EntryName(uint16_t id);

// The C atoi rules: leading white space, an optional sign, digits up to the
// first non-digit; no digits gives 0. Values beyond the range of int64_t are
// held at its ends (kestrel's int would overflow long before).
int64_t ReadNumberEntry(const std::string& text);

// A flag is on when its text holds the character '1' anywhere.
bool ReadFlagEntry(const std::string& text);

// The items of a ","-separated list; empty items are skipped and the others
// kept exactly as written, spaces included.
std::vector<std::string> ReadListEntry(const std::string& text);

// The file name of split part number (1-based) for a base name: the base, a
// dot and the number with at least three digits ("setup.001").
std::string SplitPartName(const std::string& baseName, uint32_t number);
