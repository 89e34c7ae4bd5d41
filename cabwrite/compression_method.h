// compression_method.h: the compression methods that the writer knows, their
// names on command lines and their compression words in folder entries.
//
// This is the one place where a method becomes a compression word and a
// compressor object; the folder layer and the tools go through it. A method
// is added here: a kind, its word, its name and its compressor factory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "block_compressor.h"

enum class CabMethodKind {
    Stored,
    Mszip,
    Quantum,
};

struct CabMethod {
    CabMethodKind kind = CabMethodKind::Mszip;
    int mszipLevel = 6;         // zlib level 1..9
    int quantumWindowBits = 21; // 10..21
};

// The folder's compression word: type in bits 0-3, Quantum's window bits in
// bits 8-12.
uint16_t CabCompressionWord(const CabMethod& method);

// Parses "none", "mszip" or "quantum[:BITS]". Returns false, with a message a
// person can act on in *error, for any other text or an out-of-range value.
bool ParseCabMethod(const std::string& text, CabMethod* method, std::string* error);

// The method's name in the same syntax, e.g. "quantum:18".
std::string CabMethodName(const CabMethod& method);

// A fresh compressor for one folder, or null when its parameters are out of
// range (*error says so).
std::unique_ptr<CabBlockCompressor> CreateBlockCompressor(const CabMethod& method, std::string* error);
