// Tests of cabinet sets: following a folder into the next cabinet, the
// NoticeNextCabinet requests and their retries, split blocks, the entries
// passed over after a change of cabinet, and the block hook's records.
#include <gtest/gtest.h>

#include <cstring>

#include "cabinet_set.h"
#include "decoder_fixture.h"

namespace {

using SetTest = DecoderTest;

TEST_F(SetTest, SpanningFileFollowsIntoTheNextCabinet) {
    CabinetSet set = MakeCabinetSet(false);
    set.Install(io, "sets\\");
    ASSERT_EQ(Extract("one.cab", "sets\\"), 1);

    EXPECT_EQ(recorder.Types(),
              (std::vector<int32_t>{NoticeCabinetOpened, NoticeOpenOutput, NoticeCloseOutput, NoticeOpenOutput,
                                    NoticeNextCabinet, NoticeCabinetOpened, NoticeCloseOutput}));
    const RecordedNotice* request = recorder.Last(NoticeNextCabinet);
    EXPECT_EQ(request->text1, "two.cab");
    EXPECT_EQ(request->text2, "Disk 2");
    EXPECT_EQ(request->text3, "sets\\");
    EXPECT_EQ(request->setId, 0x5E7);
    EXPECT_EQ(request->cabinetIndex, 1);
    EXPECT_EQ(request->error, 0);
    const RecordedNotice* opened = recorder.Last(NoticeCabinetOpened);
    EXPECT_EQ(opened->text1, "");
    EXPECT_EQ(opened->cabinetIndex, 1);
    EXPECT_EQ(recorder.Last(NoticeCloseOutput)->text1, "f2");

    EXPECT_EQ(recorder.Output("f1"), set.Slice(0, 100));
    EXPECT_EQ(recorder.Output("f2"), set.Slice(550, 1000));
    // f3 and f4 begin in two.cab: passed over without a notice.
    EXPECT_FALSE(recorder.HasOutput("f3"));
    EXPECT_FALSE(recorder.HasOutput("f4"));
    EXPECT_EQ(error.failed, 0);
}

TEST_F(SetTest, SecondCabinetAloneAnnouncesTheContinuedFile) {
    CabinetSet set = MakeCabinetSet(false);
    set.Install(io);
    recorder.declined = {"f3"};  // its folder began in one.cab
    ASSERT_EQ(Extract("two.cab"), 1);
    EXPECT_EQ(recorder.Types(), (std::vector<int32_t>{NoticeCabinetOpened, NoticeContinuedFile, NoticeOpenOutput,
                                                     NoticeOpenOutput, NoticeCloseOutput}));
    const RecordedNotice& continued = recorder.notices[1];
    EXPECT_EQ(continued.text1, "f2");
    EXPECT_EQ(continued.size, 1000);
    EXPECT_EQ(continued.text2, "one.cab");
    EXPECT_EQ(continued.text3, "Disk 1");
    EXPECT_EQ(recorder.Output("f4"), set.blockD);
}

// One declined spanning file, then an accepted one: the new cabinet's first
// two entries belong to them and are skipped; the rest are passed over.
TEST_F(SetTest, DeclinedSpanningFilesAreSkippedInTheNextCabinet) {
    CabinetSet set = MakeCabinetSet(false);
    set.one.files = {FileAt("fa", 100, 1200, FolderToNext), FileAt("fb", 700, 800, FolderToNext)};
    set.two.files = {FileAt("fa", 100, 1200, FolderFromPrevious), FileAt("fb", 700, 800, FolderFromPrevious),
                     FileAt("fc", 1600, 100, 0)};
    set.Install(io);
    recorder.declined = {"fa"};
    ASSERT_EQ(Extract("one.cab"), 1);
    EXPECT_EQ(recorder.Types(), (std::vector<int32_t>{NoticeCabinetOpened, NoticeOpenOutput, NoticeOpenOutput,
                                                     NoticeNextCabinet, NoticeCabinetOpened, NoticeCloseOutput}));
    EXPECT_EQ(recorder.NamesOf(NoticeOpenOutput), (std::vector<std::string>{"fa", "fb"}));
    EXPECT_EQ(recorder.Output("fb"), set.Slice(700, 800));
    EXPECT_FALSE(recorder.HasOutput("fa"));
}

// A continued file listed after the skipped entries is ours in the new
// cabinet and is offered there.
TEST_F(SetTest, FurtherContinuedFileIsOfferedAfterTheChange) {
    CabinetSet set = MakeCabinetSet(false);
    set.two.files.insert(set.two.files.begin() + 1, FileAt("tail", 1500, 300, FolderFromPrevious));
    set.Install(io);
    ASSERT_EQ(Extract("one.cab"), 1);
    EXPECT_EQ(recorder.NamesOf(NoticeOpenOutput), (std::vector<std::string>{"f1", "f2", "tail"}));
    EXPECT_EQ(recorder.Output("tail"), set.Slice(1500, 300));
}

// The requests go on, each carrying the names of the request before it (as
// the callback rewrote them) and the code of the failed attempt, until a
// cabinet fits.
TEST_F(SetTest, NextCabinetRequestsAreRetriedWithTheFailure) {
    CabinetSet set = MakeCabinetSet(false);
    set.Install(io);
    io.files["alt\\two.cab"] = io.files["two.cab"];
    io.files.erase("two.cab");
    CabinetSpec wrongSet = set.two;
    wrongSet.setId = 0x999;
    io.files["wrongset.cab"] = BuildCabinet(wrongSet);
    CabinetSpec wrongIndex = set.two;
    wrongIndex.cabinetIndex = 2;
    io.files["wrongindex.cab"] = BuildCabinet(wrongIndex);
    CabinetSpec badFolder = set.two;  // fits the set, names a next cabinet, but its folder cannot be read
    badFolder.hasNext = true;
    badFolder.nextCabinet = "three.cab";
    badFolder.nextDisk = "Disk 3";
    badFolder.folders[0].compression = 3;
    io.files["badfolder.cab"] = BuildCabinet(badFolder);
    CabinetSpec otherCompression = set.two;
    otherCompression.folders[0].compression = CompressionMszip;
    io.files["mszip.cab"] = BuildCabinet(otherCompression);

    const char* offers[] = {"wrongset.cab", "missing.cab", "badfolder.cab", "wrongindex.cab", "mszip.cab", "two.cab"};
    int request = 0;
    recorder.intercept = [&](int32_t type, CabNotice* notice, int32_t* answer) {
        if (type != NoticeNextCabinet) return false;
        std::strcpy(notice->text1, offers[request]);
        if (request == 5) std::strcpy(notice->text3, "alt\\");
        request++;
        *answer = 0;
        return true;
    };
    ASSERT_EQ(Extract("one.cab"), 1);

    struct Expected {
        const char* text1;
        int32_t error;
    } expected[] = {{"two.cab", 0},        {"wrongset.cab", 10},   {"missing.cab", 1},
                    {"badfolder.cab", 6},  {"wrongindex.cab", 10}, {"mszip.cab", 10}};
    std::vector<const RecordedNotice*> requests;
    for (const RecordedNotice& n : recorder.notices)
        if (n.type == NoticeNextCabinet) requests.push_back(&n);
    ASSERT_EQ(requests.size(), 6u);
    for (size_t i = 0; i < requests.size(); i++) {
        EXPECT_EQ(requests[i]->text1, expected[i].text1) << i;
        EXPECT_EQ(requests[i]->error, expected[i].error) << i;
        EXPECT_EQ(requests[i]->text2, "Disk 2") << i;  // not badfolder.cab's "Disk 3"
        EXPECT_EQ(requests[i]->text3, "") << i;
        EXPECT_EQ(requests[i]->setId, 0x5E7) << i;
        EXPECT_EQ(requests[i]->cabinetIndex, 1) << i;
    }
    // badfolder.cab got as far as being announced; so did mszip.cab and two.cab.
    EXPECT_EQ(recorder.NamesOf(NoticeCabinetOpened), (std::vector<std::string>{"two.cab", "three.cab", "", ""}));
    EXPECT_EQ(io.Opens().back().path, "alt\\two.cab");
    EXPECT_EQ(recorder.Output("f2"), set.Slice(550, 1000));
}

TEST_F(SetTest, AbortAtNextCabinetIsCode11AndClosesTheOutput) {
    MakeCabinetSet(false).Install(io);
    recorder.abortType = NoticeNextCabinet;
    EXPECT_EQ(Extract("one.cab"), 0);
    EXPECT_EQ(error.code, CabErrAborted);
    EXPECT_EQ(recorder.Count(NoticeCloseOutput), 1);  // only f1's
    // The fixture checks that f2's output handle and both cabinets are closed.
}

// A next cabinet whose reserve sizes differ from the first cabinet's is
// refused with code 9, which the next request reports.
TEST_F(SetTest, ReserveSizesOfTheNextCabinetMustMatch) {
    struct Case {
        const char* label;
        void (*change)(CabinetSpec&);
    } cases[] = {
        {"cabinet reserve", [](CabinetSpec& s) { s.cabinetReserve.resize(6, 0); }},
        {"no reserve at all", [](CabinetSpec& s) { s.hasReserve = false; }},
        {"folder reserve", [](CabinetSpec& s) { s.folderReserveSize = 4; }},
        {"block reserve", [](CabinetSpec& s) { s.blockReserveSize = 1; }},
    };
    for (const Case& c : cases) {
        CabinetSet set = MakeCabinetSet(true);
        c.change(set.two);
        set.Install(io);
        CabDecoder* fresh = io.CreateDecoder(&error);
        NoticeRecorder rec(io);
        rec.maxNextCabinet = 1;
        EXPECT_EQ(rec.Extract(fresh, "one.cab"), 0) << c.label;
        EXPECT_EQ(error.code, CabErrAborted) << c.label;
        ASSERT_EQ(rec.Count(NoticeNextCabinet), 2) << c.label;
        EXPECT_EQ(rec.Last(NoticeNextCabinet)->error, CabErrReserve) << c.label;
        CabDecoderDestroy(fresh);
    }
}

// The folder crosses two changes of cabinet: two.cab holds only the rest of
// the split block and one whole block, and ends on a block boundary.
TEST_F(SetTest, FolderAcrossThreeCabinets) {
    CabinetSet set = MakeCabinetSet(false);
    Bytes d = PatternBytes(300, 9);
    set.folderData.insert(set.folderData.end(), d.begin(), d.end());
    set.one.files = {FileAt("g", 10, 2100, FolderToNext)};
    set.two.hasNext = true;
    set.two.nextCabinet = "three.cab";
    set.two.nextDisk = "Disk 3";
    set.two.folders.resize(1);
    set.two.files = {FileAt("g", 10, 2100, FolderPrevAndNext)};
    CabinetSpec three;
    three.setId = set.one.setId;
    three.cabinetIndex = 2;
    three.hasPrevious = true;
    three.prevCabinet = "two.cab";
    CabFolderSpec last;
    last.blocks = {StoredBlock(d)};
    three.folders = {last};
    three.files = {FileAt("g", 10, 2100, FolderFromPrevious)};
    set.Install(io);
    io.files["three.cab"] = BuildCabinet(three);

    ASSERT_EQ(Extract("one.cab"), 1);
    EXPECT_EQ(recorder.Types(),
              (std::vector<int32_t>{NoticeCabinetOpened, NoticeOpenOutput, NoticeNextCabinet, NoticeCabinetOpened,
                                    NoticeNextCabinet, NoticeCabinetOpened, NoticeCloseOutput}));
    const RecordedNotice* second = recorder.Last(NoticeNextCabinet);
    EXPECT_EQ(second->text1, "three.cab");
    EXPECT_EQ(second->text2, "Disk 3");
    EXPECT_EQ(second->cabinetIndex, 2);
    EXPECT_EQ(recorder.Output("g"), set.Slice(10, 2100));
}

TEST_F(SetTest, HookRecordsIncludingSplitParts) {
    CabinetSet set = MakeCabinetSet(true);
    set.Install(io);
    ASSERT_EQ(Extract("one.cab"), 1);

    std::vector<int32_t> kinds;
    for (const RecordedHook& h : recorder.hooks) kinds.push_back(h.kind);
    ASSERT_EQ(kinds, (std::vector<int32_t>{HookCabinet, HookFolder, HookDataBlock, HookDataBlock, HookCabinet,
                                           HookFolder, HookDataBlock, HookDataBlock}));
    const std::vector<RecordedHook>& h = recorder.hooks;
    for (const RecordedHook& record : h) EXPECT_EQ(record.user, &recorder);

    EXPECT_EQ(h[0].reserve, set.one.cabinetReserve);
    EXPECT_EQ(h[0].reserveSize, 5);
    EXPECT_EQ(h[0].setId, 0x5E7);
    EXPECT_EQ(h[0].cabinetIndex, 0);
    EXPECT_EQ(h[1].folderIndex, 0);
    EXPECT_EQ(h[1].reserve, set.one.folders[0].reserve);
    EXPECT_EQ(h[4].reserve, set.two.cabinetReserve);
    EXPECT_EQ(h[4].cabinetIndex, 1);
    EXPECT_EQ(h[5].folderIndex, 0);
    EXPECT_EQ(h[5].reserve, set.two.folders[0].reserve);

    struct BlockExpect {
        size_t at;
        const CabBlockSpec* block;
        uint16_t dataSize;
        int32_t split;
        uint16_t partOffset;
    } blocks[] = {
        {2, &set.one.folders[0].blocks[0], 600, 0, 0},    // A, whole
        {3, &set.one.folders[0].blocks[1], 300, 1, 0},    // B, first part
        {6, &set.two.folders[0].blocks[0], 800, 1, 300},  // B, second part: dataSize counts both
        {7, &set.two.folders[0].blocks[1], 500, 0, 0},    // C, whole
    };
    for (const BlockExpect& b : blocks) {
        EXPECT_EQ(h[b.at].data, b.block->stored) << b.at;
        EXPECT_EQ(h[b.at].dataSize, b.dataSize) << b.at;
        EXPECT_EQ(h[b.at].split, b.split) << b.at;
        EXPECT_EQ(h[b.at].partOffset, b.partOffset) << b.at;
        EXPECT_EQ(h[b.at].reserve, b.block->reserve) << b.at;
        EXPECT_EQ(h[b.at].reserveSize, 2) << b.at;
    }
    EXPECT_EQ(recorder.Output("f2"), set.Slice(550, 1000));
}

TEST_F(SetTest, HookWithoutReserveGetsNull) {
    MakeCabinetSet(false).Install(io);
    ASSERT_EQ(Extract("one.cab"), 1);
    ASSERT_FALSE(recorder.hooks.empty());
    for (const RecordedHook& h : recorder.hooks) {
        EXPECT_TRUE(h.reserveNull) << h.kind;
        EXPECT_EQ(h.reserveSize, 0) << h.kind;
    }
}

// The hook may change the stored bytes in place before they are decompressed.
TEST_F(SetTest, HookMayRewriteTheStoredBytes) {
    MakeCabinetSet(false).Install(io);
    NoticeRecorder rec(io);
    auto invert = [](CabHookRecord* record) -> int32_t {
        if (record->kind == HookDataBlock)
            for (uint32_t i = 0; i < uint32_t(record->dataSize - record->partOffset); i++) record->data[i] ^= 0xFF;
        return 0;
    };
    ASSERT_EQ(CabDecoderExtract(decoder, "one.cab", "", NoticeRecorder::Notify, invert, &rec), 1);
    Bytes expected = MakeCabinetSet(false).Slice(550, 1000);
    for (uint8_t& byte : expected) byte ^= 0xFF;
    EXPECT_EQ(rec.Output("f2"), expected);
}

}  // namespace
