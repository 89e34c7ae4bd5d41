// command_line_test.cpp: options of kestrel-pack build and verify.
#include <gtest/gtest.h>

#include "pack_command_line.h"

namespace {

const std::vector<std::string> base = {"build", "--stub", "k.exe", "--output", "p.exe", "--files", "dir"};

std::vector<std::string> With(std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(CommandLine, BuildSettings) {
    PackCommand command;
    std::string error;
    ASSERT_TRUE(ParsePackCommandLine(
        With({"--program", "a.exe", "--args", "/x", "--program", "b.exe", "--no-cleanup", "--no-progress", "--in-place",
              "--ask-folder", "--browse-title", "Pick", "--additional", "x.cab,y.cab", "--optional", "z.cab",
              "--split-parts", "3", "--head-size", "1000", "--part-base", "pkg", "--string", "103=Title",
              "--string", "469=", "--compression", "none", "--file-time", "2020-02-03 04:05:06"}),
        &command, &error))
        << error;
    ASSERT_EQ(command.kind, PackCommandKind::Build);
    const PackageSettings& s = command.build.settings;
    ASSERT_EQ(s.programs.size(), 2u);
    EXPECT_EQ(s.programs[0].file, "a.exe");
    EXPECT_EQ(s.programs[0].arguments, "/x");
    EXPECT_EQ(s.programs[1].arguments, "");
    EXPECT_FALSE(s.cleanupWorkDir);
    EXPECT_FALSE(s.showProgress);
    EXPECT_TRUE(s.extractInPlace);
    EXPECT_TRUE(s.askForFolder);
    EXPECT_EQ(s.browseTitle, "Pick");
    EXPECT_EQ(s.additionalCabinets, "x.cab,y.cab");
    EXPECT_EQ(s.optionalCabinets, "z.cab");
    EXPECT_EQ(s.splitParts, 3u);
    EXPECT_EQ(s.headBytes, 1000u);
    EXPECT_EQ(s.partBaseName, "pkg");
    EXPECT_EQ(s.overrides, (StringEntries{{103, "Title"}, {469, ""}}));
    EXPECT_EQ(command.build.folder.method, "none");
    EXPECT_TRUE(command.build.folder.fixedStamp);
    EXPECT_EQ(command.build.folder.stamp.date, (40 << 9) | (2 << 5) | 3);
    EXPECT_EQ(command.build.folder.stamp.time, (4 << 11) | (5 << 5) | 3);
}

TEST(CommandLine, Utf8TextsBecomeWindows1252) {
    PackCommand command;
    std::string error;
    ASSERT_TRUE(ParsePackCommandLine(With({"--utf8", "--browse-title", "D\xC3\xA9j\xC3\xA0", "--string", "103=\xE2\x82\xAC"}),
                                     &command, &error))
        << error;
    EXPECT_EQ(command.build.settings.browseTitle, "D\xE9j\xE0");
    EXPECT_EQ(command.build.settings.overrides.at(103), "\x80");
    EXPECT_FALSE(ParsePackCommandLine(With({"--utf8", "--program", "\xE4\xB8\xAD.exe"}), &command, &error));
}

TEST(CommandLine, Mistakes) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{}, "no command"},
        {{"pack"}, "unknown command"},
        {{"verify"}, "exactly one"},
        {{"verify", "a.exe", "b.exe"}, "exactly one"},
        {{"build", "--stub", "k.exe", "--files", "d"}, "--output"},
        {{"build", "--stub", "k.exe", "--output", "p.exe"}, "exactly one payload"},
        {With({"--cabinet", "c.cab"}), "exactly one payload"},
        {With({"--args", "x"}), "right after the --program"},
        {With({"--program", "a", "--no-cleanup", "--args", "x"}), "right after the --program"},
        {With({"--split-parts", "0"}), "1 to 999"},
        {With({"--split-parts", "1000"}), "1 to 999"},
        {With({"--split-parts", "2x"}), "1 to 999"},
        {With({"--head-size", "10"}), "need --split-parts"},
        {With({"--string", "abc"}), "ID=TEXT"},
        {With({"--string", "70000=x"}), "ID=TEXT"},
        {With({"--file-time", "2020-13-01"}), "YYYY-MM-DD"},
        {With({"--file-time", "1979-12-31"}), "YYYY-MM-DD"},
        {With({"--marker", "CRC1,0x00000000", "--check-off"}), "cannot be combined"},
        {With({"--no-cleanup", "--no-cleanup"}), "twice"},
        {With({"--frobnicate"}), "unknown option"},
        {With({"--browse-title"}), "needs a value"},
        {With({"--split-parts", "2", "--part-base", "a/b"}), "without folder"},
    };
    for (const auto& [args, expected] : cases) {
        PackCommand command;
        std::string error;
        EXPECT_FALSE(ParsePackCommandLine(args, &command, &error)) << expected;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

}  // namespace
