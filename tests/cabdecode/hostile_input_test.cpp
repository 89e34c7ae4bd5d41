// Tests that malformed cabinets and misbehaving callbacks end in a code, never
// in a read or write outside a buffer, a loop or a leak (the fixture checks
// the leaks and handles; the sanitizer build checks the memory accesses).
#include <gtest/gtest.h>

#include <cstring>

#include "cabinet_set.h"
#include "decoder_fixture.h"

namespace {

using HostileInputTest = DecoderTest;

struct HostileCase {
    const char* label;
    CabinetSpec spec;
    int32_t code;
};

// Cabinets whose fields point outside what they hold.
TEST_F(HostileInputTest, SingleCabinetFaults) {
    Bytes content = PatternBytes(64, 70);
    auto base = [&] { return OneFolderCabinet({{"f", content}}); };
    std::vector<HostileCase> cases;
    {
        CabinetSpec s = base();
        s.files[0].folderIndex = 1;  // one folder only
        cases.push_back({"folderIndex beyond folderCount", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.files[0].folderIndex = 0xFFFC;
        cases.push_back({"folderIndex just below the special values", s, CabErrCorrupt});
    }
    for (uint16_t index : {uint16_t(0), uint16_t(FolderToNext)}) {
        CabinetSpec s = base();
        s.folderCountOverride = 0;  // and FolderToNext would mean folder -1
        s.files[0].folderIndex = index;
        cases.push_back({"no folders at all", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.files[0].folderOffset = 0xFFFFFFF0u;
        s.files[0].fileSize = 0x20;
        cases.push_back({"offset plus size beyond 4 GiB", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.files[0].fileSize = 0xFFFFFFFFu;
        s.folders.push_back(s.folders[0]);  // folder 0 is no longer the last, so it cannot continue
        cases.push_back({"file larger than a folder that cannot continue", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.folders[0].blocks[0].packedSizeOverride = 40000;
        cases.push_back({"packedSize beyond the input buffer", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.folders[0].blocks[0].packedSizeOverride = 1000;
        cases.push_back({"packedSize beyond the end of the file", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.folders[0].blocks[0].unpackedSize = 40000;
        cases.push_back({"unpackedSize above 32768", s, CabErrDecompress});
    }
    {
        CabinetSpec s = base();
        s.folders[0].blocks[0].stored = PatternBytes(32768, 1);
        s.folders[0].blocks[0].unpackedSize = 0;
        s.folders[0].blocks.insert(s.folders[0].blocks.begin(), s.folders[0].blocks[0]);
        cases.push_back({"split block that is not the folder's last", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.folders[0].blockCountOverride = 0x7FFF;
        s.files[0].fileSize = 100;  // needs a second block, where the file ends
        cases.push_back({"blockCount beyond the blocks stored", s, CabErrCorrupt});
    }
    {
        CabinetSpec s = base();
        s.folders[0].compression = CabQuantumWord(22);
        cases.push_back({"quantum window of 22 bits", s, CabErrDecompress});
    }
    for (HostileCase& c : cases) {
        io.files["a.cab"] = BuildCabinet(c.spec);
        error = {0, 0, 0};
        NoticeRecorder rec(io);
        rec.maxNextCabinet = 0;
        EXPECT_EQ(rec.Extract(decoder, "a.cab"), 0) << c.label;
        EXPECT_EQ(error.code, c.code) << c.label;
        EXPECT_EQ(rec.Count(NoticeNextCabinet), 0) << c.label;
        EXPECT_EQ(io.OpenHandles(), 0u) << c.label;
    }
}

// Faults that only show after a change of cabinet.
TEST_F(HostileInputTest, SetFaults) {
    struct Case {
        const char* label;
        void (*change)(CabinetSet&);
        int32_t code;          // the extraction's code
        int32_t requestError;  // the error of the second request, when there is one (-1: none)
    } cases[] = {
        {"split parts larger than the input buffer",
         [](CabinetSet& s) {
             s.one.folders[0].blocks[1] = SplitFirstPart(PatternBytes(33000, 5), 30000);
             s.two.folders[0].blocks[0] = SplitSecondPart(PatternBytes(33000, 5), 30000);
         },
         CabErrCorrupt, -1},
        {"next cabinet lists none of the continued files",
         [](CabinetSet& s) { s.two.files.clear(); }, CabErrCorrupt, -1},
        {"next cabinet has no folder", [](CabinetSet& s) { s.two.folderCountOverride = 0; }, CabErrAborted,
         CabErrCorrupt},
        {"next cabinet's folder has no block",
         [](CabinetSet& s) { s.two.folders[0].blockCountOverride = 0; }, CabErrAborted, CabErrCorrupt},
        {"a second split in a row",
         [](CabinetSet& s) { s.two.folders[0].blocks[0].unpackedSize = 0; }, CabErrDecompress, -1},
        {"continued file out of order after the change",
         [](CabinetSet& s) { s.two.files.insert(s.two.files.begin() + 1, FileAt("back", 10, 5, FolderFromPrevious)); },
         CabErrCorrupt, -1},
    };
    for (const Case& c : cases) {
        CabinetSet set = MakeCabinetSet(false);
        c.change(set);
        set.Install(io);
        error = {0, 0, 0};
        CabDecoder* fresh = io.CreateDecoder(&error);
        NoticeRecorder rec(io);
        rec.maxNextCabinet = 1;
        EXPECT_EQ(rec.Extract(fresh, "one.cab"), 0) << c.label;
        EXPECT_EQ(error.code, c.code) << c.label;
        if (c.requestError >= 0) {
            ASSERT_EQ(rec.Count(NoticeNextCabinet), 2) << c.label;
            EXPECT_EQ(rec.Last(NoticeNextCabinet)->error, c.requestError) << c.label;
        }
        CabDecoderDestroy(fresh);
        EXPECT_EQ(io.OpenHandles(), 0u) << c.label;
    }
}

// cabinetDir, and it joined with a name, may hold 256 characters; beyond
// that the call is refused with code 1 before anything is opened.
TEST_F(HostileInputTest, PathLengthLimit) {
    struct Case {
        size_t dirChars;
        size_t nameChars;
        int result;
    } cases[] = {
        {250, 6, 1},
        {250, 7, 0},
        {256, 0, 1},  // the folder alone may fill the path
        {257, 1, 0},
        {400, 1, 0},
    };
    for (const Case& c : cases) {
        std::string dir(c.dirChars, 'd');
        std::string name = std::string(c.nameChars > 4 ? c.nameChars - 4 : c.nameChars, 'n') +
                           (c.nameChars > 4 ? ".cab" : "");
        io.files[dir + name] = BuildCabinet(CabinetSpec());
        size_t opensBefore = io.Opens().size();
        error = {0, 0, 0};
        NoticeRecorder rec(io);
        EXPECT_EQ(rec.Extract(decoder, name.c_str(), dir.c_str()), c.result) << c.dirChars << "+" << c.nameChars;
        if (c.result == 0) {
            EXPECT_EQ(error.code, CabErrOpen) << c.dirChars << "+" << c.nameChars;
            if (c.dirChars + c.nameChars > 256) {
                EXPECT_EQ(io.Opens().size(), opensBefore);
            }
        }
    }
}

// A callback that fills text1 and text3 to the last byte of their buffers,
// without a NUL, gets a refusal (code 1 in the next request), not an overrun.
TEST_F(HostileInputTest, CallbackOverfillsTheNameBuffers) {
    MakeCabinetSet(false).Install(io);
    recorder.maxNextCabinet = 2;
    recorder.intercept = [](int32_t type, CabNotice* notice, int32_t* answer) {
        if (type != NoticeNextCabinet || notice->error != 0) return false;
        std::memset(notice->text1, 'x', cabNameBufferBytes);
        std::memset(notice->text3, 'y', cabNameBufferBytes);
        *answer = 0;
        return true;
    };
    EXPECT_EQ(Extract("one.cab"), 0);
    EXPECT_EQ(error.code, CabErrAborted);
    EXPECT_EQ(recorder.Last(NoticeNextCabinet)->error, CabErrOpen);
    EXPECT_EQ(recorder.Last(NoticeNextCabinet)->text1.size(), 256u);
}

TEST(HostileCallerTest, NullArgumentsAreRefused) {
    MemoryIo io;
    CabError error = {0, 0, 0};
    EXPECT_EQ(CabDecoderExtract(nullptr, "a.cab", "", NoticeRecorder::Notify, nullptr, nullptr), 0);
    EXPECT_EQ(CabDecoderDestroy(nullptr), 1);
    CabInfo info;
    EXPECT_EQ(CabDecoderProbe(nullptr, 3, &info), 0);
    CabDecoder* decoder = io.CreateDecoder(&error);
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(CabDecoderExtract(decoder, nullptr, "", NoticeRecorder::Notify, nullptr, nullptr), 0);
    EXPECT_EQ(error.code, CabErrOpen);
    EXPECT_EQ(io.Opens().size(), 0u);
    CabDecoderDestroy(decoder);
    EXPECT_EQ(io.LiveBlocks(), 0u);
}

}  // namespace
