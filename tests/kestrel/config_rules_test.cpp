// Tests of the setting rules: flags, numbers and lists.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "config_rules.h"

namespace {

TEST(ConfigRules, Flags) {
    struct Case {
        const char* text;
        int on;
    } cases[] = {{"1", 1}, {"01", 1}, {"10", 1}, {" 1", 1}, {"", 0}, {"0", 0}, {"2", 0}, {"abc", 0}};
    for (const Case& c : cases) EXPECT_EQ(IsFlagOn(c.text), c.on) << '"' << c.text << '"';
    EXPECT_EQ(IsFlagOn(nullptr), 0);
}

TEST(ConfigRules, NumbersFollowAtoi) {
    struct Case {
        const char* text;
        int value;
    } cases[] = {
        {"90112", 90112}, {"", 0},       {"abc", 0},          {"0", 0},
        {"  \t42", 42},   {"-7", -7},    {"+8", 8},           {"12abc", 12},
        {"- 5", 0},       {"\v\f\r\n9", 9}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(ReadNumber(nullptr), 0);
}

std::vector<std::string> WalkList(const char* text) {
    std::string buffer(text);
    std::vector<char> storage(buffer.begin(), buffer.end());
    storage.push_back('\0');
    std::vector<std::string> items;
    char* cursor = storage.data();
    while (char* item = NextListItem(&cursor)) items.push_back(item);
    return items;
}

TEST(ConfigRules, ListsSkipEmptyItemsAndKeepSpaces) {
    using V = std::vector<std::string>;
    EXPECT_EQ(WalkList(""), V{});
    EXPECT_EQ(WalkList(",,,"), V{});
    EXPECT_EQ(WalkList("a.cab,,b.cab"), (V{"a.cab", "b.cab"}));
    EXPECT_EQ(WalkList(",a.cab, b c.cab ,"), (V{"a.cab", " b c.cab "}));
    EXPECT_EQ(WalkList("one"), V{"one"});
}

TEST(ConfigRules, ListIsUsedUpByOneWalk) {
    char list[] = "a,b";
    char* cursor = list;
    ASSERT_STREQ(NextListItem(&cursor), "a");
    ASSERT_STREQ(NextListItem(&cursor), "b");
    EXPECT_EQ(NextListItem(&cursor), nullptr);
    EXPECT_EQ(NextListItem(&cursor), nullptr);
    EXPECT_STREQ(list, "a");  // cut in place
}

}  // namespace
