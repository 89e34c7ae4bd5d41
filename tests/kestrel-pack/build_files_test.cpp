// build_files_test.cpp: the file-system side of a build: folder listing, the
// payload cabinet made from a folder, the files a build writes, and the
// date stamps.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "folder_cabinet.h"
#include "host_files.h"
#include "pack_test_support.h"
#include "package_build.h"
#include "package_verify.h"

namespace fs = std::filesystem;

namespace {

class BuildFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("kestrel-pack-files-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root / "payload" / "sub" / "deeper");
        Write(root / "payload" / "b.txt", "bee");
        Write(root / "payload" / "a.txt", "a");
        Write(root / "payload" / "sub" / "deeper" / "z.bin", std::string(5000, 'z'));
        Write(root / "payload" / "sub" / "Y.txt", "why");
    }
    void TearDown() override { fs::remove_all(root); }

    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path root;
};

TEST_F(BuildFilesTest, ListingIsSortedAndRelative) {
    std::vector<HostFileInfo> files;
    std::string error;
    ASSERT_TRUE(ListHostFolder((root / "payload").string(), &files, &error)) << error;
    std::vector<std::string> names;
    for (const HostFileInfo& file : files) names.push_back(file.relativeName);
    // Bytewise: capitals before small letters, '\' (0x5C) before letters.
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt", "sub\\Y.txt", "sub\\deeper\\z.bin"}));
    EXPECT_EQ(files[3].size, 5000u);
}

TEST_F(BuildFilesTest, LinksAndMissingFoldersAreRefused) {
    std::vector<HostFileInfo> files;
    std::string error;
    EXPECT_FALSE(ListHostFolder((root / "absent").string(), &files, &error));
    EXPECT_NE(error.find("is not a folder"), std::string::npos);
    fs::create_symlink(root / "payload" / "a.txt", root / "payload" / "link.txt");
    EXPECT_FALSE(ListHostFolder((root / "payload").string(), &files, &error));
    EXPECT_NE(error.find("links are not followed"), std::string::npos) << error;
}

TEST_F(BuildFilesTest, BuildWritesPackageAndPartsThatVerify) {
    BuildRequest request;
    request.stubPath = FIXTURE_STUB;
    request.outputPath = (root / "out" / "My Setup.exe").string();
    request.folder.folder = (root / "payload").string();
    request.folder.fixedStamp = true;
    request.settings.splitParts = 2;
    fs::create_directories(root / "out");
    BuildReport report;
    std::string error;
    ASSERT_TRUE(BuildPackage(request, &report, &error)) << error;
    EXPECT_EQ(report.packedFiles, 4u);
    ASSERT_EQ(report.partPaths.size(), 2u);
    EXPECT_EQ(fs::path(report.partPaths[1]).filename(), "My Setup.002");
    EXPECT_EQ(report.package.entries.at(465), "My Setup");
    EXPECT_EQ(fs::file_size(request.outputPath), report.package.file.size());

    VerifyReport verdict;
    ASSERT_TRUE(VerifyPackageFile(request.outputPath, &verdict, &error)) << error;
    EXPECT_TRUE(verdict.Passed()) << verdict.verdict;

    // The same request again gives the same bytes.
    const std::vector<uint8_t> first = ReadTestFile(request.outputPath);
    ASSERT_TRUE(BuildPackage(request, &report, &error)) << error;
    EXPECT_EQ(ReadTestFile(request.outputPath), first);

    // An output inside the packed folder would be packed by the next build.
    request.outputPath = (root / "payload" / "sub" / ".." / "pkg.exe").string();
    EXPECT_FALSE(BuildPackage(request, &report, &error));
    EXPECT_NE(error.find("lies inside the folder"), std::string::npos) << error;
}

TEST(BuildFiles, DefaultPartBaseNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"setup.exe", "setup"}, {"out/setup.exe", "setup"}, {"a.b.exe", "a.b"}, {"noext", "noext"}, {".hidden", ".hidden"}};
    for (const auto& [path, base] : cases) EXPECT_EQ(DefaultPartBaseName(path), base) << path;
}

TEST(BuildFiles, PathsInsideFolders) {
    const fs::path temp = fs::temp_directory_path();
    EXPECT_TRUE(HostPathIsInside((temp / "x" / "y.exe").string(), (temp / "x").string()));
    EXPECT_TRUE(HostPathIsInside((temp / "x" / "y.exe").string(), (temp / "x" / "").string()));
    EXPECT_FALSE(HostPathIsInside((temp / "xy" / "y.exe").string(), (temp / "x").string()));
    EXPECT_FALSE(HostPathIsInside((temp / "x" / ".." / "y.exe").string(), (temp / "x").string()));
}

TEST(BuildFiles, DosStamps) {
    struct StampCase {
        const char* text;
        bool ok;
        uint16_t date, time;
    };
    const StampCase cases[] = {
        {"1980-01-01", true, 0x0021, 0},
        {"2107-12-31 23:59:59", true, static_cast<uint16_t>((127 << 9) | (12 << 5) | 31),
         static_cast<uint16_t>((23 << 11) | (59 << 5) | 29)},
        {"2024-02-29 12:30:01", true, static_cast<uint16_t>((44 << 9) | (2 << 5) | 29),
         static_cast<uint16_t>((12 << 11) | (30 << 5) | 0)},
        {"2024-02-30", false, 0, 0},
        {"2023-02-29", false, 0, 0},
        {"2100-02-29", false, 0, 0},
        {"1979-12-31", false, 0, 0},
        {"2108-01-01", false, 0, 0},
        {"2024-01-01 24:00:00", false, 0, 0},
        {"2024-01-01 12:00", false, 0, 0},
        {"2024-01-01x", false, 0, 0},
        {"yesterday", false, 0, 0},
    };
    for (const StampCase& c : cases) {
        DosStamp stamp;
        std::string error;
        EXPECT_EQ(ParseDosStamp(c.text, &stamp, &error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(stamp.date, c.date) << c.text;
            EXPECT_EQ(stamp.time, c.time) << c.text;
        }
    }
}

}  // namespace
