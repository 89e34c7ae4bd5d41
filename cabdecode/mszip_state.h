// mszip_state.h: the records behind an MSZIP context, and the internal steps
// that share them (table building, block decoding).
//
// Every decoding table lives inside InflateState, which is allocated once by
// MszipCreate; nothing is allocated while a block is decoded.
#pragma once

#include <cstdint>

#include "cabdecode.h"

// One entry of a decoding table.
//
//   op       | meaning
//   ---------+-----------------------------------------------------------
//   0 .. 13  | length or distance: base `value`, plus `op` extra bits
//   15       | end of block
//   16       | literal byte, or a symbol of the code-length code: `value`
//   17 .. 31 | link: the code goes on in the sub-table at `next`, which is
//            | indexed by the next (op - 16) bits
//   99       | invalid: no code reaches it, or Deflate forbids the symbol
//
// `bits` is the number of code bits that this table level consumes. `next`
// is the sub-table's position as an entry offset from the start of the root
// table it hangs under; a 16-bit offset keeps an entry at four bytes, so the
// hot tables stay small in the cache.
struct HuffEntry {
    uint8_t op;
    uint8_t bits;
    union {
        uint16_t value;
        uint16_t next;
    };
};
static_assert(sizeof(HuffEntry) == 4, "HuffEntry must stay four bytes");

enum HuffOp : uint8_t {
    HuffOpEndOfBlock = 15,
    HuffOpLiteral = 16,
    HuffOpLinkBase = 16,  // a link's op is HuffOpLinkBase + the sub-table's width
    HuffOpInvalid = 99,
};

// Results of BuildHuffTable.
enum HuffBuildResult : int {
    HuffBuildComplete = 0,     // complete code, or an empty one (root width 0)
    HuffBuildIncomplete = 1,   // unused codes remain (a single 1-bit code is complete)
    HuffBuildOversubscribed = 2,
    HuffBuildPoolTooSmall = 3,
};

// Deflate limits (RFC 1951).
const uint32_t deflateMaxCodeBits = 15;
const uint32_t deflateMaxLitLenSymbols = 288;  // 286 usable, 286/287 only in the fixed code
const uint32_t deflateMaxDistSymbols = 30;
const uint32_t deflateCodeLenSymbols = 19;
const uint32_t deflateMaxMatchBytes = 258;
const uint32_t mszipWindowBytes = 32768;

// Requested root widths of the decoding tables, in bits.
const uint32_t fixedLitRootBits = 7;
const uint32_t fixedDistRootBits = 5;
const uint32_t dynamicCodeLenRootBits = 7;
const uint32_t dynamicLitRootBits = 9;
const uint32_t dynamicDistRootBits = 6;

// Table areas, in entries. Sub-tables are as wide as the codes below their
// prefix need (at most 15 - root bits), so every code takes at most two
// lookups. The dynamic sizes are the largest that any complete Deflate code
// can need with these root widths: 852 for up to 286 literal/length symbols
// with a 9-bit root, 592 for up to 30 distance symbols with a 6-bit root, as
// found by the exhaustive count of zlib's examples/enough.c ("enough 286 9
// 15", "enough 30 6 15"). Smaller areas would refuse some valid blocks. The
// fixed code needs 128 + 152 + 112 = 392 literal/length entries (7-bit root,
// 8-bit codes in 1-bit sub-tables, 9-bit codes in 2-bit sub-tables) and 32
// distance entries.
const uint32_t fixedLitTableEntries = 520;
const uint32_t fixedDistTableEntries = 32;
const uint32_t dynamicLitPoolEntries = 852;
const uint32_t dynamicDistPoolEntries = 592;
const uint32_t dynamicPoolEntries = dynamicLitPoolEntries + dynamicDistPoolEntries;
static_assert((1u << dynamicCodeLenRootBits) <= dynamicLitPoolEntries, "code-length table shares the literal area");

// The decoder's state. The bit reader's fields are copied into locals by the
// hot loop and written back when it leaves.
struct InflateState {
    uint32_t lastBlock;          // final-block bit of the Deflate block being decoded
    const uint8_t* inputData;    // the block's input just behind "CK"
    uint32_t inputLength;        // input bytes behind "CK"
    uint32_t inputPos;           // next input byte to load; may pass inputLength (bytes past the end read as 0)
    uint8_t* outNext;            // next output byte
    uint8_t* outStart;           // start of the caller's 32768-byte buffer, the window
    uint32_t outLeft;            // output bytes still allowed in this call
    uint32_t outLimit;           // maxBlockSize, copied at every block start
    // Bits loaded and not yet consumed, next bit lowest. 64 bits wide so the
    // hot loop can load seven bytes at once. Bits above bitCount are either 0
    // or the true bits of the input from inputPos on, so loading the same
    // byte again by OR is harmless.
    uint64_t bitBuf;
    uint32_t bitCount;
    uint32_t fixedBuilt;         // 1 once the fixed tables exist
    HuffEntry fixedLitTable[fixedLitTableEntries];
    HuffEntry fixedDistTable[fixedDistTableEntries];
    uint32_t fixedLitBits;       // root widths of the fixed tables
    uint32_t fixedDistBits;
    // First dynamicLitPoolEntries: the code-length table, then the
    // literal/length tables of the dynamic block; the rest: its distance tables.
    HuffEntry dynamicPool[dynamicPoolEntries];
};

struct MszipContext {
    char signature[4];  // "MDIC" while the context is alive, zeros after MszipDestroy
    CabAllocFn alloc;
    CabFreeFn free;
    uint32_t maxBlockSize;  // largest output of one call, 1..32768
    InflateState* state;
};

// Builds the decoding tables of a canonical Huffman code.
//   lengths[0..count-1]: code length of each symbol, 0 = unused, at most 15.
//   simpleCount: symbols below it decode to themselves (op 16; 256 is end of
//     block, op 15); symbol i >= simpleCount decodes to base[i - simpleCount]
//     with extra[i - simpleCount] extra bits (extra 99 marks a forbidden symbol).
//   pool, poolEntries: where the root table and its sub-tables go.
//   rootBits: in, the requested root width; out, the width used (raised to
//     the shortest code, lowered to the longest, 0 for an empty code).
// Returns a HuffBuildResult. An empty code gets root width 0 and one invalid
// entry, so any lookup in it fails. Unused codes of an incomplete code decode
// as invalid. Never writes beyond pool[poolEntries - 1].
int BuildHuffTable(const uint8_t* lengths, uint32_t count, uint32_t simpleCount, const uint16_t* base,
                   const uint8_t* extra, HuffEntry* pool, uint32_t poolEntries, uint32_t* rootBits);

// Builds the fixed literal/length and distance tables into the state.
// Returns 1 on success, 0 if a build fails (it does not for these codes).
int BuildFixedTables(InflateState* state);

// Base and extra-bit tables of literal/length symbols 257..287 and distance
// symbols 0..29 (RFC 1951, 3.2.5); 286 and 287 have extra 99 (forbidden).
extern const uint16_t lengthBase[31];
extern const uint8_t lengthExtra[31];
extern const uint16_t distBase[30];
extern const uint8_t distExtra[30];

// Decodes Deflate blocks from the state's input into its output until a
// final block ends or outLeft reaches 0. Requires a started block (input,
// output and bit reader set). Returns 1 on success, 0 for invalid data.
int InflateBlocks(InflateState* state);
