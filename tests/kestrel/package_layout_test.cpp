// Tests of the package layout offsets and the marker verdict.
#include <gtest/gtest.h>

#include <string>

#include "package_layout.h"

namespace {

TEST(PackageLayout, ShippedPackageOffsets) {
    uint32_t marker = 0, payload = 0;
    ASSERT_TRUE(LocateMarker(1806090, 1715963, &marker));
    ASSERT_TRUE(LocatePayload(1806090, 1715963, &payload));
    EXPECT_EQ(marker, 90112u);
    EXPECT_EQ(payload, 90127u);
}

TEST(PackageLayout, PositionsOutsideTheFileAreRefused) {
    struct Case {
        uint32_t fileSize;
        long long payloadSize;
        int markerOk;
        int payloadOk;
    } cases[] = {
        {100, 85, 1, 1},    // marker at 0
        {100, 86, 0, 1},    // marker would start at -1
        {100, 100, 0, 1},   // payload is the whole file, no room for a marker
        {100, 101, 0, 0},   // payload longer than the file
        {100, -1, 0, 0},    // negative size
        {100, 0, 1, 1},     // empty payload: marker in the last 15 bytes
        {14, 0, 0, 1},      // file shorter than a marker
        {0xffffffffu, 5000000000LL, 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t offset = 0;
        EXPECT_EQ(LocateMarker(c.fileSize, c.payloadSize, &offset), c.markerOk)
            << c.fileSize << " " << c.payloadSize;
        EXPECT_EQ(LocatePayload(c.fileSize, c.payloadSize, &offset), c.payloadOk)
            << c.fileSize << " " << c.payloadSize;
    }
}

TEST(PackageLayout, CheckOffNeedsCrc0AnywhereInTheMarker) {
    EXPECT_TRUE(MarkerTurnsCheckOff("CRC0,0xbc47e99e"));
    EXPECT_FALSE(MarkerTurnsCheckOff("CRC1,0xbc47e99e"));
    EXPECT_FALSE(MarkerTurnsCheckOff("CRCx,0xbc47e99e"));
    EXPECT_FALSE(MarkerTurnsCheckOff("crc0,0xbc47e99e"));
}

TEST(PackageLayout, VerdictIsCaseSensitiveSubstring) {
    char detail[260] = "untouched";
    EXPECT_TRUE(JudgeChecksum("CRC1,0xbc47e99e", "bc47e99e", detail, sizeof detail));
    EXPECT_STREQ(detail, "untouched");
    EXPECT_TRUE(JudgeChecksum("CRC7,0xbc47e99e", "bc47e99e", detail, sizeof detail));
    EXPECT_FALSE(JudgeChecksum("CRC1,0xBC47E99E", "bc47e99e", detail, sizeof detail));
    EXPECT_STREQ(detail, "CRC1,0xBC47E99E:0xbc47e99e");
    EXPECT_FALSE(JudgeChecksum("CRC1,0x00000000", "bc47e99e", detail, 12));
    EXPECT_STREQ(detail, "CRC1,0x0000");  // cut, never past the buffer
}

}  // namespace
