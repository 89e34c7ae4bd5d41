// mszip_dynamic_test.cpp: dynamic-code blocks built field by field: header
// limits, the code-length repeat codes, codes that are complete, incomplete,
// over-subscribed or empty, and codes long enough to need sub-tables.
#include <gtest/gtest.h>

#include "deflate_writer.h"
#include "mszip_harness.h"

namespace {

int DecodeOne(const Bytes& block, Bytes* output) {
    MszipDecoder decoder;
    return decoder.Decode(block, output);
}

// Literal/length lengths: 286 symbols, all 0 except those given.
std::vector<uint8_t> LitLengths(std::initializer_list<std::pair<uint32_t, uint8_t>> set, size_t count = 286) {
    std::vector<uint8_t> lengths(count, 0);
    for (const auto& p : set) lengths[p.first] = p.second;
    return lengths;
}

// A small complete literal/length code: 'a', 'b', end of block and the
// length symbols 257 (3) and 258 (4), with lengths 2, 2, 2, 3, 3.
std::vector<uint8_t> SmallLitLengths() { return LitLengths({{'a', 2}, {'b', 2}, {256, 2}, {257, 3}, {258, 3}}); }

// Writes "ab" + a match of 4 at distance 2 + end of block with the given
// codes, after the header: the output is "ababab".
void PutAbMatch(BitWriter& writer, const HuffCode& lit, const HuffCode& dist, uint32_t distSymbol) {
    lit.Put(writer, 'a');
    lit.Put(writer, 'b');
    lit.Put(writer, 258);  // length 4
    dist.Put(writer, distSymbol);
    lit.Put(writer, 256);
}

TEST(MszipDynamic, SmallCompleteCodes) {
    std::vector<uint8_t> litLengths = SmallLitLengths();
    std::vector<uint8_t> distLengths = {0, 1, 0, 0, 1};  // symbols 1 (distance 2) and 4 (5..6)
    BitWriter writer;
    PutBlockHeader(writer, true, 2);
    PutDynamicHeader(writer, litLengths, distLengths);
    PutAbMatch(writer, HuffCode(litLengths), HuffCode(distLengths), 1);
    Bytes output;
    ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk);
    EXPECT_EQ(output, Bytes({'a', 'b', 'a', 'b', 'a', 'b'}));
    Bytes reference;
    ASSERT_TRUE(ZlibInflateBlock(writer.MszipBlock(), {}, windowBytes, &reference));
    EXPECT_EQ(reference, output);
}

TEST(MszipDynamic, HeaderCountLimits) {
    // HLIT = field + 257 may be at most 286, HDIST = field + 1 at most 30.
    const struct {
        uint32_t hlitField;
        uint32_t hdistField;
        int status;
    } cases[] = {
        {29, 29, MszipOk},         // 286 and 30: the largest valid counts
        {30, 0, MszipDataError},   // HLIT 287
        {31, 0, MszipDataError},   // HLIT 288
        {0, 30, MszipDataError},   // HDIST 31
        {0, 31, MszipDataError},   // HDIST 32
    };
    for (const auto& c : cases) {
        uint32_t litCount = c.hlitField + 257;
        uint32_t distCount = c.hdistField + 1;
        // 'a' and end of block (1 bit each); one 1-bit distance code.
        std::vector<uint8_t> litLengths(litCount, 0);
        litLengths['a'] = 1;
        litLengths[256] = 1;
        std::vector<uint8_t> distLengths(distCount, 0);
        distLengths[0] = 1;
        std::vector<CodeLengthSymbol> symbols;
        for (uint8_t length : litLengths) symbols.push_back({length, 0});
        for (uint8_t length : distLengths) symbols.push_back({length, 0});
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        PutDynamicHeaderRaw(writer, c.hlitField, c.hdistField, FullCodeLengthLengths(), symbols);
        HuffCode lit(litLengths);
        lit.Put(writer, 'a');
        lit.Put(writer, 256);
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), c.status) << c.hlitField << "/" << c.hdistField;
        if (c.status == MszipOk) {
            EXPECT_EQ(output, Bytes({'a'}));
        }
    }
}

TEST(MszipDynamic, RepeatCodes) {
    // The code: 'a' 2 bits; 'b'..'e', end of block and 258 (length 4) 3 bits.
    std::vector<uint8_t> litLengths =
        LitLengths({{'a', 2}, {'b', 3}, {'c', 3}, {'d', 3}, {'e', 3}, {256, 3}, {258, 3}});
    HuffCode lit(litLengths);
    HuffCode dist(std::vector<uint8_t>{1, 1});
    // Its 286 + 2 lengths, after a first symbol that covers symbols 0..2.
    auto lengthsAfter = [](CodeLengthSymbol first) {
        return std::vector<CodeLengthSymbol>{
            first,
            {18, 94 - 11},   // 3..96: zeros
            {2, 0},          // 97 'a'
            {3, 0},          // 98 'b'
            {16, 0},         // 99..101 'c'..'e': the previous length (3), 3 times
            {18, 138 - 11},  // 102..239: zeros
            {18, 16 - 11},   // 240..255: zeros
            {3, 0},          // 256 end of block
            {0, 0},          // 257
            {3, 0},          // 258 length 4
            {18, 27 - 11},   // 259..285: zeros
            {1, 0},          // distance 0
            {1, 0},          // distance 1
        };
    };
    const struct {
        const char* name;
        CodeLengthSymbol first;
    } cases[] = {
        // A 16 first repeats length 0: the previous length starts at 0 in
        // every Deflate block, whatever the block before ended with.
        {"16 as the first symbol", {16, 0}},
        {"17 as the first symbol", {17, 0}},
        {"three zeros", {0, 0}},
    };
    for (const auto& c : cases) {
        BitWriter writer;
        // A first Deflate block whose last code length is 1, not final.
        std::vector<uint8_t> firstLit = SmallLitLengths();
        std::vector<uint8_t> firstDist = {0, 1, 0, 0, 1};
        PutBlockHeader(writer, false, 2);
        PutDynamicHeader(writer, firstLit, firstDist);
        PutAbMatch(writer, HuffCode(firstLit), HuffCode(firstDist), 1);
        // The block under test.
        PutBlockHeader(writer, true, 2);
        std::vector<CodeLengthSymbol> symbols = lengthsAfter(c.first);
        if (c.first.symbol == 0) symbols.insert(symbols.begin(), 2, CodeLengthSymbol{0, 0});
        PutDynamicHeaderRaw(writer, 29, 1, FullCodeLengthLengths(), symbols);
        lit.Put(writer, 'e');
        lit.Put(writer, 'a');
        lit.Put(writer, 258);  // length 4
        dist.Put(writer, 1);   // distance 2
        lit.Put(writer, 256);
        Bytes output;
        ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk) << c.name;
        EXPECT_EQ(output, Bytes({'a', 'b', 'a', 'b', 'a', 'b', 'e', 'a', 'e', 'a', 'e', 'a'})) << c.name;
    }
}

TEST(MszipDynamic, RepeatRunningPastTheCountsFails) {
    const struct {
        const char* name;
        CodeLengthSymbol last;  // after 286 + 1 lengths
    } cases[] = {
        {"16 over the end", {16, 0}},   // 3 lengths where 1 is left
        {"17 over the end", {17, 0}},   // 3 zeros
        {"18 over the end", {18, 0}},   // 11 zeros
    };
    for (const auto& c : cases) {
        std::vector<CodeLengthSymbol> symbols;
        std::vector<uint8_t> litLengths = SmallLitLengths();
        for (uint8_t length : litLengths) symbols.push_back({length, 0});
        symbols.push_back({1, 0});  // distance 0
        symbols.push_back(c.last);  // distance 1 and beyond
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        PutDynamicHeaderRaw(writer, 29, 1, FullCodeLengthLengths(), symbols);
        writer.Put(0, 32);
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError) << c.name;
    }
}

TEST(MszipDynamic, SingleOneBitDistanceCode) {
    // One distance code of length 1 is accepted; its unused twin is invalid.
    std::vector<uint8_t> litLengths = SmallLitLengths();
    std::vector<uint8_t> distLengths = {0, 1};  // distance 2 only, code 0
    for (uint32_t twin : {0u, 1u}) {
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        PutDynamicHeader(writer, litLengths, distLengths);
        HuffCode lit(litLengths);
        lit.Put(writer, 'a');
        lit.Put(writer, 'b');
        lit.Put(writer, 258);  // length 4
        writer.PutCode(twin, 1);  // the distance code: 0 is symbol 1, 1 is unused
        lit.Put(writer, 256);
        Bytes output;
        if (twin == 0) {
            ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk);
            EXPECT_EQ(output, Bytes({'a', 'b', 'a', 'b', 'a', 'b'}));
        } else {
            EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError);
        }
    }
}

TEST(MszipDynamic, BadCodesFail) {
    const std::vector<uint8_t> goodLit = SmallLitLengths();
    const std::vector<uint8_t> goodDist = {0, 1, 0, 0, 1};
    const struct {
        const char* name;
        std::vector<uint8_t> codeLen;  // code-length code lengths (19)
        std::vector<uint8_t> lit;
        std::vector<uint8_t> dist;
    } cases[] = {
        {"literal/length over-subscribed", FullCodeLengthLengths(),
         LitLengths({{'a', 1}, {'b', 1}, {256, 1}, {257, 3}, {258, 3}}), goodDist},
        {"literal/length incomplete", FullCodeLengthLengths(),
         LitLengths({{'a', 2}, {'b', 2}, {256, 2}, {257, 3}}), goodDist},
        {"literal/length single code of length 2", FullCodeLengthLengths(), LitLengths({{256, 2}}), goodDist},
        {"distance over-subscribed", FullCodeLengthLengths(), goodLit, {1, 1, 1}},
        {"distance incomplete", FullCodeLengthLengths(), goodLit, {1, 2}},
        {"distance single code of length 2", FullCodeLengthLengths(), goodLit, {0, 2}},
        {"code-length code over-subscribed", std::vector<uint8_t>(19, 4), goodLit, goodDist},
        {"code-length code incomplete", std::vector<uint8_t>{4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5, 0},
         goodLit, goodDist},
    };
    for (const auto& c : cases) {
        std::vector<CodeLengthSymbol> symbols;
        for (uint8_t length : c.lit) symbols.push_back({length, 0});
        for (uint8_t length : c.dist) symbols.push_back({length, 0});
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        // An over-subscribed code-length code cannot write the symbols; the
        // decoder must stop at the table anyway.
        bool codeLenValid = c.codeLen == FullCodeLengthLengths();
        if (!codeLenValid) {
            writer.Put(static_cast<uint32_t>(c.lit.size() - 257), 5);
            writer.Put(static_cast<uint32_t>(c.dist.size() - 1), 5);
            writer.Put(15, 4);
            static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
            for (uint32_t i = 0; i < 19; i++) writer.Put(c.codeLen[order[i]], 3);
            writer.Put(0, 32);
        } else {
            PutDynamicHeaderRaw(writer, static_cast<uint32_t>(c.lit.size() - 257),
                                static_cast<uint32_t>(c.dist.size() - 1), c.codeLen, symbols);
            writer.Put(0, 32);
        }
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError) << c.name;
        Bytes reference;
        EXPECT_FALSE(ZlibInflateBlock(writer.MszipBlock(), {}, windowBytes, &reference)) << c.name;
    }
}

TEST(MszipDynamic, EmptyCodes) {
    std::vector<uint8_t> litLengths = SmallLitLengths();
    HuffCode lit(litLengths);
    std::vector<uint8_t> noDistances = {0};
    {
        // No distance code and no match: valid.
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        PutDynamicHeader(writer, litLengths, noDistances);
        lit.Put(writer, 'a');
        lit.Put(writer, 'b');
        lit.Put(writer, 256);
        Bytes output;
        ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk);
        EXPECT_EQ(output, Bytes({'a', 'b'}));
    }
    {
        // A match needs a distance from the empty code.
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        PutDynamicHeader(writer, litLengths, noDistances);
        lit.Put(writer, 'a');
        lit.Put(writer, 'b');
        lit.Put(writer, 258);
        writer.Put(0, 32);
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError);
    }
    {
        // No literal/length code: even the end of the block cannot be coded.
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        PutDynamicHeader(writer, std::vector<uint8_t>(257, 0), {1});
        writer.Put(0, 32);
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError);
    }
    {
        // No code-length code (all 19 lengths 0, HCLEN 4).
        BitWriter writer;
        PutBlockHeader(writer, true, 2);
        writer.Put(0, 5);   // HLIT 257
        writer.Put(0, 5);   // HDIST 1
        writer.Put(0, 4);   // HCLEN 4
        writer.Put(0, 12);  // four lengths of 0
        writer.Put(0, 32);
        Bytes output;
        EXPECT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipDataError);
    }
}

TEST(MszipDynamic, LongCodesThroughSubTables) {
    // A complete literal/length code whose last five 9-bit prefixes all
    // continue in 6-bit sub-tables: 512 + 5 * 64 = 832 table entries.
    //   symbols 0..257: 15 bits (2 in the first deep prefix, 256 filling four more)
    //   symbols 258..270: lengths 1, 2, 3, 4, 5, 6, 8, 9 (507 prefixes), then 10..14
    std::vector<uint8_t> litLengths(286, 0);
    for (uint32_t s = 0; s <= 257; s++) litLengths[s] = 15;
    const uint8_t shortLengths[13] = {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14};
    for (uint32_t i = 0; i < 13; i++) litLengths[258 + i] = shortLengths[i];
    // A distance code with 15-bit codes too (lengths 1..14, 15, 15).
    std::vector<uint8_t> distLengths(16);
    for (uint32_t s = 0; s < 16; s++) distLengths[s] = static_cast<uint8_t>(s < 15 ? s + 1 : 15);

    HuffCode lit(litLengths);
    HuffCode dist(distLengths);
    TestRandom random(77);
    BitWriter writer;
    PutBlockHeader(writer, true, 2);
    PutDynamicHeader(writer, litLengths, distLengths);
    Bytes expected;
    while (expected.size() < 20000) {
        if (expected.size() < 16 || random.Below(3) != 0) {
            uint32_t value = random.Below(256);
            lit.Put(writer, value);
            expected.push_back(static_cast<uint8_t>(value));
            continue;
        }
        // Length symbols 257..270 (lengths 3..23 with their extra bits).
        uint32_t length = 3 + random.Below(21);
        uint32_t distSymbol = random.Below(16);
        CodedValue len = LengthSymbol(length);
        static const uint32_t bases[16] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193};
        static const uint32_t extras[16] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6};
        uint32_t extra = random.Below(1u << extras[distSymbol]);
        uint32_t distance = bases[distSymbol] + extra;
        if (distance > expected.size()) continue;
        lit.Put(writer, len.symbol);
        writer.Put(len.extraValue, len.extraBits);
        dist.Put(writer, distSymbol);
        writer.Put(extra, extras[distSymbol]);
        for (uint32_t i = 0; i < length; i++) expected.push_back(expected[expected.size() - distance]);
    }
    lit.Put(writer, 256);

    Bytes output;
    ASSERT_EQ(DecodeOne(writer.MszipBlock(), &output), MszipOk);
    EXPECT_EQ(output, expected);
    Bytes reference;
    ASSERT_TRUE(ZlibInflateBlock(writer.MszipBlock(), {}, windowBytes, &reference));
    EXPECT_EQ(reference, expected);
}

}  // namespace
