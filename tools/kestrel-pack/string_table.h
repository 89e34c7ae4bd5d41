// string_table.h: the string-table entries of an image, read from and written
// into its resource tree.
//
// Entries live in RT_STRING blocks of 16: entry id is text id % 16 of block
// id / 16 + 1. A block is 16 UTF-16 texts in a row, each a u16 count of code
// units followed by the units, no terminator; an empty entry is a count of 0.
// Texts here are single-byte Windows-1252 as kestrel loads them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "resource_tree.h"

using StringEntries = std::map<uint16_t, std::string>;     // id -> Windows-1252 text
using StringUnits = std::map<uint16_t, std::u16string>;    // id -> UTF-16 as stored

const size_t stringsPerBlock = 16;
using StringBlockTexts = std::array<std::u16string, stringsPerBlock>;

inline uint16_t StringBlockId(uint16_t stringId) { return static_cast<uint16_t>(stringId / 16 + 1); }

// The bytes of one block.
std::vector<uint8_t> EncodeStringBlock(const StringBlockTexts& texts);

// The 16 texts of a block. Returns false when the block ends before its
// sixteenth entry (bytes after it are ignored, as the loader ignores them).
bool DecodeStringBlock(const std::vector<uint8_t>& bytes, StringBlockTexts* texts);

// The languages that hold RT_STRING blocks, ascending.
std::vector<uint16_t> StringTableLanguages(const ResourceTree& tree);

// The non-empty entries of one language as stored. Returns false with *error
// for a block named by a string, block id 0 or above 4096, or a truncated
// block.
bool ReadStringUnits(const ResourceTree& tree, uint16_t language, StringUnits* entries, std::string* error);

// The same as Windows-1252 texts, as kestrel's LoadStringA gives them on a
// Windows-1252 system. A unit without a Windows-1252 byte reads as '?' and
// sets *lossy.
bool ReadStringTable(const ResourceTree& tree, uint16_t language, StringEntries* entries, bool* lossy,
                     std::string* error);

// Replaces every RT_STRING block of language with blocks holding entries;
// empty texts are left out and blocks with no text are not written. New
// blocks take the code page of the language's first old block (else 0).
// Returns false for a text longer than 65535 units.
bool WriteStringUnits(ResourceTree* tree, uint16_t language, const StringUnits& entries, std::string* error);
