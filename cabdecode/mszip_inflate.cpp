// mszip_inflate.cpp: decoding the Deflate blocks of one MSZIP block.
//
// InflateBlocks walks the Deflate blocks (stored, fixed, dynamic); the
// Huffman-coded ones go through InflateCodes, the hot loop. Output goes
// straight into the caller's window buffer and is limited by outLeft; a
// match or stored run that reaches past the limit is cut there.
#include <cstddef>
#include <cstring>

#include "mszip_bits.h"
#include "mszip_copy.h"
#include "mszip_state.h"

namespace {

enum InflateBlockType : uint32_t {
    BlockStored = 0,
    BlockFixed = 1,
    BlockDynamic = 2,
};

// The order in which a dynamic block lists the code-length code's lengths.
const uint8_t codeLengthOrder[deflateCodeLenSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Walks a code's tables from an entry of its root table, for codes longer
// than the root. Requires the table bits of the code to be loaded (15 at
// most in all). Returns the final entry with its bits consumed, or an entry
// with op 99 for an invalid code.
inline HuffEntry DecodeEntry(BitCursor& cursor, const HuffEntry* table, uint32_t rootBits) {
    HuffEntry entry = table[PeekBits(cursor, rootBits)];
    while (entry.op > HuffOpLiteral) {
        if (entry.op == HuffOpInvalid) return entry;
        DropBits(cursor, entry.bits);
        entry = table[entry.next + PeekBits(cursor, entry.op - HuffOpLinkBase)];
    }
    DropBits(cursor, entry.bits);
    return entry;
}

// Like DecodeEntry, loading bytes one at a time as each level needs them;
// safe at the end of the input.
inline HuffEntry DecodeEntrySlow(BitCursor& cursor, const HuffEntry* table, uint32_t rootBits) {
    NeedBits(cursor, rootBits);
    HuffEntry entry = table[PeekBits(cursor, rootBits)];
    while (entry.op > HuffOpLiteral) {
        if (entry.op == HuffOpInvalid) return entry;
        DropBits(cursor, entry.bits);
        uint32_t subBits = entry.op - HuffOpLinkBase;
        NeedBits(cursor, subBits);
        entry = table[entry.next + PeekBits(cursor, subBits)];
    }
    DropBits(cursor, entry.bits);
    return entry;
}

// Decodes literal/length and distance codes until the end of the block or
// until outLeft reaches 0. Returns 1, or 0 for an invalid code.
//
// The fast loop runs while at least 8 input bytes remain to load and the
// longest match still fits under the output limit: one refill then holds
// 56 bits, enough for a literal/length code (15), its extra bits (5), a
// distance code (15) and its extra bits (13). The slow loop decodes one
// symbol at a time with every check and hands back to the fast loop.
int InflateCodes(InflateState* state, const HuffEntry* litTable, const HuffEntry* distTable, uint32_t litBits,
                 uint32_t distBits) {
    BitCursor cursor = LoadCursor(state);
    uint8_t* const outStart = state->outStart;
    uint8_t* out = state->outNext;
    uint8_t* const outEnd = out + state->outLeft;
    const uint64_t litMask = (uint64_t(1) << litBits) - 1;
    const uint64_t distMask = (uint64_t(1) << distBits) - 1;
    int result = 1;

    for (;;) {
        while (CanRefillFast(cursor) && outEnd - out >= static_cast<std::ptrdiff_t>(deflateMaxMatchBytes)) {
            RefillFast(cursor);
            HuffEntry entry = litTable[cursor.buf & litMask];
            if (entry.op > HuffOpLiteral) {
                entry = DecodeEntry(cursor, litTable, litBits);
                if (entry.op == HuffOpInvalid) goto invalid;
            } else {
                DropBits(cursor, entry.bits);
            }
            if (entry.op == HuffOpLiteral) {
                *out++ = static_cast<uint8_t>(entry.value);
                // A second literal fits without a refill (41 bits remain).
                entry = litTable[cursor.buf & litMask];
                if (entry.op != HuffOpLiteral) continue;
                DropBits(cursor, entry.bits);
                *out++ = static_cast<uint8_t>(entry.value);
                continue;
            }
            if (entry.op == HuffOpEndOfBlock) goto done;

            uint32_t length = entry.value + PeekBits(cursor, entry.op);
            DropBits(cursor, entry.op);
            entry = distTable[cursor.buf & distMask];
            if (entry.op > HuffOpLiteral) {
                entry = DecodeEntry(cursor, distTable, distBits);
                if (entry.op == HuffOpInvalid) goto invalid;
            } else {
                DropBits(cursor, entry.bits);
            }
            uint32_t distance = entry.value + PeekBits(cursor, entry.op);
            DropBits(cursor, entry.op);
            CopyMatch(outStart, static_cast<uint32_t>(out - outStart), distance, length);
            out += length;
        }

        // One symbol with every check.
        if (out == outEnd) goto done;
        HuffEntry entry = DecodeEntrySlow(cursor, litTable, litBits);
        if (entry.op == HuffOpInvalid) goto invalid;
        if (entry.op == HuffOpLiteral) {
            *out++ = static_cast<uint8_t>(entry.value);
            continue;
        }
        if (entry.op == HuffOpEndOfBlock) goto done;

        uint32_t length = entry.value + ReadBits(cursor, entry.op);
        entry = DecodeEntrySlow(cursor, distTable, distBits);
        if (entry.op == HuffOpInvalid) goto invalid;
        uint32_t distance = entry.value + ReadBits(cursor, entry.op);
        uint32_t room = static_cast<uint32_t>(outEnd - out);
        if (length > room) length = room;  // the rest of the match is dropped
        CopyMatch(outStart, static_cast<uint32_t>(out - outStart), distance, length);
        out += length;
    }

invalid:
    result = 0;
done:
    SaveCursor(state, cursor);
    state->outNext = out;
    state->outLeft = static_cast<uint32_t>(outEnd - out);
    return result;
}

// A stored block: LEN, NLEN = ~LEN on the next byte boundary, then LEN bytes.
int InflateStored(InflateState* state) {
    BitCursor cursor = LoadCursor(state);
    DropBits(cursor, cursor.count & 7);
    uint32_t length = ReadBits(cursor, 16);
    uint32_t lengthComplement = ReadBits(cursor, 16);
    // Whole bytes still held in the buffer (the hot loop loads ahead) go
    // back to the input: the stored bytes start right behind NLEN.
    cursor.pos -= cursor.count >> 3;
    cursor.buf = 0;
    cursor.count = 0;
    SaveCursor(state, cursor);
    if (lengthComplement != (length ^ 0xFFFF)) return 0;
    if (cursor.pos > cursor.length || length > cursor.length - cursor.pos) return 0;

    uint32_t copied = length < state->outLeft ? length : state->outLeft;
    memcpy(state->outNext, cursor.data + cursor.pos, copied);
    state->inputPos = cursor.pos + length;
    state->outNext += copied;
    state->outLeft -= copied;
    return 1;
}

// A dynamic block: the code-length code, the literal/length and distance
// code lengths it encodes, then the block's codes.
int InflateDynamic(InflateState* state) {
    BitCursor cursor = LoadCursor(state);
    uint32_t litCount = ReadBits(cursor, 5) + 257;
    uint32_t distCount = ReadBits(cursor, 5) + 1;
    uint32_t codeLenCount = ReadBits(cursor, 4) + 4;
    if (litCount > 286 || distCount > deflateMaxDistSymbols) return 0;

    uint8_t codeLenLengths[deflateCodeLenSymbols] = {};
    for (uint32_t i = 0; i < codeLenCount; i++) codeLenLengths[codeLengthOrder[i]] = static_cast<uint8_t>(ReadBits(cursor, 3));
    HuffEntry* const litPool = state->dynamicPool;
    HuffEntry* const distPool = state->dynamicPool + dynamicLitPoolEntries;
    uint32_t codeLenBits = dynamicCodeLenRootBits;
    if (BuildHuffTable(codeLenLengths, deflateCodeLenSymbols, deflateCodeLenSymbols, nullptr, nullptr, litPool,
                       dynamicLitPoolEntries, &codeLenBits) != HuffBuildComplete) {
        return 0;
    }

    // Code lengths 0..15; 16 repeats the previous length 3..6 times, 17 and
    // 18 write 3..10 and 11..138 zeros. The previous length starts at 0.
    uint8_t lengths[286 + deflateMaxDistSymbols];
    uint32_t lengthTotal = litCount + distCount;
    uint32_t previous = 0;
    for (uint32_t i = 0; i < lengthTotal;) {
        // The root of the code-length table holds every code (7 bits at most).
        NeedBits(cursor, codeLenBits);
        HuffEntry entry = litPool[PeekBits(cursor, codeLenBits)];
        if (entry.op != HuffOpLiteral) return 0;
        DropBits(cursor, entry.bits);
        uint32_t symbol = entry.value;
        if (symbol < 16) {
            lengths[i++] = static_cast<uint8_t>(symbol);
            previous = symbol;
            continue;
        }
        uint32_t repeat;
        uint32_t value = 0;
        if (symbol == 16) {
            repeat = 3 + ReadBits(cursor, 2);
            value = previous;
        } else if (symbol == 17) {
            repeat = 3 + ReadBits(cursor, 3);
            previous = 0;
        } else {
            repeat = 11 + ReadBits(cursor, 7);
            previous = 0;
        }
        if (repeat > lengthTotal - i) return 0;
        memset(lengths + i, static_cast<int>(value), repeat);
        i += repeat;
    }
    SaveCursor(state, cursor);

    uint32_t litBits = dynamicLitRootBits;
    if (BuildHuffTable(lengths, litCount, 257, lengthBase, lengthExtra, litPool, dynamicLitPoolEntries, &litBits) !=
        HuffBuildComplete) {
        return 0;
    }
    uint32_t distBits = dynamicDistRootBits;
    if (BuildHuffTable(lengths + litCount, distCount, 0, distBase, distExtra, distPool, dynamicDistPoolEntries,
                       &distBits) != HuffBuildComplete) {
        return 0;
    }
    return InflateCodes(state, litPool, distPool, litBits, distBits);
}

}  // namespace

int InflateBlocks(InflateState* state) {
    while (state->lastBlock == 0 && state->outLeft > 0) {
        BitCursor cursor = LoadCursor(state);
        // A block header past the end: the stream ran out before its final block.
        if (InputOverrun(cursor)) return 0;
        state->lastBlock = ReadBits(cursor, 1);
        uint32_t type = ReadBits(cursor, 2);
        SaveCursor(state, cursor);
        int ok;
        switch (type) {
            case BlockStored:
                ok = InflateStored(state);
                break;
            case BlockFixed:
                ok = InflateCodes(state, state->fixedLitTable, state->fixedDistTable, state->fixedLitBits,
                                  state->fixedDistBits);
                break;
            case BlockDynamic:
                ok = InflateDynamic(state);
                break;
            default:
                ok = 0;
                break;
        }
        if (!ok) return 0;
    }
    // The decoded data must have come from the input, not from the zeros
    // read past its end.
    return InputOverrun(LoadCursor(state)) ? 0 : 1;
}
