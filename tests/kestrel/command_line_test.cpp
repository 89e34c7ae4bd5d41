// Tests of the command-line option search.
#include <gtest/gtest.h>

#include <string>

#include "command_line.h"

namespace {

TEST(CommandLine, LowerCaseTouchesOnlyAsciiCapitals) {
    char text[] = "C:\\PKG\\Setup.EXE /DECOM /Crc:ReCal \xC4\xD6[@]";
    LowerCaseAscii(text);
    EXPECT_STREQ(text, "c:\\pkg\\setup.exe /decom /crc:recal \xC4\xD6[@]");
}

TEST(CommandLine, OptionsAreSubstringsOfTheWholeLine) {
    // A folder whose name begins with decom, reached through forward slashes.
    EXPECT_TRUE(HasOption("c:/decompress/pkg.exe", "/decom"));
    EXPECT_TRUE(HasOption("pkg.exe /crc:recalX", "/crc:recal"));
    EXPECT_FALSE(HasOption("pkg.exe /COPY:x", "/copy:"));
    EXPECT_FALSE(HasOption(nullptr, "/decom"));
}

TEST(CommandLine, ArgumentIsEverythingAfterTheFirstOption) {
    EXPECT_STREQ(OptionArgument("/copy:pkg one two.exe", "/copy:"), "pkg one two.exe");
    EXPECT_STREQ(OptionArgument("x /delete:C:\\a\\tmp000.exe", "/delete:"), "C:\\a\\tmp000.exe");
    EXPECT_STREQ(OptionArgument("/copy:", "/copy:"), "");
    EXPECT_STREQ(OptionArgument("/copy:a /copy:b", "/copy:"), "a /copy:b");
    EXPECT_EQ(OptionArgument("pkg.exe", "/copy:"), nullptr);
}

}  // namespace
