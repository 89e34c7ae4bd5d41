// Quantum streams written by the reference encoder, decoded through the
// in-memory window: hand-checkable items, round trips, damaged input.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "quantum.h"
#include "quantum_reference.h"
#include "quantum_state.h"
#include "quantum_heap_fixture.h"
#include "quantum_test_io.h"
#include "quantum_test_support.h"

namespace {

class QuantumStream : public QuantumHeapTest {};

TEST_F(QuantumStream, MatchOfDistanceOneRepeatsTheLastByte) {
    RefQuantumEncoder encoder(10);
    encoder.Literal('x');
    encoder.Match(10, 1);
    std::vector<uint8_t> block = encoder.EndBlock();
    QuantumSession session(10);
    ASSERT_EQ(session.status, QuantumOk);
    std::vector<uint8_t> output;
    ASSERT_EQ(session.Block(block, 11, output), QuantumOk);
    EXPECT_EQ(std::string(output.begin(), output.end()), "xxxxxxxxxxx");
}

TEST_F(QuantumStream, MatchOfDistanceEqualToTheWindowSize) {
    for (int windowBits : {10, 12, 14}) {
        uint32_t windowSize = 1u << windowBits;
        RefQuantumEncoder encoder(windowBits);
        std::mt19937 rng(static_cast<uint32_t>(windowBits));
        for (uint32_t i = 0; i < windowSize; i++) encoder.Literal(static_cast<uint8_t>(rng()));
        std::vector<uint8_t> first = encoder.EndBlock();
        uint32_t firstSize = encoder.lastBlockOutput();
        // Each match copies the bytes produced exactly one window earlier.
        encoder.Match(259, windowSize);
        if (windowSize <= 4096) encoder.Match(3, windowSize);
        encoder.Match(4, windowSize);
        encoder.Match(17, windowSize);
        uint32_t secondSize = encoder.blockOutputSoFar();
        std::vector<uint8_t> second = encoder.EndBlock();

        QuantumSession session(windowBits);
        ASSERT_EQ(session.status, QuantumOk);
        std::vector<uint8_t> a, b;
        ASSERT_EQ(session.Block(first, firstSize, a), QuantumOk);
        ASSERT_EQ(session.Block(second, secondSize, b), QuantumOk) << windowBits;
        EXPECT_EQ(b, std::vector<uint8_t>(a.begin(), a.begin() + secondSize)) << windowBits;
    }
}

// A reach-back before anything was written reads zeros, not whatever the
// heap held (the test heap fills new blocks with 0xA5).
TEST_F(QuantumStream, ReachBackIntoAFreshWindowReadsZeros) {
    RefQuantumEncoder encoder(10);
    encoder.Literal('a');
    encoder.Match(6, 500);
    std::vector<uint8_t> block = encoder.EndBlock();
    for (int paged = 0; paged < 2; paged++) {
        ResetTestIo();
        if (paged) ForcePaging(10);
        QuantumSession session(10);
        ASSERT_EQ(session.status, QuantumOk);
        ASSERT_EQ(quantumState.windowBuffer == nullptr, paged == 1);
        std::vector<uint8_t> output;
        ASSERT_EQ(session.Block(block, 7, output), QuantumOk);
        EXPECT_EQ(output, (std::vector<uint8_t>{'a', 0, 0, 0, 0, 0, 0})) << paged;
    }
}

TEST_F(QuantumStream, MatchLongerThanTheBlockRestFailsCopyingNothing) {
    struct Case {
        uint32_t length;
        uint32_t room;  // bytes of the block left when the match comes
    } cases[] = {{4, 3}, {3, 2}, {5, 4}, {259, 258}, {4, 4}, {3, 3}, {259, 259}};
    for (const Case& c : cases) {
        RefQuantumEncoder encoder(10);
        encoder.Literal('a');
        encoder.Literal('b');
        encoder.Match(c.length, 2);
        std::vector<uint8_t> block = encoder.EndBlock();
        QuantumSession session(10);
        ASSERT_EQ(session.status, QuantumOk);
        std::vector<uint8_t> output;
        int status = session.Block(block, 2 + c.room, output);
        EXPECT_EQ(output[0], 'a');
        EXPECT_EQ(output[1], 'b');
        if (c.room < c.length) {
            EXPECT_EQ(status, QuantumDataError) << c.length << " in " << c.room;
            for (uint32_t i = 2; i < output.size(); i++) EXPECT_EQ(output[i], outputSentinel) << i;
            EXPECT_EQ(quantumState.windowPos, 2u) << "the window did not move";
        } else {
            EXPECT_EQ(status, QuantumOk);
            EXPECT_EQ(output, std::vector<uint8_t>(encoder.output().begin(), encoder.output().end()));
        }
    }
}

TEST_F(QuantumStream, TruncatedBlockFailsAtEveryLength) {
    RefQuantumEncoder encoder(12);
    RefStream stream = RandomStream(encoder, 99, 600, 600);
    ASSERT_EQ(stream.blocks.size(), 1u);
    const std::vector<uint8_t>& block = stream.blocks[0];
    for (size_t length = 0; length <= block.size(); length++) {
        QuantumSession session(12);
        ASSERT_EQ(session.status, QuantumOk);
        std::vector<uint8_t> output;
        std::vector<uint8_t> cut(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(length));
        int status = session.Block(cut, stream.blockSizes[0], output);
        if (length < block.size()) {
            EXPECT_EQ(status, QuantumDataError) << length << " of " << block.size();
            EXPECT_TRUE(quantumState.inputExhausted);
        } else {
            EXPECT_EQ(status, QuantumOk);
            EXPECT_EQ(output, stream.expected);
        }
    }
}

TEST_F(QuantumStream, RoundTrips) {
    struct Case {
        int windowBits;
        uint32_t outputBytes;
        uint32_t blockBytes;
    } cases[] = {{10, 200000, 32768}, {11, 100000, 1000}, {12, 150000, 4096},
                 {15, 200000, 32768}, {16, 120000, 777},  {21, 300000, 32768}};
    for (const Case& c : cases) {
        RefQuantumEncoder encoder(c.windowBits);
        RefStream stream = RandomStream(encoder, static_cast<uint32_t>(c.windowBits) * 31, c.outputBytes, c.blockBytes);
        QuantumSession session(c.windowBits);
        ASSERT_EQ(session.status, QuantumOk);
        std::vector<uint8_t> output;
        ASSERT_EQ(session.Stream(stream, output), QuantumOk) << c.windowBits;
        EXPECT_TRUE(output == stream.expected) << c.windowBits;
        for (int id = RefSelector; id <= RefPos5; id++) {
            const AdaptiveModel* models[] = {&quantumState.selectorModel,   &quantumState.literalModels[0],
                                             &quantumState.literalModels[1], &quantumState.literalModels[2],
                                             &quantumState.literalModels[3], &quantumState.lengthModel,
                                             &quantumState.posModel3,        &quantumState.posModel4,
                                             &quantumState.posModel5};
            const RefModel& ref = encoder.model(id);
            for (int32_t i = 0; i < models[id]->symbolCount; i++) {
                ASSERT_EQ(models[id]->entries[i].cumFreq, ref.CumFrom(static_cast<size_t>(i))) << id << " " << i;
                ASSERT_EQ(models[id]->entries[i].symbol, ref.symbols[static_cast<size_t>(i)]) << id << " " << i;
            }
        }
    }
}

TEST_F(QuantumStream, TextRoundTrip) {
    std::vector<uint8_t> text = SampleText(5, 400000);
    for (int windowBits : {16, 21}) {
        RefQuantumEncoder encoder(windowBits);
        RefStream stream = GreedyStream(encoder, text);
        ASSERT_EQ(stream.expected, text);
        QuantumSession session(windowBits);
        ASSERT_EQ(session.status, QuantumOk);
        std::vector<uint8_t> output;
        ASSERT_EQ(session.Stream(stream, output), QuantumOk);
        EXPECT_TRUE(output == text) << windowBits;
    }
}

TEST_F(QuantumStream, ResetStartsTheFolderAfreshButKeepsTheWindowBytes) {
    RefQuantumEncoder encoder(12);
    RefStream first = RandomStream(encoder, 1, 50000, 32768);
    encoder.ResetFolder();
    RefStream second = RandomStream(encoder, 2, 40000, 32768);
    // A match of the new folder that reaches back before its start reads
    // the bytes the previous folder left in the window.
    encoder.Literal('z');
    encoder.Match(40, 3000);
    std::vector<uint8_t> reachBack = encoder.EndBlock();

    QuantumSession session(12);
    ASSERT_EQ(session.status, QuantumOk);
    std::vector<uint8_t> output;
    ASSERT_EQ(session.Stream(first, output), QuantumOk);
    ASSERT_EQ(QuantumReset(session.handle), QuantumOk);
    EXPECT_EQ(quantumState.windowPos, 0u);
    EXPECT_EQ(quantumState.selectorModel.entries[0].cumFreq, 7u);
    output.clear();
    ASSERT_EQ(session.Stream(second, output), QuantumOk);
    EXPECT_TRUE(output == second.expected);

    // The same second folder from a fresh context decodes the same.
    session.Destroy();
    QuantumSession fresh(12);
    ASSERT_EQ(fresh.status, QuantumOk);
    std::vector<uint8_t> freshOutput;
    ASSERT_EQ(fresh.Stream(second, freshOutput), QuantumOk);
    EXPECT_TRUE(freshOutput == second.expected);
    fresh.Destroy();

    // Again with the reach-back block, which depends on the first folder.
    QuantumSession again(12);
    output.clear();
    ASSERT_EQ(again.Stream(first, output), QuantumOk);
    ASSERT_EQ(QuantumReset(again.handle), QuantumOk);
    ASSERT_EQ(again.Stream(second, output), QuantumOk);
    std::vector<uint8_t> tail;
    ASSERT_EQ(again.Block(reachBack, 41, tail), QuantumOk);
    EXPECT_EQ(tail, std::vector<uint8_t>(encoder.output().end() - 41, encoder.output().end()));
}

// Damaged and random input must end in QuantumOk or QuantumDataError without
// any access outside the input, output and window (the sanitizer build
// watches; the buffers are sized exactly).
TEST_F(QuantumStream, DamagedInputStaysInBounds) {
    std::mt19937 rng(2024);
    for (int windowBits : {10, 13, 17}) {
        RefQuantumEncoder encoder(windowBits);
        RefStream stream = RandomStream(encoder, 3, 100000, 32768);
        for (int paged = 0; paged < 2; paged++) {
            for (int round = 0; round < 60; round++) {
                ResetTestIo();
                if (paged) ForcePaging(static_cast<uint32_t>(windowBits));
                QuantumSession session(windowBits);
                ASSERT_EQ(session.status, QuantumOk);
                for (size_t i = 0; i < stream.blocks.size(); i++) {
                    std::vector<uint8_t> block = stream.blocks[i];
                    if (round % 3 == 0) {
                        for (uint8_t& byte : block) byte = static_cast<uint8_t>(rng());
                    } else {
                        for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0; flips--) {
                            block[rng() % block.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
                        }
                    }
                    if (round % 5 == 0) block.resize(rng() % (block.size() + 1));
                    uint32_t size = round % 7 == 0 ? static_cast<uint32_t>(rng() % 32769) : stream.blockSizes[i];
                    std::vector<uint8_t> output;
                    int status = session.Block(block, size, output);
                    ASSERT_TRUE(status == QuantumOk || status == QuantumDataError) << status;
                    if (!quantumState.storeFailed) {
                        ASSERT_LE(quantumState.outputCursor, output.data() + output.size());
                    }
                }
            }
        }
    }
}

}  // namespace
