// Tests of plover's command-line parsing: the options as whoever starts
// plover writes them, the quirks of "-"-separated tokens, and texts too long
// for their 260-character buffers, which must be refused without a byte
// written past any buffer.
#include "option_parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A text buffer of `capacity` characters followed by guard bytes, so that a
// write past the capacity shows up as a changed guard.
class GuardedText {
public:
    static constexpr size_t guardChars = 64;
    static constexpr char guardByte = '\x5a';

    explicit GuardedText(size_t capacity) : capacity_(capacity), bytes_(capacity + guardChars, guardByte) {}

    // Places text, which must fit with its NUL, at the start of the buffer.
    void Set(const std::string& text) {
        ASSERT_LT(text.size(), capacity_);
        memcpy(bytes_.data(), text.c_str(), text.size() + 1);
    }
    // Fills the whole capacity with c and no NUL: a text that breaks the
    // buffer's contract.
    void FillUnterminated(char c) { memset(bytes_.data(), c, capacity_); }

    char* data() { return bytes_.data(); }
    size_t capacity() const { return capacity_; }
    // The text within the capacity (to the first NUL, or all of it).
    std::string Text() const { return std::string(bytes_.data(), strnlen(bytes_.data(), capacity_)); }
    bool GuardIntact() const {
        for (size_t i = capacity_; i < bytes_.size(); ++i) {
            if (bytes_[i] != guardByte) return false;
        }
        return true;
    }

private:
    size_t capacity_;
    std::vector<char> bytes_;
};

// --- OptionValue -----------------------------------------------------------

struct OptionValueCase {
    const char* label;
    std::string token;
    int expectResult;
    std::string expectValue;
};

class OptionValueTest : public testing::TestWithParam<OptionValueCase> {};

TEST_P(OptionValueTest, TakesTheTextAfterTheFirstBlank) {
    const OptionValueCase& c = GetParam();
    GuardedText value(optionTextChars);
    value.Set("stale");
    EXPECT_EQ(OptionValue(c.token.c_str(), value.data(), value.capacity()), c.expectResult);
    EXPECT_EQ(value.Text(), c.expectValue);
    EXPECT_TRUE(value.GuardIntact());
}

const std::string longValue259(259, 'v');
const std::string longValue260(260, 'v');

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionValueTest,
    testing::Values(
        OptionValueCase{"OneTrailingBlankRemoved", "TargetPath C:\\drv\\x.inf ", 1, "C:\\drv\\x.inf"},
        OptionValueCase{"NoTrailingBlankToRemove", "SourceLoc C:\\drv\\", 1, "C:\\drv\\"},
        OptionValueCase{"OnlyOneOfTwoTrailingBlanksRemoved", "k v  ", 1, "v "},
        OptionValueCase{"BlanksInsideKept", "k C:\\Program Files\\Drv ", 1, "C:\\Program Files\\Drv"},
        OptionValueCase{"TwoBlanksLeaveOneLeading", "k  C:\\x.inf", 1, " C:\\x.inf"},
        OptionValueCase{"QuotesKept", "k \"C:\\x.inf\"", 1, "\"C:\\x.inf\""},
        OptionValueCase{"NothingAfterTheBlank", "k ", 1, ""},
        OptionValueCase{"OnlyTwoBlanksAfterTheKey", "k  ", 1, ""},
        OptionValueCase{"NoBlank", "TargetPath", 0, ""},
        OptionValueCase{"EmptyToken", "", 0, ""},
        OptionValueCase{"LongestValueFits", "k " + longValue259, 1, longValue259},
        OptionValueCase{"LongestValueFitsOnceItsBlankIsRemoved", "k " + longValue259 + " ", 1,
                        longValue259},
        OptionValueCase{"ValueOneTooLongRefused", "k " + longValue260, 0, ""},
        OptionValueCase{"ValueOneTooLongEvenWithoutItsBlankRefused", "k " + longValue260 + " ", 0, ""},
        OptionValueCase{"ValueFarTooLongRefused", "k " + std::string(4000, 'v'), 0, ""}),
    [](const testing::TestParamInfo<OptionValueCase>& info) { return info.param.label; });

TEST(OptionValueBounds, ZeroCapacityWritesNothing) {
    GuardedText value(0);
    EXPECT_EQ(OptionValue("k v", value.data(), 0), 0);
    EXPECT_TRUE(value.GuardIntact());
}

TEST(OptionValueBounds, SmallBufferTakesOnlyWhatFits) {
    GuardedText value(4);
    EXPECT_EQ(OptionValue("k abc", value.data(), value.capacity()), 1);
    EXPECT_EQ(value.Text(), "abc");
    EXPECT_EQ(OptionValue("k abcd", value.data(), value.capacity()), 0);
    EXPECT_EQ(value.Text(), "");
    EXPECT_TRUE(value.GuardIntact());
}

// --- TakeOption ------------------------------------------------------------

struct TakeOptionCase {
    const char* label;
    std::string commandLine;
    const char* key;
    int expectResult;
    std::string expectValue;
    std::string expectRest;  // the command line afterwards
};

class TakeOptionTest : public testing::TestWithParam<TakeOptionCase> {};

TEST_P(TakeOptionTest, TakesTheFirstTokenHoldingTheKey) {
    const TakeOptionCase& c = GetParam();
    GuardedText commandLine(optionTextChars);
    commandLine.Set(c.commandLine);
    GuardedText value(optionTextChars);
    value.Set("stale");
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), c.key, value.data(), value.capacity()),
              c.expectResult);
    if (c.expectResult == 1) {
        EXPECT_EQ(value.Text(), c.expectValue);
    }
    EXPECT_EQ(commandLine.Text(), c.expectRest);
    EXPECT_TRUE(commandLine.GuardIntact());
    EXPECT_TRUE(value.GuardIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TakeOptionTest,
    testing::Values(
        TakeOptionCase{"ExampleTargetPath", "-TargetPath C:\\drv\\x.inf -SourceLoc C:\\drv\\", "TargetPath", 1,
                       "C:\\drv\\x.inf", "-SourceLoc C:\\drv\\"},
        TakeOptionCase{"ExampleSourceLocAfterTargetPath", "-SourceLoc C:\\drv\\", "SourceLoc", 1, "C:\\drv\\", ""},
        TakeOptionCase{"OppositeOrderPutsTheFirstTokenBack", "-SourceLoc C:\\drv\\ -TargetPath C:\\drv\\x.inf",
                       "TargetPath", 1, "C:\\drv\\x.inf", "-SourceLoc C:\\drv\\ "},
        TakeOptionCase{"BlanksInsideAValue", "-TargetPath C:\\Program Files\\Drv\\x.inf -SourceLoc C:\\d\\",
                       "TargetPath", 1, "C:\\Program Files\\Drv\\x.inf", "-SourceLoc C:\\d\\"},
        TakeOptionCase{"QuotesKept", "-TargetPath \"C:\\drv\\x.inf\" -SourceLoc C:\\drv\\", "TargetPath", 1,
                       "\"C:\\drv\\x.inf\"", "-SourceLoc C:\\drv\\"},
        TakeOptionCase{"TwoBlanksBeforeTheValue", "-TargetPath  C:\\x.inf", "TargetPath", 1, " C:\\x.inf", ""},
        TakeOptionCase{"DashInsideAValueEndsIt", "-TargetPath C:\\my-drv\\x.inf -SourceLoc C:\\drv\\",
                       "TargetPath", 1, "C:\\my", "-drv\\x.inf -SourceLoc C:\\drv\\"},
        TakeOptionCase{"KeyAnywhereInTheToken", "-xTargetPathy v", "TargetPath", 1, "v", ""},
        TakeOptionCase{"KeyInsideAnotherOptionsValue", "-SourceLoc C:\\TargetPath\\ -TargetPath C:\\x.inf",
                       "TargetPath", 1, "C:\\TargetPath\\", "-TargetPath C:\\x.inf"},
        TakeOptionCase{"LaterTokenWithTheKeyPutBack", "-TargetPath a -TargetPath b", "TargetPath", 1, "a",
                       "-TargetPath b"},
        TakeOptionCase{"RunsOfDashesAreOneSeparator", "---TargetPath a --SourceLoc b--", "TargetPath", 1, "a",
                       "-SourceLoc b"},
        TakeOptionCase{"NoLeadingDash", "TargetPath a", "TargetPath", 1, "a", ""},
        TakeOptionCase{"KeyIsCaseSensitive", "-targetpath C:\\x.inf", "TargetPath", 0, "",
                       "-targetpath C:\\x.inf"},
        TakeOptionCase{"MissingKeyKeepsEveryToken", "-SourceLoc b --other c", "TargetPath", 0, "",
                       "-SourceLoc b -other c"},
        TakeOptionCase{"EmptyCommandLine", "", "TargetPath", 0, "", ""},
        TakeOptionCase{"OnlyDashes", "-----", "TargetPath", 0, "", ""},
        TakeOptionCase{"TokenWithoutBlankKeepsOnlyTheTokensBefore", "-abc-TargetPath-SourceLoc b", "TargetPath",
                       0, "", "-abc"},
        TakeOptionCase{"KeyWithoutValueButWithBlank", "-TargetPath -SourceLoc b", "TargetPath", 1, "",
                       "-SourceLoc b"}),
    [](const testing::TestParamInfo<TakeOptionCase>& info) { return info.param.label; });

TEST(TakeOptionBounds, CommandLineOfLongestLengthIsAccepted) {
    // 259 characters: the longest text that the 260-character buffer holds.
    std::string text = "-TargetPath " + std::string(259 - 12, 'p');
    ASSERT_EQ(text.size(), 259u);
    GuardedText commandLine(optionTextChars);
    commandLine.Set(text);
    GuardedText value(optionTextChars);
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), "TargetPath", value.data(), value.capacity()),
              1);
    EXPECT_EQ(value.Text(), std::string(247, 'p'));
    EXPECT_TRUE(commandLine.GuardIntact());
    EXPECT_TRUE(value.GuardIntact());
}

TEST(TakeOptionBounds, UnterminatedCommandLineIsRefused) {
    GuardedText commandLine(optionTextChars);
    commandLine.FillUnterminated('a');
    GuardedText value(optionTextChars);
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), "a", value.data(), value.capacity()), 0);
    EXPECT_EQ(commandLine.Text(), "");
    EXPECT_TRUE(commandLine.GuardIntact());
    EXPECT_TRUE(value.GuardIntact());
}

TEST(TakeOptionBounds, LargerBufferStillRefusesTextBeyondTheWorkingCopy) {
    // The working copy holds 260 characters whatever the caller's buffer.
    GuardedText commandLine(1000);
    commandLine.Set("-TargetPath " + std::string(300, 'p'));
    GuardedText value(1000);
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), "TargetPath", value.data(), value.capacity()),
              0);
    EXPECT_EQ(commandLine.Text(), "");
    EXPECT_TRUE(commandLine.GuardIntact());
    EXPECT_TRUE(value.GuardIntact());
}

TEST(TakeOptionBounds, RebuiltTextLongerThanTheOriginalIsRefused) {
    // Without a leading "-" the rebuilt text gains one: 259 characters would
    // become 260 and, with its NUL, overrun the buffer by one byte.
    GuardedText commandLine(optionTextChars);
    commandLine.Set(std::string(259, 'a'));
    GuardedText value(optionTextChars);
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), "TargetPath", value.data(), value.capacity()),
              0);
    EXPECT_EQ(commandLine.Text(), "");
    EXPECT_TRUE(commandLine.GuardIntact());

    // One character shorter, the rebuilt text fits exactly.
    commandLine.Set(std::string(258, 'a'));
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), "TargetPath", value.data(), value.capacity()),
              0);
    EXPECT_EQ(commandLine.Text(), "-" + std::string(258, 'a'));
    EXPECT_TRUE(commandLine.GuardIntact());
}

TEST(TakeOptionBounds, ValueTooLongForItsBufferIsRefused) {
    GuardedText commandLine(optionTextChars);
    GuardedText value(8);
    commandLine.Set("-TargetPath 1234567 -SourceLoc s");
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), "TargetPath", value.data(), value.capacity()),
              1);
    EXPECT_EQ(value.Text(), "1234567");

    commandLine.Set("-SourceLoc s -TargetPath 12345678");
    EXPECT_EQ(TakeOption(commandLine.data(), commandLine.capacity(), "TargetPath", value.data(), value.capacity()),
              0);
    EXPECT_EQ(value.Text(), "");
    EXPECT_EQ(commandLine.Text(), "-SourceLoc s ");
    EXPECT_TRUE(value.GuardIntact());
    EXPECT_TRUE(commandLine.GuardIntact());
}

// --- ReadPloverOptions: the whole command line -----------------------------

struct ReadOptionsCase {
    const char* label;
    const char* commandText;  // null: no command line at all
    int expectResult;
    const char* expectInfPath;
    const char* expectSourceLocation;
};

class ReadPloverOptionsTest : public testing::TestWithParam<ReadOptionsCase> {};

TEST_P(ReadPloverOptionsTest, ReadsTargetPathThenSourceLoc) {
    const ReadOptionsCase& c = GetParam();
    PloverOptions options;
    memset(&options, 'x', sizeof options);
    std::string before = c.commandText ? c.commandText : "";
    EXPECT_EQ(ReadPloverOptions(c.commandText, &options), c.expectResult);
    if (c.expectResult == 1) {
        EXPECT_STREQ(options.infPath, c.expectInfPath);
        EXPECT_STREQ(options.sourceLocation, c.expectSourceLocation);
    }
    if (c.commandText) {
        EXPECT_EQ(before, c.commandText);  // the caller's text is not rewritten
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPloverOptionsTest,
    testing::Values(
        ReadOptionsCase{"Example", "-TargetPath C:\\drv\\x.inf -SourceLoc C:\\drv\\", 1, "C:\\drv\\x.inf",
                        "C:\\drv\\"},
        ReadOptionsCase{"OppositeOrder", "-SourceLoc C:\\drv\\ -TargetPath C:\\drv\\x.inf", 1, "C:\\drv\\x.inf",
                        "C:\\drv\\"},
        ReadOptionsCase{"BlanksInsideValues",
                        "-TargetPath C:\\Program Files\\Drv\\x.inf -SourceLoc C:\\Program Files\\Drv\\", 1,
                        "C:\\Program Files\\Drv\\x.inf", "C:\\Program Files\\Drv\\"},
        ReadOptionsCase{"QuotesKept", "-TargetPath \"C:\\drv\\x.inf\" -SourceLoc \"C:\\drv\\\"", 1,
                        "\"C:\\drv\\x.inf\"", "\"C:\\drv\\\""},
        ReadOptionsCase{"DashInsideTheInfPath", "-TargetPath C:\\my-drv\\x.inf -SourceLoc C:\\drv\\", 1, "C:\\my",
                        "C:\\drv\\"},
        ReadOptionsCase{"NoCommandLine", nullptr, 0, "", ""},
        ReadOptionsCase{"EmptyCommandLine", "", 0, "", ""},
        ReadOptionsCase{"OnlyDashes", "---", 0, "", ""},
        ReadOptionsCase{"TargetPathMissing", "-SourceLoc C:\\drv\\", 0, "", ""},
        ReadOptionsCase{"SourceLocMissing", "-TargetPath C:\\drv\\x.inf", 0, "", ""},
        ReadOptionsCase{"TargetPathWithoutBlank", "-TargetPath-SourceLoc C:\\drv\\", 0, "", ""},
        ReadOptionsCase{"KeyInsideAnotherValueSwallowsIt", "-SourceLoc C:\\TargetPath\\ -TargetPath C:\\x.inf", 0,
                        "", ""}),
    [](const testing::TestParamInfo<ReadOptionsCase>& info) { return info.param.label; });

// A command line of exactly `chars` characters with a long INF path.
std::string CommandLineOfLength(size_t chars) {
    const std::string head = "-TargetPath C:\\";
    const std::string tail = ".inf -SourceLoc C:\\drv\\";
    return head + std::string(chars - head.size() - tail.size(), 'p') + tail;
}

TEST(ReadPloverOptionsBounds, LongestCommandLineIsRead) {
    std::string text = CommandLineOfLength(259);
    PloverOptions options;
    EXPECT_EQ(ReadPloverOptions(text.c_str(), &options), 1);
    EXPECT_EQ(strlen(options.infPath), 259u - strlen("-TargetPath ") - strlen(" -SourceLoc C:\\drv\\"));
    EXPECT_STREQ(options.sourceLocation, "C:\\drv\\");
}

TEST(ReadPloverOptionsBounds, LongerCommandLineIsRefused) {
    for (size_t chars : {260u, 261u, 2000u, 32000u}) {
        std::string text = CommandLineOfLength(chars);
        PloverOptions options;
        EXPECT_EQ(ReadPloverOptions(text.c_str(), &options), 0) << chars << " characters";
    }
}

}  // namespace
