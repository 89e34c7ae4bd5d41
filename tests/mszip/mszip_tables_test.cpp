// mszip_tables_test.cpp: the decoding tables on their own: every code of
// random complete codes must lead to its symbol with its exact length, and
// the build must report incomplete, over-subscribed and too-large codes.
#include <gtest/gtest.h>

#include <algorithm>

#include "deflate_writer.h"
#include "mszip_harness.h"
#include "mszip_state.h"

namespace {

// Follows the bits of a code (first bit lowest) through the tables, as the
// decoder does. Returns the final entry and the bits consumed; an entry
// with op 99 when the walk meets an invalid entry.
HuffEntry Walk(const HuffEntry* pool, uint32_t rootBits, uint32_t bits, uint32_t* consumed) {
    *consumed = 0;
    HuffEntry entry = pool[bits & ((1u << rootBits) - 1)];
    while (entry.op > HuffOpLiteral) {
        if (entry.op == HuffOpInvalid) return entry;
        bits >>= entry.bits;
        *consumed += entry.bits;
        entry = pool[entry.next + (bits & ((1u << (entry.op - HuffOpLinkBase)) - 1))];
    }
    *consumed += entry.bits;
    return entry;
}

uint32_t Reverse(uint32_t code, uint32_t length) {
    uint32_t reversed = 0;
    for (uint32_t i = 0; i < length; i++) reversed |= ((code >> i) & 1) << (length - 1 - i);
    return reversed;
}

// A random complete code of `count` symbols, at most 15 bits: split leaves
// of a one-leaf tree, preferring deep ones now and then so that long codes
// (and sub-tables) are common.
std::vector<uint8_t> RandomCompleteLengths(uint32_t count, TestRandom& random) {
    std::vector<uint8_t> leaves = {0};
    while (leaves.size() < count) {
        size_t pick = random.Below(static_cast<uint32_t>(leaves.size()));
        if (random.Below(2) == 0) pick = std::max_element(leaves.begin(), leaves.end()) - leaves.begin();
        if (leaves[pick] >= 15) pick = std::min_element(leaves.begin(), leaves.end()) - leaves.begin();
        uint8_t depth = static_cast<uint8_t>(leaves[pick] + 1);
        leaves[pick] = depth;
        leaves.push_back(depth);
    }
    for (size_t i = leaves.size(); i > 1; i--) std::swap(leaves[i - 1], leaves[random.Below(static_cast<uint32_t>(i))]);
    return leaves;
}

// Builds `lengths` with all symbols simple, checks every symbol's code and
// that unused codes are invalid; returns the build result.
int BuildAndCheck(const std::vector<uint8_t>& lengths, uint32_t requestedRoot, uint32_t poolEntries,
                  uint32_t* rootBits) {
    std::vector<HuffEntry> pool(poolEntries);
    *rootBits = requestedRoot;
    int result = BuildHuffTable(lengths.data(), static_cast<uint32_t>(lengths.size()),
                                static_cast<uint32_t>(lengths.size()), nullptr, nullptr, pool.data(), poolEntries,
                                rootBits);
    if (result != HuffBuildComplete && result != HuffBuildIncomplete) return result;
    HuffCode code(lengths);
    for (uint32_t symbol = 0; symbol < lengths.size(); symbol++) {
        if (lengths[symbol] == 0) continue;
        uint32_t consumed = 0;
        HuffEntry entry = Walk(pool.data(), *rootBits, Reverse(code.codes[symbol], lengths[symbol]), &consumed);
        uint8_t expectedOp = symbol == 256 ? HuffOpEndOfBlock : HuffOpLiteral;
        EXPECT_EQ(entry.op, expectedOp) << "symbol " << symbol;
        EXPECT_EQ(entry.value, symbol);
        EXPECT_EQ(consumed, lengths[symbol]) << "symbol " << symbol;
    }
    return result;
}

TEST(MszipTables, RandomCompleteCodesDecodeEverySymbol) {
    TestRandom random(2024);
    for (int round = 0; round < 400; round++) {
        bool literal = round % 2 == 0;
        uint32_t count = literal ? 2 + random.Below(285) : 2 + random.Below(29);
        std::vector<uint8_t> lengths = RandomCompleteLengths(count, random);
        uint32_t rootBits = 0;
        uint32_t requested = literal ? dynamicLitRootBits : dynamicDistRootBits;
        uint32_t pool = literal ? dynamicLitPoolEntries : dynamicDistPoolEntries;
        ASSERT_EQ(BuildAndCheck(lengths, requested, pool, &rootBits), HuffBuildComplete) << "round " << round;
        uint32_t maxLength = *std::max_element(lengths.begin(), lengths.end());
        EXPECT_EQ(rootBits, std::min(requested, maxLength));
    }
}

TEST(MszipTables, BuildResults) {
    const struct {
        const char* name;
        std::vector<uint8_t> lengths;
        uint32_t poolEntries;
        int result;
        uint32_t rootBits;  // reported root width (requested 6)
    } cases[] = {
        {"complete", {2, 2, 2, 3, 3}, 64, HuffBuildComplete, 3},
        {"one code of length 1", {0, 1, 0}, 64, HuffBuildComplete, 1},
        {"two codes of length 1", {1, 1}, 64, HuffBuildComplete, 1},
        {"empty", {0, 0, 0}, 64, HuffBuildComplete, 0},
        {"one code of length 2", {0, 2}, 64, HuffBuildIncomplete, 2},
        {"incomplete", {1, 2}, 64, HuffBuildIncomplete, 2},
        {"incomplete, long", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}, 1024, HuffBuildIncomplete, 6},
        {"over-subscribed", {1, 1, 1}, 64, HuffBuildOversubscribed, 0},
        {"over-subscribed deep", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 15}, 1024,
         HuffBuildOversubscribed, 0},
        {"root larger than the pool", {3, 3, 3, 3, 3, 3, 3, 3}, 7, HuffBuildPoolTooSmall, 0},
    };
    for (const auto& c : cases) {
        uint32_t rootBits = 0;
        int result = BuildAndCheck(c.lengths, 6, c.poolEntries, &rootBits);
        EXPECT_EQ(result, c.result) << c.name;
        if (result == HuffBuildComplete || result == HuffBuildIncomplete) {
            EXPECT_EQ(rootBits, c.rootBits) << c.name;
        }
    }
}

TEST(MszipTables, UnusedCodesAndEmptyCodeAreInvalid) {
    // One code of length 1: its twin is invalid.
    std::vector<HuffEntry> pool(8);
    const uint8_t single[2] = {0, 1};
    uint32_t rootBits = 6;
    ASSERT_EQ(BuildHuffTable(single, 2, 2, nullptr, nullptr, pool.data(), 8, &rootBits), HuffBuildComplete);
    ASSERT_EQ(rootBits, 1u);
    EXPECT_EQ(pool[0].op, HuffOpLiteral);
    EXPECT_EQ(pool[1].op, HuffOpInvalid);
    // Empty: a 0-bit root whose single entry is invalid.
    const uint8_t none[3] = {0, 0, 0};
    rootBits = 6;
    ASSERT_EQ(BuildHuffTable(none, 3, 3, nullptr, nullptr, pool.data(), 8, &rootBits), HuffBuildComplete);
    EXPECT_EQ(rootBits, 0u);
    EXPECT_EQ(pool[0].op, HuffOpInvalid);
}

TEST(MszipTables, FixedTables) {
    std::vector<uint8_t> stateBytes(sizeof(InflateState), 0);
    InflateState* state = reinterpret_cast<InflateState*>(stateBytes.data());
    state->fixedLitBits = fixedLitRootBits;
    state->fixedDistBits = fixedDistRootBits;
    ASSERT_EQ(BuildFixedTables(state), 1);
    EXPECT_EQ(state->fixedLitBits, 7u);
    EXPECT_EQ(state->fixedDistBits, 5u);
    HuffCode lit = FixedLitCode();
    for (uint32_t symbol = 0; symbol < 288; symbol++) {
        uint32_t consumed = 0;
        HuffEntry entry = Walk(state->fixedLitTable, 7, Reverse(lit.codes[symbol], lit.lengths[symbol]), &consumed);
        if (symbol < 256) {
            EXPECT_EQ(entry.op, HuffOpLiteral);
            EXPECT_EQ(entry.value, symbol);
        } else if (symbol == 256) {
            EXPECT_EQ(entry.op, HuffOpEndOfBlock);
        } else if (symbol < 286) {
            EXPECT_EQ(entry.op, lengthExtra[symbol - 257]) << symbol;
            EXPECT_EQ(entry.value, lengthBase[symbol - 257]) << symbol;
        } else {
            EXPECT_EQ(entry.op, HuffOpInvalid) << symbol;
            continue;
        }
        EXPECT_EQ(consumed, lit.lengths[symbol]) << symbol;
    }
    for (uint32_t symbol = 0; symbol < 32; symbol++) {
        HuffEntry entry = state->fixedDistTable[Reverse(symbol, 5)];
        if (symbol < 30) {
            EXPECT_EQ(entry.op, distExtra[symbol]);
            EXPECT_EQ(entry.value, distBase[symbol]);
            EXPECT_EQ(entry.bits, 5);
        } else {
            EXPECT_EQ(entry.op, HuffOpInvalid);
        }
    }
}

TEST(MszipTables, LargestLiteralCodesFitTheirArea) {
    // A complete literal/length code whose last five 9-bit prefixes all need
    // 6-bit sub-tables: 512 + 5 * 64 = 832 entries. A smaller area (800)
    // would refuse this valid code.
    std::vector<uint8_t> lengths(286, 0);
    for (uint32_t s = 0; s <= 257; s++) lengths[s] = 15;
    const uint8_t shortLengths[13] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14};
    for (uint32_t i = 0; i < 13; i++) lengths[258 + i] = shortLengths[i];
    uint32_t rootBits = 0;
    EXPECT_EQ(BuildAndCheck(lengths, 9, dynamicLitPoolEntries, &rootBits), HuffBuildComplete);
    EXPECT_EQ(BuildAndCheck(lengths, 9, 832, &rootBits), HuffBuildComplete);
    EXPECT_EQ(BuildAndCheck(lengths, 9, 831, &rootBits), HuffBuildPoolTooSmall);
}

}  // namespace
