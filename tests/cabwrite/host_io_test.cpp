// host_io_test.cpp: the POSIX CabIo callbacks and kcab's name and time rules.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "dos_time.h"
#include "host_io.h"
#include "safe_names.h"

namespace {

TEST(HostIo, OpenFlagsMapToPosix) {
    struct Case {
        int32_t flags;
        int expected;
    } cases[] = {
        {0x8000, O_RDONLY},
        {0x8001, O_WRONLY},
        {0x8002, O_RDWR},
        {0x8121, O_WRONLY | O_CREAT},  // the front end's output files
        {0x0301, O_WRONLY | O_CREAT | O_TRUNC},
        {0x0502, O_RDWR | O_CREAT | O_EXCL},
        {0x0009, O_WRONLY | O_APPEND},
        {0x4040, O_RDONLY},  // text and temporary have no POSIX meaning
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HostOpenFlags(c.flags) & ~O_CLOEXEC, c.expected) << std::hex << c.flags;
        EXPECT_NE(HostOpenFlags(c.flags) & O_CLOEXEC, 0);
    }
    EXPECT_EQ(HostOpenMode(0x180), static_cast<unsigned>(S_IRUSR | S_IWUSR));  // 0600
    EXPECT_EQ(HostOpenMode(0x100), static_cast<unsigned>(S_IRUSR));
    EXPECT_EQ(HostOpenMode(0), 0u);
}

TEST(HostIo, ReadWriteSeekOnARealFile) {
    char path[] = "/tmp/kestrel-hostio-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    int32_t handle = HostOpen(path, 0x0302, 0x180);  // read-write, create, truncate
    ASSERT_NE(handle, -1);
    EXPECT_EQ(HostWrite(handle, "0123456789", 10), 10);
    EXPECT_EQ(HostSeek(handle, 0, 1), 10);
    EXPECT_EQ(HostSeek(handle, 3, 0), 3);
    char buffer[16] = {};
    EXPECT_EQ(HostRead(handle, buffer, 16), 7);  // short at the end of the file
    EXPECT_STREQ(buffer, "3456789");
    EXPECT_EQ(HostRead(handle, buffer, 4), 0);
    EXPECT_EQ(HostSeek(handle, -1, 0), -1);
    EXPECT_EQ(HostClose(handle), 0);
    EXPECT_NE(HostClose(handle), 0);
    EXPECT_EQ(HostOpen("/nonexistent/kestrel", 0x8000, 0x180), -1);
    unlink(path);
}

TEST(HostIo, StarOpensAnUnnamedScratchFile) {
    EXPECT_TRUE(HostIsScratchName("*"));
    EXPECT_FALSE(HostIsScratchName("*x"));
    EXPECT_FALSE(HostIsScratchName("x*"));
    EXPECT_FALSE(HostIsScratchName(""));

    int32_t handle = HostOpen("*", 0x8302, 0x180);
    ASSERT_NE(handle, -1);
    std::string block(40000, 'q');
    EXPECT_EQ(HostWrite(handle, block.data(), static_cast<uint32_t>(block.size())), 40000);
    EXPECT_EQ(HostSeek(handle, 39990, 0), 39990);
    char buffer[10];
    EXPECT_EQ(HostRead(handle, buffer, 10), 10);
    EXPECT_EQ(std::string(buffer, 10), std::string(10, 'q'));
    // It has no name left in any folder: its link count is 0.
    struct stat info;
    ASSERT_EQ(fstat(handle, &info), 0);
    EXPECT_EQ(info.st_nlink, 0u);
    EXPECT_EQ(HostClose(handle), 0);

    // A second scratch file is another file.
    int32_t a = HostOpen("*", 0x8302, 0x180);
    int32_t b = HostOpen("*", 0x8302, 0x180);
    ASSERT_NE(a, -1);
    ASSERT_NE(b, -1);
    EXPECT_EQ(HostWrite(a, "aa", 2), 2);
    EXPECT_EQ(HostSeek(b, 0, 2), 0);
    HostClose(a);
    HostClose(b);
}

TEST(SafeNames, CabinetNamesBecomeRelativePathsOrAreRefused) {
    struct Case {
        const char* name;
        const char* expected;  // null: refused
    } cases[] = {
        {"readme.txt", "readme.txt"},
        {"docs\\guide.txt", "docs/guide.txt"},
        {"a/b\\c", "a/b/c"},
        {"a\\\\b", "a/b"},
        {".\\a", "a"},
        {"a..b", "a..b"},
        {"..x", "..x"},
        {"..\\x", nullptr},
        {"a\\..\\x", nullptr},
        {"a/../x", nullptr},
        {"a\\..", nullptr},
        {"..", nullptr},
        {"C:x", nullptr},
        {"C:\\x", nullptr},
        {"a:b", nullptr},
        {"\\abs", nullptr},
        {"/abs", nullptr},
        {"\\\\server\\share", nullptr},
        {"", nullptr},
        {".", nullptr},
        {"\\", nullptr},
    };
    for (const Case& c : cases) {
        std::string relative, reason;
        const bool ok = CabNameToRelativePath(c.name, &relative, &reason);
        EXPECT_EQ(ok, c.expected != nullptr) << c.name;
        if (ok && c.expected) {
            EXPECT_EQ(relative, c.expected) << c.name;
        } else if (!ok) {
            EXPECT_FALSE(reason.empty()) << c.name;
        }
    }
}

TEST(SafeNames, ContinuationCabinetNamesMustBePlain) {
    EXPECT_TRUE(IsPlainFileName("out2.cab"));
    for (const char* name : {"", ".", "..", "../x.cab", "a/b.cab", "a\\b.cab", "C:x.cab"}) {
        EXPECT_FALSE(IsPlainFileName(name)) << name;
    }
}

TEST(DosTime, WordsFormatAndConvert) {
    EXPECT_EQ(FormatDosDateTime((44 << 9) | (5 << 5) | 17, (13 << 11) | (45 << 5) | 10), "2024-05-17 13:45:20");
    EXPECT_EQ(FormatDosDateTime(0, 0), "1980-00-00 00:00:00");

    setenv("TZ", "UTC", 1);
    tzset();
    time_t moment = 0;
    ASSERT_TRUE(TimeFromDos((44 << 9) | (5 << 5) | 17, (13 << 11) | (45 << 5) | 10, &moment));
    EXPECT_EQ(moment, 1715953520);
    uint16_t date = 0, time = 0;
    DosFromTime(moment + 1, &date, &time);  // odd seconds round down
    EXPECT_EQ(date, (44 << 9) | (5 << 5) | 17);
    EXPECT_EQ(time, (13 << 11) | (45 << 5) | 10);
    DosFromTime(0, &date, &time);  // 1970: before DOS time begins
    EXPECT_EQ(FormatDosDateTime(date, time), "1980-01-01 00:00:00");
    EXPECT_FALSE(TimeFromDos(0, 0, &moment));                        // month 0
    EXPECT_FALSE(TimeFromDos((1 << 5) | 1, 24 << 11, &moment));      // hour 24
}

}  // namespace
