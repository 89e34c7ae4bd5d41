// Which cabinet names may be written beneath the target folder.
#include <gtest/gtest.h>

#include <cstring>

#include "safe_name.h"

namespace {

struct NameCase {
    const char* name;
    int safe;
};

TEST(SafeCabinetName, AcceptsRelativeNamesAndRefusesEscapes) {
    const NameCase cases[] = {
        // Ordinary names and folders.
        {"setup.exe", 1},
        {"a\\b\\c.txt", 1},
        {"a/b/c.txt", 1},
        {"..name", 1},           // dots inside a component are a name
        {"name..", 1},
        {"a..b\\c", 1},
        {"x.\\y", 1},
        {"console.txt", 1},      // longer than a device name
        {"com10", 1},
        {"lpt0.txt", 1},
        {"com", 1},
        {"nul_file", 1},
        {"conin", 1},
        // Absolute paths, drives, streams.
        {"\\abs.txt", 0},
        {"/abs.txt", 0},
        {"\\\\server\\share\\x", 0},
        {"\\\\?\\C:\\x", 0},
        {"C:x.txt", 0},
        {"C:\\x.txt", 0},
        {"file.txt:stream", 0},
        {"a\\b:c\\d", 0},
        // Parent and self components with either separator.
        {"..", 0},
        {"..\\x", 0},
        {"../x", 0},
        {"a\\..\\..\\x", 0},
        {"a/../../x", 0},
        {"a\\..", 0},
        {"a\\.\\b", 0},
        {"...\\x", 0},
        {".. \\x", 0},
        {". .\\x", 0},
        // Empty names and empty last components.
        {"", 0},
        {"dir\\", 0},
        {"dir/", 0},
        // Devices in any component, any case, with or without extension.
        {"CON", 0},
        {"con", 0},
        {"Prn.txt", 0},
        {"aux.tar.gz", 0},
        {"a\\NUL", 0},
        {"nul\\a.txt", 0},
        {"COM1", 0},
        {"com9.log", 0},
        {"LPT1", 0},
        {"lpt9.x", 0},
        {"CONIN$", 0},
        {"conout$.txt", 0},
        {"CON .txt", 0},          // Windows drops blanks before the extension
        {"aux.", 0},
        {"sub/Con", 0},
    };
    for (const NameCase& c : cases) EXPECT_EQ(IsSafeCabinetName(c.name), c.safe) << "name: " << c.name;
    EXPECT_EQ(IsSafeCabinetName(nullptr), 0);
}

TEST(SafeCabinetName, DeviceNamesByLength) {
    const char text[] = "COM1.txt";
    EXPECT_EQ(IsDeviceName(text, 4), 1);
    EXPECT_EQ(IsDeviceName(text, 3), 0);  // "COM" alone is no device
    EXPECT_EQ(IsDeviceName(text, strlen(text)), 1);
    EXPECT_EQ(IsDeviceName("LPT5", 4), 1);
    EXPECT_EQ(IsDeviceName("LPTX", 4), 0);
}

TEST(PlainCabinetName, OnlyNamesBesideTheCabinet) {
    const NameCase cases[] = {
        {"next.cab", 1},  {"disk2.cab", 1},    {"", 0},         {"..", 0},
        {".", 0},         {"..\\next.cab", 0}, {"sub\\x.cab", 0}, {"sub/x.cab", 0},
        {"C:x.cab", 0},   {"\\x.cab", 0},      {"nul.cab", 0},  {"x.cab:ads", 0},
    };
    for (const NameCase& c : cases) EXPECT_EQ(IsPlainCabinetName(c.name), c.safe) << "name: " << c.name;
}

}  // namespace
