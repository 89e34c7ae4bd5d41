// entries_test.cpp: kestrel's reading rules for numbers, flags and lists, the
// capacities, the part names, and the Windows-1252 conversions.
#include <gtest/gtest.h>

#include "package_entries.h"
#include "windows_1252.h"

namespace {

TEST(Entries, NumbersFollowAtoi) {
    const std::pair<const char*, int64_t> cases[] = {
        {"", 0},        {"abc", 0},     {"90112", 90112}, {"  42x", 42},   {"\t\n\v\f\r 7", 7},
        {"-5", -5},     {"+8", 8},      {"- 5", 0},       {"0x10", 0},     {"007", 7},
        {"1715963", 1715963}};
    for (const auto& [text, value] : cases) EXPECT_EQ(ReadNumberEntry(text), value) << '"' << text << '"';
    // Far too many digits are held at a large value, not wrapped round.
    EXPECT_GT(ReadNumberEntry("99999999999999999999999"), 999999999999999LL);
    EXPECT_LT(ReadNumberEntry("-99999999999999999999999"), -999999999999999LL);
}

TEST(Entries, FlagsAreOnWhenTheyHoldAOne) {
    const std::pair<const char*, bool> cases[] = {{"1", true},  {"01", true}, {"10", true}, {" 1", true},
                                                 {"", false},   {"0", false}, {"2", false}, {"on", false}};
    for (const auto& [text, on] : cases) EXPECT_EQ(ReadFlagEntry(text), on) << '"' << text << '"';
}

TEST(Entries, ListsSkipEmptyItemsAndKeepSpaces) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}},
        {",", {}},
        {"a.cab", {"a.cab"}},
        {"a.cab,,b.cab", {"a.cab", "b.cab"}},
        {",a.cab,", {"a.cab"}},
        {" a.cab , b.cab", {" a.cab ", " b.cab"}},
    };
    for (const auto& [text, items] : cases) EXPECT_EQ(ReadListEntry(text), items) << '"' << text << '"';
}

TEST(Entries, CapacitiesAndOwnership) {
    const std::tuple<uint16_t, int, bool> cases[] = {
        {103, 0, false},   {115, 260, false}, {200, 260, true}, {299, 260, true}, {300, 260, true},
        {399, 260, true},  {400, 0, false},   {460, 5, true},   {461, 10, true},  {464, 260, true},
        {467, 5, true},    {469, 10, true},   {471, 5, true},   {472, 0, false}};
    for (const auto& [id, capacity, owned] : cases) {
        EXPECT_EQ(EntryCapacity(id), capacity) << id;
        EXPECT_EQ(IsPackageEntry(id), owned) << id;
    }
}

TEST(Entries, SplitPartNames) {
    EXPECT_EQ(SplitPartName("setup", 1), "setup.001");
    EXPECT_EQ(SplitPartName("my setup", 42), "my setup.042");
    EXPECT_EQ(SplitPartName("s", 999), "s.999");
    EXPECT_EQ(SplitPartName("s", 1000), "s.1000");
}

TEST(Windows1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    const std::u16string units = Utf16FromWindows1252(all);
    ASSERT_EQ(units.size(), all.size());
    std::string back;
    EXPECT_TRUE(Windows1252FromUtf16(units, &back));
    EXPECT_EQ(back, all);
}

TEST(Windows1252, MapsTheHighControlRange) {
    const std::pair<uint8_t, char16_t> cases[] = {{0x41, u'A'},    {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160},
                                                 {0x9F, 0x0178},  {0xA0, 0x00A0}, {0xE9, 0x00E9}, {0xFF, 0x00FF}};
    for (const auto& [byte, unit] : cases) {
        EXPECT_EQ(Utf16FromWindows1252(std::string(1, static_cast<char>(byte))), std::u16string(1, unit)) << int(byte);
    }
    std::string text;
    EXPECT_FALSE(Windows1252FromUtf16(u"a\u4e2db", &text));
    EXPECT_EQ(text, "a?b");
}

TEST(Windows1252, FromUtf8) {
    struct Utf8Case {
        const char* utf8;
        bool ok;
        const char* ansi;
    };
    const Utf8Case cases[] = {
        {"plain", true, "plain"},
        {"Caf\xC3\xA9", true, "Caf\xE9"},
        {"\xE2\x82\xAC 5", true, "\x80 5"},
        {"\xC5\xA0", true, "\x8A"},
        {"\xE4\xB8\xAD", false, ""},      // a character Windows-1252 lacks
        {"\xC3", false, ""},              // cut short
        {"\xC2\x81", false, ""},          // a C1 control, no character
        {"\xF0\x9F\x98\x80", false, ""},  // outside the BMP
        {"\xFF", false, ""},
    };
    for (const Utf8Case& c : cases) {
        std::string text, error;
        EXPECT_EQ(Windows1252FromUtf8(c.utf8, &text, &error), c.ok) << c.utf8;
        if (c.ok) {
            EXPECT_EQ(text, c.ansi);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

}  // namespace
