// mszip_window_test.cpp: the history that the blocks of a folder share
// through the caller's buffer, and matches that reach into the previous
// block's tail and wrap at the buffer's end.
#include <gtest/gtest.h>

#include <algorithm>

#include "deflate_writer.h"
#include "mszip_harness.h"

namespace {

// One literal (distance 0) or match.
struct Op {
    uint32_t length;  // 1 for a literal
    uint32_t distance;
    uint8_t literal;
};

// The naive model of the window: every output byte is written at position
// p of the 32 KB buffer, and a match byte is read from (p - distance) mod
// 32768 at that moment.
Bytes ApplyOps(Bytes& window, const std::vector<Op>& ops) {
    uint32_t p = 0;
    for (const Op& op : ops) {
        if (op.distance == 0) {
            window[p++] = op.literal;
            continue;
        }
        for (uint32_t i = 0; i < op.length; i++, p++) window[p] = window[(p + windowBytes - op.distance) % windowBytes];
    }
    return Bytes(window.begin(), window.begin() + p);
}

// The ops as one final fixed-code block.
Bytes FixedBlock(const std::vector<Op>& ops) {
    HuffCode lit = FixedLitCode();
    HuffCode dist = FixedDistCode();
    BitWriter writer;
    PutBlockHeader(writer, true, 1);
    for (const Op& op : ops) {
        if (op.distance == 0) {
            lit.Put(writer, op.literal);
        } else {
            PutMatch(writer, lit, dist, op.length, op.distance);
        }
    }
    lit.Put(writer, 256);
    return writer.MszipBlock();
}

Bytes Pattern(uint32_t size, uint32_t seed) {
    Bytes data(size);
    for (uint32_t i = 0; i < size; i++) data[i] = static_cast<uint8_t>((i * 7 + seed) % 251);
    return data;
}

TEST(MszipWindow, SecondBlockReadsTheFirst) {
    Bytes folder = TextLikeBytes(4 * windowBytes + 1000, 21);
    std::vector<Bytes> blocks = CompressFolder(folder);
    ASSERT_EQ(blocks.size(), 5u);
    Bytes output;
    ASSERT_TRUE(DecodeFolder(blocks, &output));
    EXPECT_EQ(output, folder);

    // Alone, the second block has no history: its matches into the first
    // block's data read whatever the buffer holds, and the output differs.
    MszipDecoder alone;
    Bytes piece;
    ASSERT_EQ(alone.Decode(blocks[1], &piece), MszipOk);
    ASSERT_EQ(piece.size(), windowBytes);
    EXPECT_NE(piece, Bytes(folder.begin() + windowBytes, folder.begin() + 2 * windowBytes));
}

TEST(MszipWindow, MatchesWrapAtTheBufferEnd) {
    Bytes first = Pattern(windowBytes, 3);
    BitWriter storedWriter;
    PutStoredBlock(storedWriter, true, first);
    Bytes firstBlock = storedWriter.MszipBlock();
    ASSERT_LE(firstBlock.size(), windowBytes + 12);

    std::vector<Op> ops;
    ops.push_back({10, 32768, 0});  // p 0: the oldest byte is the one about to be overwritten
    ops.push_back({1, 0, 'X'});
    ops.push_back({1, 0, 'Y'});
    ops.push_back({10, 15, 0});     // p 12: 3 bytes before the wrap, then 'X', 'Y' and its own bytes
    ops.push_back({258, 40, 0});    // long match across the wrap
    ops.push_back({20, 1, 0});      // run
    ops.push_back({9, 300, 0});     // inside this block
    TestRandom random(9);
    uint32_t produced = 0;
    for (const Op& op : ops) produced += op.length;
    while (produced < 32000) {
        Op op;
        if (random.Below(3) == 0) {
            op = {1, 0, static_cast<uint8_t>(random.Next())};
        } else {
            op.length = 3 + random.Below(256);
            // Distances around the wrap point, inside the block, and far back.
            uint32_t kind = random.Below(3);
            op.distance = kind == 0   ? produced + 1 + random.Below(300)
                          : kind == 1 ? 1 + random.Below(produced < 300 ? produced : 300)
                                      : 1 + random.Below(32768);
            if (op.distance > 32768) op.distance = 32768;
            op.literal = 0;
        }
        ops.push_back(op);
        produced += op.length;
    }

    Bytes model = first;
    Bytes expected = ApplyOps(model, ops);
    ASSERT_EQ(expected.size(), produced);

    MszipDecoder decoder;
    Bytes output;
    ASSERT_EQ(decoder.Decode(firstBlock, &output), MszipOk);
    ASSERT_EQ(output, first);
    Bytes secondBlock = FixedBlock(ops);
    ASSERT_EQ(decoder.Decode(secondBlock, &output), MszipOk);
    EXPECT_EQ(output, expected);

    // zlib, primed with the first block, agrees.
    Bytes reference;
    ASSERT_TRUE(ZlibInflateBlock(secondBlock, first, windowBytes, &reference));
    EXPECT_EQ(reference, expected);
}

TEST(MszipWindow, FirstBlockMayReachBeforeTheFolder) {
    // Distances beyond all output so far read the buffer's present content.
    std::vector<Op> ops = {{100, 100, 0}, {1, 0, 'Z'}, {50, 32768, 0}, {30, 200, 0}};
    MszipDecoder decoder;
    decoder.window = Pattern(windowBytes, 5);
    Bytes model = decoder.window;
    Bytes expected = ApplyOps(model, ops);
    Bytes output;
    ASSERT_EQ(decoder.Decode(FixedBlock(ops), &output), MszipOk);
    EXPECT_EQ(output, expected);
    EXPECT_EQ(decoder.window, model);  // nothing beyond the output was touched
}

TEST(MszipWindow, OutputLimitCutsAWrappingMatch) {
    // The buffer holds a previous block; this one stops inside a match that
    // wraps, and leaves the rest of the buffer as it was.
    Bytes previous = Pattern(windowBytes, 8);
    std::vector<Op> ops = {{1, 0, 'A'}, {258, 3, 0}};
    for (uint32_t limit : {1u, 2u, 3u, 100u, 258u}) {
        MszipDecoder decoder(limit);
        decoder.window = previous;
        Bytes model = previous;
        Bytes expected = ApplyOps(model, ops);
        expected.resize(limit);
        Bytes output;
        ASSERT_EQ(decoder.Decode(FixedBlock(ops), &output), MszipOk) << limit;
        EXPECT_EQ(output, expected) << limit;
        EXPECT_TRUE(std::equal(decoder.window.begin() + limit, decoder.window.end(), previous.begin() + limit))
            << limit;
    }
}

}  // namespace
