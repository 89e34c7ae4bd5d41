// mszip_stored_fixed_test.cpp: stored and fixed-code blocks, the reserved
// block type, and the end of the input.
#include <gtest/gtest.h>

#include "deflate_writer.h"
#include "mszip_harness.h"

namespace {

Bytes Text(const char* text) { return Bytes(text, text + strlen(text)); }

// Decodes one block in a fresh context; returns the status and fills `output`.
int DecodeOne(const Bytes& block, Bytes* output, uint32_t maxBlockSize = 32768) {
    MszipDecoder decoder(maxBlockSize);
    return decoder.Decode(block, output);
}

// zlib's view of a hand-built block, as a check of the test's own writer.
Bytes ZlibView(const Bytes& block) {
    Bytes output;
    EXPECT_TRUE(ZlibInflateBlock(block, {}, windowBytes, &output));
    return output;
}

TEST(MszipStored, ValidBlocks) {
    const struct {
        const char* name;
        std::vector<Bytes> pieces;  // one stored block each, the last one final
        Bytes expected;
    } cases[] = {
        {"LEN 0, NLEN FFFF", {{}}, {}},
        {"empty block, then data", {{}, Text("abc")}, Text("abc")},
        {"two blocks", {Text("hello, "), Text("world")}, Text("hello, world")},
        {"long block", {Bytes(5000, 'z')}, Bytes(5000, 'z')},
    };
    for (const auto& c : cases) {
        BitWriter writer;
        for (size_t i = 0; i < c.pieces.size(); i++) PutStoredBlock(writer, i + 1 == c.pieces.size(), c.pieces[i]);
        Bytes output;
        ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk) << c.name;
        EXPECT_EQ(output, c.expected) << c.name;
        EXPECT_EQ(ZlibView(writer.MszipBlock()), c.expected) << c.name;
    }
}

TEST(MszipStored, InvalidBlocks) {
    struct Case {
        const char* name;
        uint32_t len;
        uint32_t nlen;
        uint32_t bytesPresent;
    };
    const Case cases[] = {
        {"NLEN not the complement", 5, 5 ^ 0xFFFF ^ 0x0100, 5},
        {"NLEN equal to LEN", 5, 5, 5},
        {"LEN 0 with NLEN 0", 0, 0, 0},
        {"LEN beyond the input", 10, 10 ^ 0xFFFF, 9},
    };
    for (const Case& c : cases) {
        BitWriter writer;
        PutBlockHeader(writer, true, 0);
        writer.Align();
        writer.Put(c.len, 16);   // LEN
        writer.Put(c.nlen, 16);  // NLEN
        for (uint32_t i = 0; i < c.bytesPresent; i++) writer.PutByte('q');
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError) << c.name;
    }
}

TEST(MszipStored, LengthFieldsCutOffByTheEndOfInput) {
    // The input ends inside LEN or NLEN: the fields would come from bytes
    // past the end.
    for (uint32_t keep = 1; keep <= 4; keep++) {
        BitWriter writer;
        PutStoredBlock(writer, true, {});
        Bytes block = writer.MszipBlock();  // CK, header byte, LEN 0, NLEN FFFF
        block.resize(2 + keep);
        Bytes output;
        EXPECT_EQ(DecodeOne(block, &output), MszipDataError) << "bytes kept " << keep;
    }
}

TEST(MszipStored, FollowsCodedBlockOnItsByteBoundary) {
    // A fixed block long enough for the fast loop to load input ahead, then
    // a stored block: the bytes loaded ahead must go back to the input.
    HuffCode lit = FixedLitCode();
    BitWriter writer;
    PutBlockHeader(writer, false, 1);
    Bytes expected;
    for (char c : std::string("a fixed block before a stored one")) {
        lit.Put(writer, static_cast<uint8_t>(c));
        expected.push_back(static_cast<uint8_t>(c));
    }
    lit.Put(writer, 256);
    Bytes stored;
    for (int i = 0; i < 300; i++) stored.push_back(static_cast<uint8_t>(i * 13));
    PutStoredBlock(writer, true, stored);
    expected.insert(expected.end(), stored.begin(), stored.end());

    Bytes output;
    ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk);
    EXPECT_EQ(output, expected);
    EXPECT_EQ(ZlibView(writer.MszipBlock()), expected);
}

TEST(MszipBlockType, ReservedTypeFails) {
    for (bool final : {false, true}) {
        BitWriter writer;
        PutBlockHeader(writer, final, 3);
        writer.Put(0, 13);
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError);
    }
}

TEST(MszipFixed, LiteralsAndMatches) {
    HuffCode lit = FixedLitCode();
    HuffCode dist = FixedDistCode();
    BitWriter writer;
    PutBlockHeader(writer, true, 1);
    Bytes expected;
    // Every literal value (8- and 9-bit codes).
    for (uint32_t value = 0; value < 256; value++) {
        lit.Put(writer, value);
        expected.push_back(static_cast<uint8_t>(value));
    }
    // Every length symbol with its extra bits at both ends, at distances of
    // every distance symbol that the output so far allows.
    TestRandom random(5);
    for (uint32_t length = 3; length <= 258; length += 1 + random.Below(9)) {
        uint32_t distance = 1 + random.Below(static_cast<uint32_t>(expected.size()));
        PutMatch(writer, lit, dist, length, distance);
        for (uint32_t i = 0; i < length; i++) expected.push_back(expected[expected.size() - distance]);
    }
    for (uint32_t distance : {1u, 2u, 7u, 8u, 9u, 255u, 1024u, 4096u, 8193u}) {
        for (uint32_t length : {3u, 7u, 8u, 9u, 16u, 258u}) {
            if (distance > expected.size()) continue;
            PutMatch(writer, lit, dist, length, distance);
            for (uint32_t i = 0; i < length; i++) expected.push_back(expected[expected.size() - distance]);
        }
    }
    lit.Put(writer, 256);
    ASSERT_LE(expected.size(), windowBytes);

    Bytes output;
    ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk);
    EXPECT_EQ(output, expected);
    EXPECT_EQ(ZlibView(writer.MszipBlock()), expected);
}

TEST(MszipFixed, ForbiddenSymbolsFail) {
    HuffCode lit = FixedLitCode();
    HuffCode dist = FixedDistCode();
    const struct {
        const char* name;
        uint32_t litSymbol;   // after one literal 'x'
        uint32_t distSymbol;  // when litSymbol is a length
    } cases[] = {
        {"literal/length symbol 286", 286, 0},
        {"literal/length symbol 287", 287, 0},
        {"distance symbol 30", 257, 30},
        {"distance symbol 31", 257, 31},
    };
    for (const auto& c : cases) {
        BitWriter writer;
        PutBlockHeader(writer, true, 1);
        lit.Put(writer, 'x');
        lit.Put(writer, c.litSymbol);
        if (c.litSymbol < 286) dist.Put(writer, c.distSymbol);
        lit.Put(writer, 256);
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError) << c.name;
    }
}

TEST(MszipOutputLimit, StopsAtTheLimitAndIgnoresTheRest) {
    HuffCode lit = FixedLitCode();
    HuffCode dist = FixedDistCode();
    // Literals "ab", then a 258-byte match at distance 2, then a block of
    // the reserved type that decoding must never reach.
    BitWriter writer;
    PutBlockHeader(writer, false, 1);
    lit.Put(writer, 'a');
    lit.Put(writer, 'b');
    PutMatch(writer, lit, dist, 258, 2);
    lit.Put(writer, 256);
    PutBlockHeader(writer, true, 3);
    Bytes block = writer.MszipBlock();

    const struct {
        uint32_t maxBlockSize;
        uint32_t room;  // output size passed in
        uint32_t produced;
    } cases[] = {
        {1, 32768, 1},        // inside the literals
        {2, 32768, 2},        // right after them
        {100, 32768, 100},    // inside the match
        {32768, 50, 50},      // the caller's room is lower
        {260, 32768, 260},    // exactly the first block
    };
    for (const auto& c : cases) {
        MszipDecoder decoder(c.maxBlockSize);
        Bytes output;
        ASSERT_EQ(decoder.Decode(block, &output, c.room), MszipOk) << c.maxBlockSize << "/" << c.room;
        ASSERT_EQ(output.size(), c.produced);
        for (uint32_t i = 0; i < c.produced; i++) ASSERT_EQ(output[i], i % 2 ? 'b' : 'a') << i;
    }
    // With room for more, the decoder reaches the reserved block type.
    MszipDecoder decoder(261);
    Bytes output;
    EXPECT_EQ(decoder.Decode(block, &output), MszipDataError);
}

TEST(MszipEndOfInput, ShortLastCodeMayLookPastTheEnd) {
    // The fixed code's root is 7 bits; the stream ends 2 bits into the last
    // byte, so the lookup for the end-of-block code reads past the end.
    HuffCode lit = FixedLitCode();
    BitWriter writer;
    PutBlockHeader(writer, true, 1);  // 3 bits
    lit.Put(writer, 'a');             // 8 bits
    lit.Put(writer, 256);             // 7 bits: 18 in all, 3 bytes
    Bytes block = writer.MszipBlock();
    ASSERT_EQ(block.size(), 5u);
    Bytes output;
    ASSERT_EQ(DecodeOne(block, &output), MszipOk);
    EXPECT_EQ(output, Text("a"));
}

TEST(MszipEndOfInput, StreamCutShortFails) {
    // Codes that would consume bits past the end (zeros) are not data: a
    // truncated block fails even where the zeros would decode.
    Bytes data = TextLikeBytes(3000, 11);
    std::vector<Bytes> blocks = CompressFolder(data);
    ASSERT_EQ(blocks.size(), 1u);
    const Bytes& whole = blocks[0];
    Bytes output;
    ASSERT_EQ(DecodeOne(whole, &output), MszipOk);
    ASSERT_EQ(output, data);
    for (size_t cut : {size_t(1), size_t(2), size_t(5), whole.size() / 2, whole.size() - 3}) {
        Bytes shorter(whole.begin(), whole.end() - cut);
        EXPECT_EQ(DecodeOne(shorter, &output), MszipDataError) << "cut " << cut;
    }
    // Fixed block "a" with its end-of-block code cut off: zeros past the end
    // would read as the end-of-block code (0000000).
    HuffCode lit = FixedLitCode();
    BitWriter writer;
    PutBlockHeader(writer, true, 1);
    lit.Put(writer, 'a');
    Bytes block = writer.MszipBlock();  // 11 bits, 2 bytes
    EXPECT_EQ(DecodeOne(block, &output), MszipDataError);
}

}  // namespace
