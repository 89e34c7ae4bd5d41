// mszip_tables.cpp: decoding tables of canonical Huffman codes for MSZIP.
//
// A code is decoded by one lookup in a root table of 2^rootBits entries,
// indexed by the next rootBits input bits (first bit lowest). Codes longer
// than the root continue in a sub-table that the root entry links to, sized
// for exactly the codes below that prefix, so no code takes more than two
// lookups (Deflate codes are at most 15 bits).
#include <cstring>

#include "mszip_state.h"

// RFC 1951, 3.2.5: literal/length symbols 257..285, then 286 and 287, which
// only the fixed code assigns and which Deflate forbids (extra 99 = invalid).
const uint16_t lengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
const uint8_t lengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, HuffOpInvalid, HuffOpInvalid};
// Distance symbols 0..29.
const uint16_t distBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,    65,    97,    129,
                               193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t distExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

namespace {

const HuffEntry invalidEntry = {HuffOpInvalid, 0, {0}};

// The entry that a symbol decodes to, consuming `bits` bits at its level.
HuffEntry SymbolEntry(uint32_t symbol, uint32_t bits, uint32_t simpleCount, const uint16_t* base,
                      const uint8_t* extra) {
    HuffEntry entry;
    entry.bits = static_cast<uint8_t>(bits);
    if (symbol < simpleCount) {
        entry.op = symbol == 256 ? HuffOpEndOfBlock : HuffOpLiteral;
        entry.value = static_cast<uint16_t>(symbol);
    } else {
        entry.op = extra[symbol - simpleCount];
        entry.value = base[symbol - simpleCount];
    }
    return entry;
}

void FillInvalid(HuffEntry* table, uint32_t entries) {
    for (uint32_t i = 0; i < entries; i++) table[i] = invalidEntry;
}

// Width of the sub-table that starts with a code of length `length`: grown
// one bit at a time while the codes still to be placed (remaining[], this
// one included) leave patterns of the current width unused.
uint32_t SubTableBits(uint32_t length, uint32_t rootBits, uint32_t maxLength, const uint16_t* remaining) {
    uint32_t bits = length - rootBits;
    int32_t unused = 1 << bits;
    while (bits + rootBits < maxLength) {
        unused -= remaining[bits + rootBits];
        if (unused <= 0) break;
        bits++;
        unused <<= 1;
    }
    return bits;
}

}  // namespace

int BuildHuffTable(const uint8_t* lengths, uint32_t count, uint32_t simpleCount, const uint16_t* base,
                   const uint8_t* extra, HuffEntry* pool, uint32_t poolEntries, uint32_t* rootBits) {
    if (count > deflateMaxLitLenSymbols) return HuffBuildPoolTooSmall;

    uint16_t lengthCount[deflateMaxCodeBits + 1] = {};
    for (uint32_t symbol = 0; symbol < count; symbol++) {
        if (lengths[symbol] > deflateMaxCodeBits) return HuffBuildOversubscribed;
        lengthCount[lengths[symbol]]++;
    }

    if (lengthCount[0] == count) {
        // Empty code: a single invalid entry under a 0-bit root, so that any
        // lookup finds op 99 and fails the block.
        if (poolEntries < 1) return HuffBuildPoolTooSmall;
        pool[0] = invalidEntry;
        *rootBits = 0;
        return HuffBuildComplete;
    }

    uint32_t minLength = 1;
    while (lengthCount[minLength] == 0) minLength++;
    uint32_t maxLength = deflateMaxCodeBits;
    while (lengthCount[maxLength] == 0) maxLength--;
    uint32_t root = *rootBits;
    if (root < minLength) root = minLength;
    if (root > maxLength) root = maxLength;
    *rootBits = root;

    // Kraft sum, counted in unused codes: start with the one empty prefix and
    // double it per bit. Negative means more codes than patterns.
    int32_t unusedCodes = 1;
    for (uint32_t length = 1; length <= deflateMaxCodeBits; length++) {
        unusedCodes = unusedCodes * 2 - lengthCount[length];
        if (unusedCodes < 0) return HuffBuildOversubscribed;
    }

    // Symbols in canonical order: by length, then by symbol.
    uint16_t offsets[deflateMaxCodeBits + 2] = {};
    for (uint32_t length = 1; length <= deflateMaxCodeBits; length++) {
        offsets[length + 1] = static_cast<uint16_t>(offsets[length] + lengthCount[length]);
    }
    uint16_t sorted[deflateMaxLitLenSymbols];
    for (uint32_t symbol = 0; symbol < count; symbol++) {
        if (lengths[symbol] != 0) sorted[offsets[lengths[symbol]]++] = static_cast<uint16_t>(symbol);
    }
    uint32_t codeCount = count - lengthCount[0];

    uint32_t rootEntries = 1u << root;
    if (rootEntries > poolEntries) return HuffBuildPoolTooSmall;
    FillInvalid(pool, rootEntries);
    uint32_t usedEntries = rootEntries;

    // Codes are counted bit-reversed, because tables are indexed by the bits
    // in the order they are read. `table`/`tableBits` is the innermost open
    // table, `drop` the code bits consumed before it, `subPrefix` the root
    // index that links to it.
    HuffEntry* table = pool;
    uint32_t tableBits = root;
    uint32_t drop = 0;
    const uint32_t rootMask = rootEntries - 1;
    uint32_t subPrefix = rootEntries;  // no sub-table open yet
    uint32_t code = 0;
    uint16_t remaining[deflateMaxCodeBits + 1];
    memcpy(remaining, lengthCount, sizeof remaining);

    for (uint32_t i = 0; i < codeCount; i++) {
        uint32_t symbol = sorted[i];
        uint32_t length = lengths[symbol];
        if (length > root && (code & rootMask) != subPrefix) {
            uint32_t subBits = SubTableBits(length, root, maxLength, remaining);
            uint32_t subEntries = 1u << subBits;
            if (subEntries > poolEntries - usedEntries) return HuffBuildPoolTooSmall;
            subPrefix = code & rootMask;
            HuffEntry link;
            link.op = static_cast<uint8_t>(HuffOpLinkBase + subBits);
            link.bits = static_cast<uint8_t>(root);
            link.next = static_cast<uint16_t>(usedEntries);
            pool[subPrefix] = link;
            table = pool + usedEntries;
            tableBits = subBits;
            drop = root;
            FillInvalid(table, subEntries);
            usedEntries += subEntries;
        }

        HuffEntry entry = SymbolEntry(symbol, length - drop, simpleCount, base, extra);
        uint32_t step = 1u << (length - drop);
        for (uint32_t index = code >> drop; index < (1u << tableBits); index += step) table[index] = entry;

        // Next code: add one at bit length-1 of the bit-reversed counter.
        uint32_t carry = 1u << (length - 1);
        while (code & carry) carry >>= 1;
        code = carry != 0 ? (code & (carry - 1)) + carry : 0;
        remaining[length]--;
    }

    // A lone 1-bit code counts as complete: its unused twin decodes as invalid.
    return unusedCodes > 0 && maxLength != 1 ? HuffBuildIncomplete : HuffBuildComplete;
}

int BuildFixedTables(InflateState* state) {
    // RFC 1951, 3.2.6.
    uint8_t lengths[deflateMaxLitLenSymbols];
    memset(lengths + 0, 8, 144);
    memset(lengths + 144, 9, 112);
    memset(lengths + 256, 7, 24);
    memset(lengths + 280, 8, 8);
    uint32_t litBits = state->fixedLitBits;
    if (BuildHuffTable(lengths, deflateMaxLitLenSymbols, 257, lengthBase, lengthExtra, state->fixedLitTable,
                       fixedLitTableEntries, &litBits) != HuffBuildComplete) {
        return 0;
    }
    state->fixedLitBits = litBits;

    // 30 distance codes of 5 bits leave two codes unused; they decode as invalid.
    memset(lengths, 5, deflateMaxDistSymbols);
    uint32_t distBits = state->fixedDistBits;
    int result = BuildHuffTable(lengths, deflateMaxDistSymbols, 0, distBase, distExtra, state->fixedDistTable,
                                fixedDistTableEntries, &distBits);
    if (result != HuffBuildComplete && result != HuffBuildIncomplete) return 0;
    state->fixedDistBits = distBits;
    return 1;
}
