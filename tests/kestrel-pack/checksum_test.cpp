// checksum_test.cpp: ChecksumStep against known values and an independent
// CRC-16/XMODEM, and the byte ranges a package checksum covers.
#include <gtest/gtest.h>

#include "pack_test_support.h"
#include "package_checksum.h"

namespace {

std::string TextChecksum(const std::string& text) {
    return ChecksumText(ChecksumBytes(0, reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// The reference model: CRC-16/XMODEM bit by bit on a 16-bit register that
// takes the data in first, and beside it a record of every bit that leaves
// the accumulator's bit 15 (the register's bit without the data bit mixed
// in). The accumulator is the record's last 16 bits above the register.
uint32_t ReferenceChecksum(const std::vector<uint8_t>& bytes) {
    uint16_t crc = 0;
    uint32_t shiftedOut = 0;
    for (uint8_t byte : bytes) {
        crc = static_cast<uint16_t>(crc ^ (byte << 8));
        for (int bit = 0; bit < 8; ++bit) {
            const uint32_t dataBit = (byte >> (7 - bit)) & 1;
            shiftedOut = (shiftedOut << 1) | ((crc >> 15) ^ dataBit);
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return (shiftedOut << 16) | crc;
}

TEST(Checksum, KnownValues) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "00000000"}, {"abc", "7d759dd6"}, {"123456789", "8d9a31c3"}};
    for (const auto& [text, expected] : cases) EXPECT_EQ(TextChecksum(text), expected) << text;
}

TEST(Checksum, MatchesTheReferenceModel) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const std::vector<uint8_t> bytes = PatternBytes(seed * 37 % 300, seed);
        EXPECT_EQ(ChecksumBytes(0, bytes.data(), bytes.size()), ReferenceChecksum(bytes)) << seed;
    }
    // The accumulator is never cut to 16 bits: a step moves its bits 16-23
    // up to 24-31.
    for (uint32_t accumulator : {0x12345678u, 0xFFFFFFFFu, 0x80000001u, 0x00FF0000u}) {
        for (int byte : {0x00, 0x5A, 0xFF}) {
            const uint32_t next = ChecksumStep(accumulator, static_cast<uint8_t>(byte), 0x1021);
            EXPECT_EQ(next >> 24, (accumulator >> 16) & 0xFF) << std::hex << accumulator << " " << byte;
        }
    }
}

TEST(Checksum, TextIsLowercaseWithLeadingZeros) {
    EXPECT_EQ(ChecksumText(0xABCDEF), "00abcdef");
    EXPECT_EQ(ChecksumText(0), "00000000");
}

// A 200-byte file: image 0..99, gap 100..134, marker 135..149, payload 150..199.
TEST(Checksum, PackageRangesCoverImagePayloadAndParts) {
    const std::vector<uint8_t> file = PatternBytes(200, 3);
    const std::vector<uint8_t> part1 = PatternBytes(30, 4), part2 = PatternBytes(40, 5);
    const std::vector<const std::vector<uint8_t>*> parts = {&part1, &part2};
    uint32_t base = 0;
    ASSERT_TRUE(ComputePackageChecksum(file, 100, 50, parts, &base));
    std::vector<uint8_t> covered(file.begin(), file.begin() + 100);
    covered.insert(covered.end(), file.begin() + 150, file.end());
    covered.insert(covered.end(), part1.begin(), part1.end());
    covered.insert(covered.end(), part2.begin(), part2.end());
    EXPECT_EQ(base, ChecksumBytes(0, covered.data(), covered.size()));

    struct FlipCase {
        size_t offset;
        bool changes;
    };
    for (const FlipCase& c : {FlipCase{0, true}, FlipCase{99, true}, FlipCase{100, false}, FlipCase{134, false},
                              FlipCase{135, false}, FlipCase{149, false}, FlipCase{150, true}, FlipCase{199, true}}) {
        std::vector<uint8_t> changed = file;
        changed[c.offset] ^= 0x01;
        uint32_t value = 0;
        ASSERT_TRUE(ComputePackageChecksum(changed, 100, 50, parts, &value));
        EXPECT_EQ(value != base, c.changes) << c.offset;
    }
    std::vector<uint8_t> changedPart = part2;
    changedPart[39] ^= 0x01;
    uint32_t value = 0;
    ASSERT_TRUE(ComputePackageChecksum(file, 100, 50, {&part1, &changedPart}, &value));
    EXPECT_NE(value, base);
    // Parts in the other order give another checksum.
    ASSERT_TRUE(ComputePackageChecksum(file, 100, 50, {&part2, &part1}, &value));
    EXPECT_NE(value, base);
}

TEST(Checksum, RangesAtTheEdges) {
    const std::vector<uint8_t> file = PatternBytes(64, 6);
    uint32_t value = 0;
    // A stub size beyond the file covers the whole file once.
    ASSERT_TRUE(ComputePackageChecksum(file, 1000, 0, {}, &value));
    EXPECT_EQ(value, ChecksumBytes(0, file.data(), file.size()));
    // A stub size of 0 or less covers no image bytes.
    ASSERT_TRUE(ComputePackageChecksum(file, -5, 4, {}, &value));
    EXPECT_EQ(value, ChecksumBytes(0, file.data() + 60, 4));
    // A payload larger than the file has no position to start from.
    EXPECT_FALSE(ComputePackageChecksum(file, 10, 65, {}, &value));
    EXPECT_FALSE(ComputePackageChecksum(file, 10, -1, {}, &value));
}

}  // namespace
