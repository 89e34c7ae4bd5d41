// corpus.h: the deterministic data sets of the benchmarks, text-like and
// binary-like, and the hash that benchmarks print of their output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

// FNV-1a, 64 bits.
uint64_t Hash(const uint8_t* data, size_t size);

// Text: words from a fixed list, chosen by a Markov-ish rule (each word has
// a few likely successors), with punctuation, capitals and line breaks.
Bytes MakeText(size_t size);

// Binary: x86-like code (common opcodes, ModRM bytes, relative calls to a
// few hundred targets, small immediates) mixed with tables of structured
// records (increasing ids, flags, small counts, offsets, some noise).
Bytes MakeBinary(size_t size);

}  // namespace bench
