// Command lines from file associations: blanks, the %SystemRoot% prefix,
// the program part, the placeholder, and the quoting that keeps the system
// from guessing where a program path with blanks ends.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "association_command.h"

namespace {

TEST(AssociationText, BlanksAndExtensions) {
    const char blanks[] = {'\t', '\n', '\r', ' '};
    for (char c : blanks) EXPECT_EQ(IsBlank(c), 1) << int(c);
    const char others[] = {'\v', '\f', 'a', '\0', '"', '_'};
    for (char c : others) EXPECT_EQ(IsBlank(c), 0) << int(c);
    EXPECT_STREQ(SkipBlanks(" \t\r\nx y"), "x y");
    EXPECT_STREQ(SkipBlanks("\vx"), "\vx");

    struct {
        const char* path;
        const char* extension;
    } cases[] = {
        {"C:\\t\\KSV000\\readme.txt", ".txt"},
        {"C:\\t\\KSV000\\archive.tar.gz", ".gz"},
        {"C:\\t.d\\KSV000\\noext", ".d\\KSV000\\noext"},  // the last dot of the whole path
        {"C:\\t\\KSV000\\noext", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(PathExtension(c.path), c.extension) << c.path;
}

TEST(AssociationText, QuotesAndSystemRoot) {
    char text[associationTextChars] = "\"C:\\Program Files\\v.exe\" '%1'";
    QuotesToBlanks(text);
    EXPECT_STREQ(text, " C:\\Program Files\\v.exe   %1 ");

    struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"%SystemRoot%\\system32\\notepad.exe %1", "C:\\WINDOWS\\system32\\notepad.exe %1"},
        {"  %systemroot%\\x.exe", "C:\\WINDOWS\\x.exe"},         // leading blanks go with it
        {"%SYSTEMROOT%", "C:\\WINDOWS"},
        {"%SystemRoo", "%SystemRoo"},                               // shorter: no match
        {"x %SystemRoot%\\a.exe", "x %SystemRoot%\\a.exe"},         // only at the start
        {"  C:\\a.exe", "  C:\\a.exe"},                             // otherwise blanks stay
    };
    for (const auto& c : cases) {
        char line[associationTextChars];
        snprintf(line, sizeof line, "%s", c.before);
        EXPECT_EQ(ExpandSystemRoot(line, sizeof line, "C:\\WINDOWS"), 1) << c.before;
        EXPECT_STREQ(line, c.after) << c.before;
    }
    char small[20] = "%SystemRoot%\\ab.exe";
    EXPECT_EQ(ExpandSystemRoot(small, sizeof small, "C:\\WINDOWS.LONG"), 0);  // 22 characters would not fit
    EXPECT_STREQ(small, "%SystemRoot%\\ab.exe");
}

// A file system of a few names for FindProgramPart.
struct FakeFiles {
    std::set<std::string> names;
    std::set<std::string> asked;
};

int FakeExists(const char* path, void* context) {
    FakeFiles* files = static_cast<FakeFiles*>(context);
    files->asked.insert(path);
    return files->names.count(path) != 0;
}

TEST(AssociationText, ProgramPartIsTheLongestExistingPrefix) {
    FakeFiles files;
    files.names = {"C:\\Program Files\\Viewer\\view.exe", "C:\\Program", "C:\\Program Files\\Viewer\\view.exe /open"};
    const char line[] = "C:\\Program Files\\Viewer\\view.exe /open   %1 ";
    // The whole line and "...view.exe /open  " do not exist; the longest
    // existing prefix ending before a blank wins.
    EXPECT_EQ(FindProgramPart(line, FakeExists, &files), strlen("C:\\Program Files\\Viewer\\view.exe /open"));

    files.names = {"C:\\Program"};
    EXPECT_EQ(FindProgramPart("C:\\Program Files\\v.exe %1", FakeExists, &files), strlen("C:\\Program"));

    files.names = {};
    EXPECT_EQ(FindProgramPart("C:\\nothing %1", FakeExists, &files), 0u);
    EXPECT_EQ(FindProgramPart("", FakeExists, &files), 0u);

    // Leading blanks stay in every prefix that is tested.
    files.names = {" C:\\a.exe"};
    files.asked.clear();
    EXPECT_EQ(FindProgramPart(" C:\\a.exe %1", FakeExists, &files), strlen(" C:\\a.exe"));
    EXPECT_EQ(files.asked.count("C:\\a.exe"), 0u);

    std::string tooLong(associationTextChars, 'x');
    files.names = {tooLong};
    EXPECT_EQ(FindProgramPart(tooLong.c_str(), FakeExists, &files), 0u);
}

TEST(AssociationText, PlaceholderStandsAfterABlank) {
    struct {
        const char* line;
        size_t from;
        long at;  // -1: none
    } cases[] = {
        {"C:\\v.exe %1", 7, 9},
        {"C:\\v.exe /x:%1 %*", 7, 15},      // "%1" after ":" is no placeholder
        {"C:\\v.exe %% %L", 7, 12},          // "%%" is none, "%L" is one
        {"C:\\v.exe 100% %~", 7, -1},        // "%" followed by "~" is none
        {"%1", 0, 0},                        // at the very start
        {"C:\\v.exe\t%2", 7, 9},             // a tab counts as a blank
        {"C:\\v.exe\v%2", 7, -1},            // a vertical tab does not
        {"C:\\v%1.exe %1", 3, 11},           // the scan starts at the program part's last character
    };
    for (const auto& c : cases) {
        const char* found = FindPlaceholder(c.line, c.from);
        long at = found == nullptr ? -1 : static_cast<long>(found - c.line);
        EXPECT_EQ(at, c.at) << c.line;
    }
}

TEST(AssociationCommand, ComposedLineQuotesPathsWithBlanksAndDropsTheRest) {
    struct {
        const char* line;
        size_t programLength;
        size_t placeholderAt;
        const char* file;
        const char* arguments;
        const char* expected;
    } cases[] = {
        // %1 /x loses its /x; no blanks, no quotes.
        {"C:\\WINDOWS\\system32\\notepad.exe %1 /x", 31, 32, "C:\\T\\KSV000\\readme.txt", "-a",
         "C:\\WINDOWS\\system32\\notepad.exe C:\\T\\KSV000\\readme.txt -a"},
        // A program path with a blank is quoted: never "C:\Program.exe".
        {"C:\\Program Files\\Viewer\\view.exe /open   %1 ", 32, 41, "C:\\T\\KSV000\\a.doc", "",
         "\"C:\\Program Files\\Viewer\\view.exe\" /open   C:\\T\\KSV000\\a.doc "},
        // Leading blanks of the program part are dropped; a document with a
        // blank is quoted too.
        {"  C:\\Tools\\v.exe %1", 16, 17, "C:\\My Docs\\a.txt", "x y",
         "C:\\Tools\\v.exe \"C:\\My Docs\\a.txt\" x y"},
    };
    for (const auto& c : cases) {
        char out[associationTextChars];
        ASSERT_EQ(c.line[c.placeholderAt], '%') << c.line;
        EXPECT_EQ(ComposeAssociationCommand(out, sizeof out, c.line, c.programLength, c.line + c.placeholderAt,
                                            c.file, c.arguments),
                  1)
            << c.line;
        EXPECT_STREQ(out, c.expected) << c.line;
    }
    // Refused, not cut.
    char out[40];
    const char line[] = "C:\\Program Files\\v.exe %1";
    EXPECT_EQ(ComposeAssociationCommand(out, sizeof out, line, 22, line + 23, "C:\\T\\KSV000\\readme.txt", ""), 0);
    EXPECT_STREQ(out, "");
}

TEST(AssociationCommand, ExecutableLookupResult) {
    struct {
        std::string result;  // NULs inside stand for blanks the lookup dropped
        const char* file;
        const char* arguments;
        int ok;
        const char* expected;
    } cases[] = {
        {"C:\\WINDOWS\\notepad.exe", "C:\\T\\a.txt", "-p", 1, "C:\\WINDOWS\\notepad.exe C:\\T\\a.txt -p"},
        // The document itself is executable: it is not named twice.
        {"C:\\T\\setup.com", "C:\\T\\setup.com", "", 1, "C:\\T\\setup.com "},
        {"C:\\T\\SETUP.COM", "C:\\T\\setup.com", "", 1, "C:\\T\\SETUP.COM "},
        // Blanks reported as NULs come back, the path is quoted, and the
        // document is not appended.
        {std::string("C:\\Program\0Files\\v.exe", 23), "C:\\T\\a.v", "-q", 1, "\"C:\\Program Files\\v.exe\" -q"},
        {"", "C:\\T\\a.v", "", 0, ""},
    };
    for (const auto& c : cases) {
        char result[associationTextChars] = {};
        memcpy(result, c.result.data(), c.result.size());
        char out[associationTextChars];
        EXPECT_EQ(ComposeExecutableCommand(out, sizeof out, result, sizeof result, c.file, c.arguments), c.ok)
            << c.file;
        EXPECT_STREQ(out, c.expected) << c.file;
    }
}

}  // namespace
