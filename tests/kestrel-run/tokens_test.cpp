// Argument texts of the configured programs: command-line overrides and
// tokens, refused rather than cut when they do not fit.
#include <gtest/gtest.h>

#include <string>

#include "tokens.h"

namespace {

const size_t argumentChars = 260;

struct OverrideCase {
    const char* commandLine;
    int program;
    const char* before;
    TextEditResult result;
    const char* after;
};

TEST(ArgumentOverride, TakesTheRestOfTheLineAfterTheFirstOption) {
    const OverrideCase cases[] = {
        {"pkg.exe /1:-silent -x", 1, "entry", TextChanged, " -silent -x"},
        {"pkg.exe /1:-silent -x", 2, "entry", TextUnchanged, "entry"},
        {"pkg.exe /2:b /1:a", 1, "entry", TextChanged, " a"},
        {"pkg.exe /2:b /1:a", 2, "entry", TextChanged, " b /1:a"},
        {"pkg.exe /1:a /1:b", 1, "", TextChanged, " a /1:b"},
        {"\"C:\\x\\pkg.exe\" /1:\"q r\"", 1, "e", TextChanged, " \"q r\""},
        {"pkg.exe /1:", 1, "entry", TextChanged, " "},
        {"pkg.exe /12:x", 1, "entry", TextUnchanged, "entry"},
        {"pkg.exe /12:x", 12, "entry", TextChanged, " x"},
        {"pkg.exe /decom", 1, "entry", TextUnchanged, "entry"},
    };
    for (const OverrideCase& c : cases) {
        char arguments[argumentChars];
        snprintf(arguments, sizeof arguments, "%s", c.before);
        EXPECT_EQ(ApplyArgumentOverride(c.commandLine, c.program, arguments, sizeof arguments), c.result)
            << c.commandLine;
        EXPECT_STREQ(arguments, c.after) << c.commandLine;
    }
}

TEST(ArgumentOverride, RefusesARestThatDoesNotFit) {
    // The blank in front takes one character: 258 fit, 259 do not.
    for (size_t restLength : {258u, 259u, 400u}) {
        std::string line = "pkg.exe /1:" + std::string(restLength, 'a');
        char arguments[argumentChars] = "entry";
        TextEditResult result = ApplyArgumentOverride(line.c_str(), 1, arguments, sizeof arguments);
        if (restLength <= argumentChars - 2) {
            EXPECT_EQ(result, TextChanged);
            EXPECT_EQ(std::string(arguments), " " + std::string(restLength, 'a'));
        } else {
            EXPECT_EQ(result, TextRefused) << restLength;
            EXPECT_STREQ(arguments, "entry");
        }
    }
}

struct TokenCase {
    const char* before;
    int ok;
    const char* after;
    int nowait;
};

TEST(ArgumentTokens, ResolvesEachTokenAtItsFirstOccurrenceInOrder) {
    const char* curDir = "C:\\pkg\\";
    const char* tempDir = "C:\\WINDOWS\\temp\\KSV000\\";
    const TokenCase cases[] = {
        {"<tempdir>setup.ini <nowait>", 1, "C:\\WINDOWS\\temp\\KSV000\\setup.ini ", 1},
        {"-s <curdir>a <curdir>b", 1, "-s C:\\pkg\\a <curdir>b", 0},
        {"<curdir><tempdir>", 1, "C:\\pkg\\C:\\WINDOWS\\temp\\KSV000\\", 0},
        {"<NOWAIT> <CurDir>", 1, "<NOWAIT> <CurDir>", 0},  // exact case only
        {"<nowait><nowait>", 1, "<nowait>", 1},
        {"", 1, "", 0},
        {"plain -x", 1, "plain -x", 0},
        {"<tempdir>", 1, "C:\\WINDOWS\\temp\\KSV000\\", 0},
    };
    for (const TokenCase& c : cases) {
        char arguments[argumentChars];
        snprintf(arguments, sizeof arguments, "%s", c.before);
        int nowait = -1;
        EXPECT_EQ(ResolveArgumentTokens(arguments, sizeof arguments, curDir, tempDir, &nowait), c.ok) << c.before;
        EXPECT_STREQ(arguments, c.after) << c.before;
        EXPECT_EQ(nowait, c.nowait) << c.before;
    }
}

TEST(ArgumentTokens, LaterTokensAreSearchedInTheTextSoFar) {
    char arguments[argumentChars] = "<curdir>";
    int nowait = 0;
    ASSERT_EQ(ResolveArgumentTokens(arguments, sizeof arguments, "<nowait>\\", "T\\", &nowait), 1);
    // "<nowait>" is searched after "<curdir>" was replaced, so the folder's
    // text is taken for the token: the rule is plain text, in order.
    EXPECT_STREQ(arguments, "\\");
    EXPECT_EQ(nowait, 1);
}

TEST(ArgumentTokens, RefusesAReplacementThatDoesNotFit) {
    std::string longFolder(250, 'f');
    char arguments[argumentChars] = "<curdir> and more text";
    int nowait = 0;
    EXPECT_EQ(ResolveArgumentTokens(arguments, sizeof arguments, longFolder.c_str(), "T\\", &nowait), 0);
    EXPECT_STREQ(arguments, "<curdir> and more text");

    // Exactly full fits.
    char exact[16] = "<curdir>xy";
    EXPECT_EQ(ReplaceFirstToken(exact, sizeof exact, "<curdir>", "ABCDEFGHIJKLM"), TextChanged);
    EXPECT_STREQ(exact, "ABCDEFGHIJKLMxy");
    char over[16] = "<curdir>xyz";
    EXPECT_EQ(ReplaceFirstToken(over, sizeof over, "<curdir>", "ABCDEFGHIJKLM"), TextRefused);
    EXPECT_STREQ(over, "<curdir>xyz");
}

}  // namespace
