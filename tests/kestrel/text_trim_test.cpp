// Tests of white-space trimming.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text_trim.h"

namespace {

TEST(TextTrim, WhiteSpaceIsTheCLocaleSet) {
    for (int c = 0; c < 256; ++c) {
        bool expected = c == 32 || (c >= 9 && c <= 13);
        EXPECT_EQ(IsTrimSpace(static_cast<char>(c)) != 0, expected) << c;
    }
}

TEST(TextTrim, TrimsBothEndsInPlace) {
    struct Case {
        const char* input;
        const char* trimmed;
    } cases[] = {
        {"", ""},
        {" \t\n\v\f\r", ""},
        {"  C:\\dir name\\file.txt\t ", "C:\\dir name\\file.txt"},
        {"C:\\x", "C:\\x"},
        {"\xA0x\xA0", "\xA0x\xA0"},  // 160 is not white space
    };
    for (const Case& c : cases) {
        char buffer[64];
        strcpy(buffer, c.input);
        EXPECT_EQ(TrimSpaces(buffer), buffer);
        EXPECT_STREQ(buffer, c.trimmed) << '"' << c.input << '"';
    }
    EXPECT_EQ(TrimSpaces(nullptr), nullptr);
    EXPECT_EQ(TrimTrailingSpaces(nullptr), nullptr);
    EXPECT_EQ(SkipSpaces(static_cast<char*>(nullptr)), nullptr);
}

TEST(TextTrim, SkipAndTrailingAreSeparate) {
    char text[] = "  ab  ";
    EXPECT_STREQ(SkipSpaces(text), "ab  ");
    EXPECT_STREQ(TrimTrailingSpaces(text), "  ab");
}

}  // namespace
