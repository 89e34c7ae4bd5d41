// Tests of the package checksum: known values, the 32-bit accumulator, and
// progress calls that fall on the same bytes however a file is fed.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "checksum.h"

namespace {

// A plain reference of the accumulator, written from its definition: the low
// 16 bits are XMODEM CRC-16 and nothing is ever cut.
uint32_t ReferenceChecksum(const std::vector<unsigned char>& bytes) {
    uint32_t a = 0;
    for (unsigned char b : bytes) {
        uint32_t d = static_cast<uint32_t>(b) << 8;
        for (int i = 0; i < 8; ++i) {
            bool top = ((a ^ d) >> 15) & 1;
            a = top ? ((a << 1) ^ 0x1021u) : (a << 1);
            d <<= 1;
        }
    }
    return a;
}

std::string DigitsOf(const char* text) {
    ChecksumRun run;
    ChecksumBegin(&run);
    ChecksumFeed(&run, reinterpret_cast<const unsigned char*>(text), strlen(text), nullptr, nullptr);
    char digits[checksumDigitChars];
    FormatChecksum(run.accumulator, digits);
    return digits;
}

TEST(Checksum, KnownTexts) {
    struct Case {
        const char* input;
        const char* digits;
    } cases[] = {
        {"", "00000000"},
        {"abc", "7d759dd6"},
        {"123456789", "8d9a31c3"},  // low half 31c3: the XMODEM check value
    };
    for (const Case& c : cases) EXPECT_EQ(DigitsOf(c.input), c.digits) << c.input;
}

TEST(Checksum, SignedAndUnsignedBytesAgree) {
    for (int b = 0; b < 256; ++b) {
        uint32_t start = 0x1234abcdu * static_cast<uint32_t>(b + 1);
        EXPECT_EQ(ChecksumStep(start, b, checksumPolynomial),
                  ChecksumStep(start, static_cast<signed char>(b), checksumPolynomial))
            << b;
    }
}

TEST(Checksum, HighHalfIsKeptAndMatchesReference) {
    std::vector<unsigned char> bytes;
    uint32_t seed = 7;
    for (int i = 0; i < 5000; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes.push_back(static_cast<unsigned char>(seed >> 16));
    }
    ChecksumRun run;
    ChecksumBegin(&run);
    ChecksumFeed(&run, bytes.data(), bytes.size(), nullptr, nullptr);
    EXPECT_EQ(run.accumulator, ReferenceChecksum(bytes));
    EXPECT_NE(run.accumulator >> 16, 0u);
}

struct ProgressLog {
    std::vector<uint32_t> values;
};

void RecordProgress(uint32_t accumulator, void* context) {
    static_cast<ProgressLog*>(context)->values.push_back(accumulator);
}

// Feeds two "files" in blocks of the given size and returns the progress log.
ProgressLog FeedInBlocks(const std::vector<unsigned char>& first, const std::vector<unsigned char>& second,
                         size_t blockBytes) {
    ProgressLog log;
    ChecksumRun run;
    ChecksumBegin(&run);
    for (const std::vector<unsigned char>* file : {&first, &second}) {
        ChecksumBeginFile(&run);
        for (size_t at = 0; at < file->size(); at += blockBytes) {
            size_t n = std::min(blockBytes, file->size() - at);
            ChecksumFeed(&run, file->data() + at, n, RecordProgress, &log);
        }
    }
    return log;
}

TEST(Checksum, ProgressFallsAfterByte1001OfEachFile) {
    std::vector<unsigned char> first(3001, 0x5a), second(1000, 0xa5);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<unsigned char>(i * 31);
    // Expected from the byte-by-byte rule: after bytes 1001, 2001 and 3001 of
    // the first file; the second file has only 1000 bytes, so none there.
    std::vector<uint32_t> expected;
    for (size_t n : {1001u, 2001u, 3001u}) {
        expected.push_back(ReferenceChecksum(std::vector<unsigned char>(first.begin(), first.begin() + n)));
    }
    for (size_t block : {1u, 7u, 1000u, 1001u, 4096u}) {
        EXPECT_EQ(FeedInBlocks(first, second, block).values, expected) << "block " << block;
    }
    std::vector<unsigned char> longer(1001, 1);
    EXPECT_EQ(FeedInBlocks(first, longer, 512).values.size(), 4u);
}

}  // namespace
