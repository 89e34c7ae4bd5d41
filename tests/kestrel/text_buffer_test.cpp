// Tests of the cut-or-report helpers that write every fixed buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text_buffer.h"

namespace {

const char guardByte = '#';

// A buffer of capacity characters followed by guard bytes that must survive.
struct GuardedBuffer {
    char bytes[32];
    size_t capacity;
    explicit GuardedBuffer(size_t capacity) : capacity(capacity) { memset(bytes, guardByte, sizeof bytes); }
    bool GuardsIntact() const {
        for (size_t i = capacity; i < sizeof bytes; ++i) {
            if (bytes[i] != guardByte) return false;
        }
        return true;
    }
};

TEST(TextBuffer, CopyCutsAtCapacityMinusOne) {
    struct Case {
        size_t capacity;
        const char* source;
        int whole;
        const char* result;
    } cases[] = {
        {8, "short", 1, "short"},
        {8, "1234567", 1, "1234567"},   // exactly capacity - 1
        {8, "12345678", 0, "1234567"},  // one too many
        {1, "x", 0, ""},
        {4, "", 1, ""},
        {4, nullptr, 1, ""},
    };
    for (const Case& c : cases) {
        GuardedBuffer buffer(c.capacity);
        EXPECT_EQ(CopyText(buffer.bytes, c.capacity, c.source), c.whole) << c.capacity;
        EXPECT_STREQ(buffer.bytes, c.result);
        EXPECT_TRUE(buffer.GuardsIntact());
    }
}

TEST(TextBuffer, AppendKeepsTheWholeWithinCapacity) {
    GuardedBuffer buffer(10);
    CopyText(buffer.bytes, 10, "C:\\a\\");
    EXPECT_EQ(AppendText(buffer.bytes, 10, "bcd"), 1);
    EXPECT_STREQ(buffer.bytes, "C:\\a\\bcd");
    EXPECT_EQ(AppendText(buffer.bytes, 10, "efg"), 0);
    EXPECT_STREQ(buffer.bytes, "C:\\a\\bcde");
    EXPECT_TRUE(buffer.GuardsIntact());
    // A destination without a terminator inside its capacity is cut, not overrun.
    GuardedBuffer unterminated(6);
    memset(unterminated.bytes, 'z', 6);
    EXPECT_EQ(AppendText(unterminated.bytes, 6, "x"), 0);
    EXPECT_STREQ(unterminated.bytes, "zzzzz");
    EXPECT_TRUE(unterminated.GuardsIntact());
}

TEST(TextBuffer, FormatReportsEveryCut) {
    for (size_t capacity = 1; capacity <= 12; ++capacity) {
        GuardedBuffer buffer(capacity);
        int whole = FormatText(buffer.bytes, capacity, "%s%s.%03d", "dir\\", "pk", 7);
        std::string full = "dir\\pk.007";
        EXPECT_EQ(whole, full.size() < capacity ? 1 : 0) << capacity;
        EXPECT_EQ(std::string(buffer.bytes), full.substr(0, capacity - 1)) << capacity;
        EXPECT_TRUE(buffer.GuardsIntact()) << capacity;
    }
}

}  // namespace
