// Tests of the walk over one cabinet: the notices and their fields, which
// blocks are read, and the codes that the common failures leave.
#include <gtest/gtest.h>

#include <string>

#include "decoder_fixture.h"

namespace {

using WalkTest = DecoderTest;

TEST_F(WalkTest, NoticeSequenceAndFields) {
    Bytes a = PatternBytes(100, 1), b = PatternBytes(7, 2);
    CabinetSpec spec = OneFolderCabinet({{"dir\\a.txt", a}, {"b.txt", b}});
    spec.setId = 0x4321;
    spec.cabinetIndex = 0;
    spec.hasNext = true;
    spec.nextCabinet = "next.cab";
    spec.nextDisk = "Disk 2";
    spec.files[1].date = 0x1111;
    spec.files[1].time = 0x2222;
    spec.files[1].attributes = 0x0021;
    io.files["cabs\\one.cab"] = BuildCabinet(spec);

    ASSERT_EQ(Extract("one.cab", "cabs\\"), 1);
    EXPECT_EQ(recorder.Types(), (std::vector<int32_t>{NoticeCabinetOpened, NoticeOpenOutput, NoticeCloseOutput,
                                                     NoticeOpenOutput, NoticeCloseOutput}));
    const RecordedNotice& opened = recorder.notices[0];
    EXPECT_EQ(opened.text1, "next.cab");
    EXPECT_EQ(opened.text2, "Disk 2");
    EXPECT_EQ(opened.text3, "cabs\\");
    EXPECT_EQ(opened.setId, 0x4321);
    EXPECT_EQ(opened.cabinetIndex, 0);
    EXPECT_EQ(opened.user, &recorder);

    const RecordedNotice& openB = recorder.notices[3];
    EXPECT_EQ(openB.size, 7);
    EXPECT_EQ(openB.text1, "b.txt");
    EXPECT_EQ(openB.text2, "");  // no previous cabinet
    EXPECT_EQ(openB.text3, "");
    EXPECT_EQ(openB.date, 0x1111);
    EXPECT_EQ(openB.time, 0x2222);
    EXPECT_EQ(openB.attributes, 0x0021);
    const RecordedNotice& closeB = recorder.notices[4];
    EXPECT_EQ(closeB.text1, "b.txt");
    EXPECT_EQ(closeB.handle, openB.answer);
    EXPECT_EQ(closeB.date, 0x1111);
    EXPECT_EQ(closeB.time, 0x2222);
    EXPECT_EQ(closeB.attributes, 0x0021);
    EXPECT_EQ(closeB.size, 0);

    EXPECT_EQ(recorder.Output("dir\\a.txt"), a);
    EXPECT_EQ(recorder.Output("b.txt"), b);
    EXPECT_EQ(error.failed, 0);
    // Both cabinet handles come from the same path, opened binary read-only.
    ASSERT_EQ(io.Opens().size(), 2u);
    for (const MemoryIo::OpenRecord& open : io.Opens()) {
        EXPECT_EQ(open.path, "cabs\\one.cab");
        EXPECT_EQ(open.flags, 0x8000);
        EXPECT_EQ(open.mode, 0x180);
    }
}

TEST_F(WalkTest, EmptyCabinetSendsOnlyCabinetOpened) {
    CabinetSpec spec;
    io.files["a.cab"] = BuildCabinet(spec);
    EXPECT_EQ(Extract(), 1);
    EXPECT_EQ(recorder.Types(), (std::vector<int32_t>{NoticeCabinetOpened}));
    EXPECT_EQ(recorder.notices[0].text1, "");
    EXPECT_EQ(recorder.notices[0].text2, "");
}

TEST_F(WalkTest, NoticeFlagIsReportedApartAtClose) {
    CabinetSpec spec = OneFolderCabinet({{"f", PatternBytes(3, 3)}});
    spec.files[0].attributes = 0x41;
    io.files["a.cab"] = BuildCabinet(spec);
    ASSERT_EQ(Extract(), 1);
    EXPECT_EQ(recorder.Last(NoticeOpenOutput)->attributes, 0x41);
    EXPECT_EQ(recorder.Last(NoticeCloseOutput)->attributes, 0x01);
    EXPECT_EQ(recorder.Last(NoticeCloseOutput)->size, 1);
}

TEST_F(WalkTest, NameLengthLimit) {
    struct Case {
        size_t chars;
        bool terminated;
        int result;
    } cases[] = {
        {255, true, 1},   // NUL is the 256th byte
        {256, true, 0},   // NUL is the 257th byte
        {300, true, 0},
        {10, false, 0},   // the file ends before any NUL
    };
    for (const Case& c : cases) {
        CabinetSpec spec = OneFolderCabinet({{std::string(c.chars, 'n'), PatternBytes(4, 4)}});
        spec.files[0].nameUnterminated = !c.terminated;
        Bytes cabinet = BuildCabinet(spec);
        if (!c.terminated) cabinet.resize(cabinet.size() - 4 - 8);  // drop the data block behind the name
        io.files["a.cab"] = cabinet;
        error = {0, 0, 0};
        NoticeRecorder rec(io);
        EXPECT_EQ(rec.Extract(decoder, "a.cab"), c.result) << c.chars;
        if (c.result == 1) {
            EXPECT_EQ(rec.Last(NoticeOpenOutput)->text1, std::string(c.chars, 'n'));
        } else {
            EXPECT_EQ(error.code, CabErrCorrupt) << c.chars;
            EXPECT_EQ(rec.Count(NoticeOpenOutput), 0) << c.chars;
        }
    }
}

// Every -1 from the notification callback or the hook is code 11, and ends
// the walk at once; the engine closes the output it was writing.
TEST_F(WalkTest, AbortsAreCode11) {
    struct Case {
        const char* label;
        int32_t noticeType;
        int hookKind;
        size_t noticesSeen;
    } cases[] = {
        {"CabinetOpened", NoticeCabinetOpened, -1, 1},
        {"OpenOutput", NoticeOpenOutput, -1, 2},
        {"CloseOutput", NoticeCloseOutput, -1, 3},
        {"HookCabinet", -1, HookCabinet, 1},
        {"HookFolder", -1, HookFolder, 2},
        {"HookDataBlock", -1, HookDataBlock, 2},
    };
    io.files["a.cab"] = BuildCabinet(OneFolderCabinet({{"f", PatternBytes(30, 5)}, {"g", PatternBytes(3, 6)}}));
    for (const Case& c : cases) {
        error = {0, 0, 0};
        NoticeRecorder rec(io);
        rec.abortType = c.noticeType;
        rec.hookAbortKind = c.hookKind;
        EXPECT_EQ(rec.Extract(decoder, "a.cab"), 0) << c.label;
        EXPECT_EQ(error.code, CabErrAborted) << c.label;
        EXPECT_EQ(rec.notices.size(), c.noticesSeen) << c.label;
        EXPECT_EQ(io.OpenHandles(), 0u) << c.label;
    }
}

TEST_F(WalkTest, CloseOutputZeroIsCode8AndLeavesTheHandle) {
    io.files["a.cab"] = BuildCabinet(OneFolderCabinet({{"f", PatternBytes(30, 5)}, {"g", PatternBytes(3, 6)}}));
    recorder.closeAnswer = 0;
    EXPECT_EQ(Extract(), 0);
    EXPECT_EQ(error.code, CabErrWrite);
    EXPECT_EQ(recorder.Count(NoticeOpenOutput), 1);
    int32_t handle = recorder.Last(NoticeCloseOutput)->handle;
    EXPECT_TRUE(io.IsOpen(handle));
    io.CloseOutput(handle);
}

TEST_F(WalkTest, ContinuedFileInFirstCabinetIsAnnouncedAndPassedOver) {
    CabinetSpec spec = OneFolderCabinet({{"later", PatternBytes(10, 1)}});
    spec.hasPrevious = true;
    spec.prevCabinet = "zero.cab";
    spec.prevDisk = "Disk 0";
    CabFileSpec continued;
    continued.name = "began.before";
    continued.fileSize = 5000;
    continued.folderIndex = FolderFromPrevious;
    spec.files.insert(spec.files.begin(), continued);
    continued.name = "passes.through";
    continued.folderIndex = FolderPrevAndNext;
    spec.files.insert(spec.files.begin() + 1, continued);
    io.files["a.cab"] = BuildCabinet(spec);

    ASSERT_EQ(Extract(), 1);
    EXPECT_EQ(recorder.Types(), (std::vector<int32_t>{NoticeCabinetOpened, NoticeContinuedFile, NoticeContinuedFile,
                                                     NoticeOpenOutput, NoticeCloseOutput}));
    const RecordedNotice& n = recorder.notices[1];
    EXPECT_EQ(n.size, 5000);
    EXPECT_EQ(n.text1, "began.before");
    EXPECT_EQ(n.text2, "zero.cab");
    EXPECT_EQ(n.text3, "Disk 0");
    EXPECT_EQ(recorder.Output("later"), PatternBytes(10, 1));
}

// Which data blocks are read: declined files read nothing; a file inside the
// block at hand reads no block again; a file starting exactly at the end of
// the block at hand reads the next one; an empty file still selects its folder.
TEST_F(WalkTest, BlocksReadFollowTheAcceptedFiles) {
    Bytes block0 = PatternBytes(40, 10), block1 = PatternBytes(50, 11);
    CabinetSpec spec;
    CabFolderSpec folder0;
    folder0.blocks = {StoredBlock(block0), StoredBlock(block1)};
    CabFolderSpec folder1;
    folder1.blocks = {StoredBlock(PatternBytes(8, 12))};
    spec.folders = {folder0, folder1};
    auto file = [](const char* name, uint32_t offset, uint32_t size, uint16_t folder) {
        CabFileSpec f;
        f.name = name;
        f.folderOffset = offset;
        f.fileSize = size;
        f.folderIndex = folder;
        return f;
    };
    spec.files = {file("a", 0, 10, 0),  file("b", 10, 30, 0),  // b ends exactly at the end of block 0
                  file("c", 40, 5, 0),  file("d", 45, 45, 0),  // c starts exactly at block 1
                  file("empty", 0, 0, 1)};
    io.files["a.cab"] = BuildCabinet(spec);

    struct Case {
        const char* label;
        std::set<std::string> declined;
        int dataBlocksRead;
        int foldersRead;
    } cases[] = {
        {"all declined", {"a", "b", "c", "d", "empty"}, 0, 0},
        {"only a and b", {"c", "d", "empty"}, 1, 1},
        {"only c", {"a", "b", "d", "empty"}, 2, 1},
        {"all", {}, 3, 2},
        {"only the empty file", {"a", "b", "c", "d"}, 1, 1},
    };
    for (const Case& c : cases) {
        NoticeRecorder rec(io);
        rec.declined = c.declined;
        ASSERT_EQ(rec.Extract(decoder, "a.cab"), 1) << c.label;
        int blocks = 0, folders = 0;
        for (const RecordedHook& h : rec.hooks) {
            blocks += h.kind == HookDataBlock;
            folders += h.kind == HookFolder;
        }
        EXPECT_EQ(blocks, c.dataBlocksRead) << c.label;
        EXPECT_EQ(folders, c.foldersRead) << c.label;
        Bytes folderData = block0;
        folderData.insert(folderData.end(), block1.begin(), block1.end());
        for (const CabFileSpec& f : spec.files) {
            if (c.declined.count(f.name)) continue;
            if (f.folderIndex == 1) {
                EXPECT_TRUE(rec.Output(f.name).empty()) << c.label;
                continue;
            }
            Bytes expected(folderData.begin() + f.folderOffset, folderData.begin() + f.folderOffset + f.fileSize);
            EXPECT_EQ(rec.Output(f.name), expected) << c.label << " " << f.name;
        }
    }
}

// The files of a folder listed out of order: the walk reads the folder again
// from its start instead of failing or writing wrong bytes.
TEST_F(WalkTest, FileBeforeTheBlockAtHandRestartsTheFolder) {
    Bytes block0 = PatternBytes(40, 20), block1 = PatternBytes(40, 21);
    CabinetSpec spec;
    CabFolderSpec folder;
    folder.blocks = {StoredBlock(block0), StoredBlock(block1)};
    spec.folders = {folder};
    CabFileSpec late;
    late.name = "late";
    late.folderOffset = 50;
    late.fileSize = 20;
    CabFileSpec early;
    early.name = "early";
    early.folderOffset = 5;
    early.fileSize = 10;
    spec.files = {late, early};
    io.files["a.cab"] = BuildCabinet(spec);

    ASSERT_EQ(Extract(), 1);
    EXPECT_EQ(recorder.Output("late"), Bytes(block1.begin() + 10, block1.begin() + 30));
    EXPECT_EQ(recorder.Output("early"), Bytes(block0.begin() + 5, block0.begin() + 15));
    int folderReads = 0;
    for (const RecordedHook& h : recorder.hooks) folderReads += h.kind == HookFolder;
    EXPECT_EQ(folderReads, 2);
}

// Alternating folders: each change selects the other folder afresh.
TEST_F(WalkTest, AlternatingFolders) {
    CabinetSpec spec;
    for (uint32_t f = 0; f < 2; f++) {
        CabFolderSpec folder;
        folder.blocks = {StoredBlock(PatternBytes(20, 30 + f))};
        spec.folders.push_back(folder);
    }
    const uint16_t order[] = {0, 1, 0, 1};
    for (int i = 0; i < 4; i++) {
        CabFileSpec file;
        file.name = "f" + std::to_string(i);
        file.folderIndex = order[i];
        file.folderOffset = uint32_t(i * 5);
        file.fileSize = 5;
        spec.files.push_back(file);
    }
    io.files["a.cab"] = BuildCabinet(spec);
    ASSERT_EQ(Extract(), 1);
    for (int i = 0; i < 4; i++) {
        Bytes folderData = PatternBytes(20, 30 + order[i]);
        EXPECT_EQ(recorder.Output("f" + std::to_string(i)),
                  Bytes(folderData.begin() + i * 5, folderData.begin() + i * 5 + 5));
    }
}

// The largest cabinet reserve area a cabinet can declare, 0xFFFF bytes, is
// read once per cabinet into the one buffer allocated for it.
TEST_F(WalkTest, LargestCabinetReserveIsFixedOnce) {
    Bytes content = PatternBytes(20, 90);
    CabinetSpec spec = OneFolderCabinet({{"f", content}});
    spec.hasReserve = true;
    spec.cabinetReserve = PatternBytes(0xFFFF, 91);
    io.files["a.cab"] = BuildCabinet(spec);
    for (int round = 0; round < 2; round++) {
        NoticeRecorder rec(io);
        ASSERT_EQ(rec.Extract(decoder, "a.cab"), 1) << round;
        EXPECT_EQ(rec.Output("f"), content);
        ASSERT_FALSE(rec.hooks.empty());
        EXPECT_EQ(rec.hooks[0].reserveSize, 0xFFFF);
        EXPECT_EQ(rec.hooks[0].reserve, spec.cabinetReserve);
    }
    // The record, the reserve area, the two entry buffers and the stored buffers.
    EXPECT_EQ(io.LiveBlocks(), 6u);
}

// A failed extraction leaves the decoder fit for the next one.
TEST_F(WalkTest, DecoderIsReusedAfterAFailure) {
    Bytes content = PatternBytes(70, 40);
    CabinetSpec good = OneFolderCabinet({{"f", content}});
    CabinetSpec bad = good;
    bad.folders[0].blocks[0].checksum = BlockChecksum::Given;
    bad.folders[0].blocks[0].checksumValue = 0x12345678;
    io.files["bad.cab"] = BuildCabinet(bad);
    io.files["good.cab"] = BuildCabinet(good);

    EXPECT_EQ(Extract("bad.cab"), 0);
    EXPECT_EQ(error.code, CabErrCorrupt);
    NoticeRecorder second(io);
    EXPECT_EQ(second.Extract(decoder, "good.cab"), 1);
    EXPECT_EQ(second.Output("f"), content);
}

// The codes that a malformed or unreadable cabinet leaves.
TEST_F(WalkTest, ErrorCodes) {
    Bytes content = PatternBytes(64, 50);
    auto base = [&] { return OneFolderCabinet({{"f", content}}); };
    struct Case {
        const char* label;
        CabinetSpec spec;
        size_t truncateTo;  // 0: keep the whole cabinet
        int32_t code;
        int32_t detail;
    };
    std::vector<Case> cases;
    {
        CabinetSpec s = base();
        s.signature = "MSCE";
        cases.push_back({"signature", s, 0, CabErrNotCabinet, 0});
    }
    cases.push_back({"short header", base(), 20, CabErrNotCabinet, 0});
    {
        CabinetSpec s = base();
        s.versionWord = 0x0104;
        cases.push_back({"version", s, 0, CabErrVersion, 0x0104});
    }
    {
        CabinetSpec s = base();
        s.hasReserve = true;
        s.cabinetReserve = Bytes(20, 7);
        cases.push_back({"short reserve sizes", s, 38, CabErrNotCabinet, 0});
        cases.push_back({"short cabinet reserve", s, 50, CabErrNotCabinet, 0});
    }
    for (uint16_t word : {uint16_t(3), uint16_t(15), uint16_t(0x0104)}) {
        CabinetSpec s = base();
        s.folders[0].compression = word;
        cases.push_back({"compression type", s, 0, CabErrCompression, 0});
    }
    {
        CabinetSpec s = base();
        s.folders[0].compression = CabQuantumWord(9);
        cases.push_back({"quantum window of 9 bits", s, 0, CabErrDecompress, 0});
    }
    {
        CabinetSpec s = base();
        s.folders[0].blocks[0].unpackedSize = 63;
        cases.push_back({"stored block yields another size", s, 0, CabErrDecompress, 0});
    }
    {
        CabinetSpec s = base();
        s.folders[0].blocks[0].checksum = BlockChecksum::Given;
        s.folders[0].blocks[0].checksumValue = 1;
        cases.push_back({"checksum", s, 0, CabErrCorrupt, 0});
    }
    cases.push_back({"block cut short", base(), 0, CabErrCorrupt, 0});  // truncated below
    {
        CabinetSpec s = base();
        s.filesOffsetOverride = 5000;
        cases.push_back({"filesOffset beyond the end", s, 0, CabErrCorrupt, 0});
    }
    {
        CabinetSpec s = base();
        s.folders[0].dataOffsetOverride = 0x80000000ll;
        cases.push_back({"dataOffset beyond a signed seek", s, 0, CabErrCorrupt, 0});
    }
    {
        CabinetSpec s = base();
        s.fileCountOverride = 2;
        cases.push_back({"file list cut short", s, 0, CabErrCorrupt, 0});
    }

    for (Case& c : cases) {
        Bytes cabinet = BuildCabinet(c.spec);
        if (c.truncateTo) cabinet.resize(c.truncateTo);
        if (std::string(c.label) == "block cut short") cabinet.resize(cabinet.size() - 1);
        io.files["a.cab"] = cabinet;
        error = {0, 0, 0};
        // A fresh decoder each time: the first cabinet a decoder opens fixes
        // its reserve sizes.
        CabDecoder* fresh = io.CreateDecoder(&error);
        NoticeRecorder rec(io);
        EXPECT_EQ(rec.Extract(fresh, "a.cab"), 0) << c.label;
        CabDecoderDestroy(fresh);
        EXPECT_EQ(error.code, c.code) << c.label;
        EXPECT_EQ(error.detail, c.detail) << c.label;
        EXPECT_EQ(error.failed, 1) << c.label;
        EXPECT_EQ(io.OpenHandles(), 0u) << c.label;
    }
}

TEST_F(WalkTest, MissingCabinetIsCode1) {
    EXPECT_EQ(Extract("none.cab"), 0);
    EXPECT_EQ(error.code, CabErrOpen);
    EXPECT_TRUE(recorder.notices.empty());
}

// Empty files in a folder without blocks need no block and no other cabinet.
TEST_F(WalkTest, EmptyFilesInAFolderWithoutBlocks) {
    CabinetSpec spec;
    spec.folders.resize(1);
    CabFileSpec empty;
    empty.name = "e1";
    spec.files = {empty};
    empty.name = "e2";
    spec.files.push_back(empty);
    io.files["a.cab"] = BuildCabinet(spec);
    ASSERT_EQ(Extract(), 1);
    EXPECT_EQ(recorder.Types(), (std::vector<int32_t>{NoticeCabinetOpened, NoticeOpenOutput, NoticeCloseOutput,
                                                     NoticeOpenOutput, NoticeCloseOutput}));
    EXPECT_TRUE(recorder.Output("e1").empty());
    EXPECT_TRUE(recorder.Output("e2").empty());
}

TEST_F(WalkTest, ZeroChecksumIsNotChecked) {
    Bytes content = PatternBytes(33, 60);
    CabinetSpec spec = OneFolderCabinet({{"f", content}});
    spec.folders[0].blocks[0].checksum = BlockChecksum::None;
    io.files["a.cab"] = BuildCabinet(spec);
    ASSERT_EQ(Extract(), 1);
    EXPECT_EQ(recorder.Output("f"), content);
}

}  // namespace
