// Tests of the own-path split and of the guard that keeps RemoveWorkFolder
// away from everything but the temporary work folder.
#include <gtest/gtest.h>

#include <string>

#include "work_folder_rules.h"

namespace {

TEST(WorkFolderRules, SplitFullPath) {
    char folder[16], name[16];
    ASSERT_TRUE(SplitFullPath("C:\\pkg\\setup.exe", folder, sizeof folder, name, sizeof name));
    EXPECT_STREQ(folder, "C:\\pkg\\");
    EXPECT_STREQ(name, "setup.exe");
    EXPECT_FALSE(SplitFullPath("setup.exe", folder, sizeof folder, name, sizeof name));
    EXPECT_STREQ(folder, "");
    // Folder of exactly 16 characters does not fit 16 with its NUL: refused.
    EXPECT_FALSE(SplitFullPath("C:\\abcdefghijkl\\x", folder, sizeof folder, name, sizeof name));
    EXPECT_STREQ(folder, "");
    EXPECT_STREQ(name, "");
    EXPECT_FALSE(SplitFullPath("C:\\a\\0123456789abcdef", folder, sizeof folder, name, sizeof name));
}

TEST(WorkFolderRules, DriveRoots) {
    for (const char* root : {"C:", "C:\\", "z:\\"}) EXPECT_TRUE(IsDriveRootText(root)) << root;
    for (const char* other : {"", "C:\\x", "\\", "C:\\temp"}) EXPECT_FALSE(IsDriveRootText(other)) << other;
}

TEST(WorkFolderRules, OnlyTheTemporaryFolderIsRemovable) {
    const char* exeDir = "C:\\pkg\\";
    struct Case {
        const char* workDir;
        const char* workDirBare;
        int removable;
    } cases[] = {
        {"C:\\windows\\temp\\KSV000\\", "C:\\windows\\temp\\KSV000", 1},
        {"C:\\windows\\temp\\KSV417\\", "C:\\windows\\temp\\KSV417", 1},
        {"", "", 0},                                                   // nothing settled
        {"C:\\pkg\\", "C:\\pkg\\", 0},                                 // extract in place
        {"D:\\picked\\", "D:\\picked\\", 0},                           // picked folder
        {"D:\\", "D:\\", 0},                                           // picked drive root
        {"D:\\KSV001\\", "D:\\KSV001\\", 0},                           // picked, same name
        {"C:\\windows\\temp\\KSV000\\", "C:\\windows\\temp\\KSV001", 0}, // forms disagree
        {"C:\\windows\\temp\\other\\", "C:\\windows\\temp\\other", 0}, // not a KSV folder
        {"C:\\windows\\temp\\KSV0a0\\", "C:\\windows\\temp\\KSV0a0", 0},
        {"C:\\pkg\\KSV000\\", "C:\\pkg\\KSV000", 0},                   // beneath exeDir
        {"C:\\PKG\\KSV000\\", "C:\\PKG\\KSV000", 1},                   // other case: not recognised
        {"C:\\windows\\temp\\KSV000\\\\", "C:\\windows\\temp\\KSV000", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsTemporaryWorkFolder(c.workDir, c.workDirBare, exeDir), c.removable)
            << c.workDir << " | " << c.workDirBare;
    }
    EXPECT_FALSE(IsTemporaryWorkFolder("C:\\KSV000\\", "C:\\KSV000", "C:\\"));
    EXPECT_TRUE(IsTemporaryWorkFolder("C:\\w\\temp\\KSV000\\", "C:\\w\\temp\\KSV000", ""));
}

}  // namespace

namespace {

TEST(WorkFolderRules, LinksAreNeverEnteredNorTouched) {
    const unsigned long readOnly = 0x1, hidden = 0x2, directory = 0x10, archive = 0x20;
    struct Case {
        int kind;
        unsigned long attributes;
        ChildRemoval removal;
    } cases[] = {
        {1, archive, RemovalDeleteFile},
        {1, readOnly | hidden, RemovalDeleteFile},
        {1, archive | attributeReparsePoint, RemovalDeleteLinkFile},     // file symbolic link
        {2, directory, RemovalEmptyThenRemove},
        {2, directory | attributeReparsePoint, RemovalRemoveLinkFolder}, // junction or folder link
        {2, directory | readOnly | attributeReparsePoint, RemovalRemoveLinkFolder},
        {0, directory, RemovalNone},                                     // "." and ".."
        {0, 0, RemovalNone},
        {4, directory, RemovalNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecideChildRemoval(c.kind, c.attributes), c.removal) << c.kind << " " << c.attributes;
    }
}

}  // namespace
