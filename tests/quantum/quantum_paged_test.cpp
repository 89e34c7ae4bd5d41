// The paged Quantum window store: forced by refusing the window allocation,
// with the scratch file in memory. It must produce exactly what the
// in-memory window produces, move whole pages at page-aligned offsets, and
// turn every I/O failure into QuantumDataError that holds until a reset.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "quantum.h"
#include "quantum_reference.h"
#include "quantum_state.h"
#include "quantum_heap_fixture.h"
#include "quantum_test_io.h"
#include "quantum_test_support.h"

namespace {

class QuantumPaged : public QuantumHeapTest {
   protected:
    void TearDown() override {
        QuantumHeapTest::TearDown();
        for (const TestFile& file : testFiles.files) EXPECT_FALSE(file.open) << "scratch file left open";
    }
};

int BufferCount() {
    int count = 0;
    for (PageBuffer* buffer = quantumState.paged.mruHead; buffer; buffer = buffer->next) count++;
    return count;
}

// Reads and writes of the scratch file: each must be one whole page at a
// page-aligned position.
struct Transfer {
    TestIoOp op;
    int64_t position;
    bool operator==(const Transfer& other) const { return op == other.op && position == other.position; }
};

std::vector<Transfer> Transfers() {
    std::vector<Transfer> transfers;
    for (const TestIoEvent& event : testFiles.events) {
        if (event.op == IoRead || event.op == IoWrite) transfers.push_back(Transfer{event.op, event.position});
    }
    return transfers;
}

void ExpectWholePageTransfers() {
    for (size_t i = 0; i < testFiles.events.size(); i++) {
        const TestIoEvent& event = testFiles.events[i];
        if (event.op != IoRead && event.op != IoWrite) continue;
        EXPECT_EQ(event.count, 4096u);
        EXPECT_EQ(event.position % 4096, 0);
        ASSERT_GT(i, 0u);
        EXPECT_EQ(testFiles.events[i - 1].op, IoSeek) << "every transfer follows its own seek";
        EXPECT_EQ(testFiles.events[i - 1].position, event.position);
    }
}

TEST_F(QuantumPaged, ScratchFileNameFlagsAndPageCounts) {
    struct Case {
        int windowBits;
        std::vector<uint8_t> name;
        uint32_t pageCount;
    } cases[] = {
        {10, {0x2A, 0x00, 0x00, 0x04, 0x00, 0x00}, 3},  {11, {0x2A, 0x00, 0x00, 0x08, 0x00, 0x00}, 3},
        {13, {0x2A, 0x00, 0x00, 0x20, 0x00, 0x00}, 3},  {14, {0x2A, 0x00, 0x00, 0x40, 0x00, 0x00}, 4},
        {16, {0x2A, 0x00, 0x00, 0x00, 0x01, 0x00}, 16}, {21, {0x2A, 0x00, 0x00, 0x00, 0x20, 0x00}, 512},
    };
    for (const Case& c : cases) {
        ResetTestIo();
        ForcePaging(static_cast<uint32_t>(c.windowBits));
        QuantumSession session(c.windowBits);
        ASSERT_EQ(session.status, QuantumOk) << c.windowBits;
        EXPECT_EQ(quantumState.windowBuffer, nullptr);
        ASSERT_EQ(testFiles.files.size(), 1u);
        const TestFile& file = testFiles.files[0];
        EXPECT_EQ(std::vector<uint8_t>(file.name.begin(), file.name.end()), c.name) << c.windowBits;
        EXPECT_EQ(file.flags, 0x8102);
        EXPECT_EQ(file.mode, 0x180);
        EXPECT_EQ(quantumState.paged.pageCount, c.pageCount) << c.windowBits;
        EXPECT_EQ(BufferCount(), static_cast<int>(c.pageCount)) << "a full set of buffers";
        EXPECT_EQ(testHeap.live.count(quantumState.paged.pageTable), 1u);
        EXPECT_EQ(testHeap.live[quantumState.paged.pageTable], c.pageCount * sizeof(PageSlot));
        EXPECT_EQ(quantumState.paged.currentPage->pageIndex, 0);
        EXPECT_EQ(session.Destroy(), QuantumOk);
        EXPECT_FALSE(testFiles.files[0].open);
        EXPECT_TRUE(testFiles.files[0].bytes.empty()) << "nothing paged out yet";
    }
}

TEST_F(QuantumPaged, OutputIdenticalToTheInMemoryWindow) {
    struct Case {
        int windowBits;
        int buffers;  // 0: a full set
        uint32_t outputBytes;
        uint32_t blockBytes;
    } cases[] = {
        {10, 0, 150000, 32768},  {11, 0, 150000, 5000},  {12, 0, 100000, 32768}, {14, 3, 150000, 32768},
        {16, 3, 500000, 32768},  {16, 0, 300000, 30000}, {17, 5, 500000, 32768}, {21, 3, 2600000, 32768},
        {21, 0, 2300000, 32768},
    };
    for (const Case& c : cases) {
        RefQuantumEncoder encoder(c.windowBits);
        RefStream stream = RandomStream(encoder, 77u + static_cast<uint32_t>(c.windowBits), c.outputBytes,
                                        c.blockBytes);
        // A second folder after a reset.
        encoder.ResetFolder();
        RefStream second = RandomStream(encoder, 78u, 70000, 32768);

        std::vector<uint8_t> inMemory;
        {
            ResetTestIo();
            QuantumSession session(c.windowBits);
            ASSERT_EQ(session.status, QuantumOk);
            ASSERT_NE(quantumState.windowBuffer, nullptr);
            ASSERT_EQ(session.Stream(stream, inMemory), QuantumOk);
            ASSERT_EQ(QuantumReset(session.handle), QuantumOk);
            ASSERT_EQ(session.Stream(second, inMemory), QuantumOk);
        }
        ResetTestIo();
        ForcePaging(static_cast<uint32_t>(c.windowBits));
        if (c.buffers) testHeap.failPageBuffer = c.buffers + 1;
        QuantumSession session(c.windowBits);
        ASSERT_EQ(session.status, QuantumOk);
        ASSERT_EQ(quantumState.windowBuffer, nullptr);
        if (c.buffers) {
            EXPECT_EQ(BufferCount(), c.buffers);
        }
        std::vector<uint8_t> paged;
        ASSERT_EQ(session.Stream(stream, paged), QuantumOk) << c.windowBits << "/" << c.buffers;
        ASSERT_EQ(QuantumReset(session.handle), QuantumOk);
        ASSERT_EQ(session.Stream(second, paged), QuantumOk) << c.windowBits << "/" << c.buffers;
        EXPECT_TRUE(paged == inMemory) << c.windowBits << "/" << c.buffers;
        std::vector<uint8_t> expected = stream.expected;
        expected.insert(expected.end(), second.expected.begin(), second.expected.end());
        EXPECT_TRUE(paged == expected) << c.windowBits << "/" << c.buffers;
        ExpectWholePageTransfers();
        uint32_t windowPages = (1u << c.windowBits) / 4096;
        if (c.buffers && windowPages > static_cast<uint32_t>(c.buffers)) {
            EXPECT_GT(CountEvents(IoRead), 0) << "pages were read back";
        }
        if (!c.buffers || windowPages <= 1) {
            EXPECT_EQ(CountEvents(IoWrite), 0) << "a full set never pages out";
        }
    }
}

// Pages 0-6 of a 64 KB window through 3 buffers, the transfers worked out by
// hand. Entering page 3 and 4 writes pages 0 and 1. A match from page 0
// evicts page 2 (written) and reads page 0. Entering page 5 writes page 3.
// A match from page 1 evicts page 4 (written) and reads page 1. Entering
// page 6 evicts page 0, which is clean since it was read: nothing written.
TEST_F(QuantumPaged, DirtyPagesWrittenCleanPagesDropped) {
    RefQuantumEncoder encoder(16);
    std::mt19937 rng(5);
    auto literalsTo = [&](uint32_t position) {
        while (encoder.produced() < position) encoder.Literal(static_cast<uint8_t>(rng()));
    };
    literalsTo(16484);
    encoder.Match(100, 16484 - 10);  // from position 10, page 0
    literalsTo(20490);
    encoder.Match(50, 20490 - 4101);  // from position 4101, page 1
    literalsTo(24586);
    uint32_t size = encoder.blockOutputSoFar();
    std::vector<uint8_t> block = encoder.EndBlock();

    ForcePaging(16);
    testHeap.failPageBuffer = 4;
    QuantumSession session(16);
    ASSERT_EQ(session.status, QuantumOk);
    std::vector<uint8_t> output;
    ASSERT_EQ(session.Block(block, size, output), QuantumOk);
    EXPECT_TRUE(output == encoder.output());
    std::vector<Transfer> want = {{IoWrite, 0},    {IoWrite, 4096},  {IoWrite, 8192}, {IoRead, 0},
                                  {IoWrite, 12288}, {IoWrite, 16384}, {IoRead, 4096}};
    EXPECT_EQ(Transfers(), want);
    ExpectWholePageTransfers();
    // The pages on file hold the window bytes at their own offsets.
    const std::vector<uint8_t>& file = testFiles.files[0].bytes;
    ASSERT_EQ(file.size(), 5u * 4096u);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), encoder.output().begin()));
}

// With 3 buffers, a match whose source crosses from page 2 into page 3 and
// whose output then runs off the end of page 10 holds pages 10, 2 and 3 when
// page 11 is needed: the finished page 10 must be the one given up.
TEST_F(QuantumPaged, MatchCrossingTwoBoundariesWithThreeBuffers) {
    RefQuantumEncoder encoder(16);
    std::mt19937 rng(9);
    RefStream stream;
    auto endBlock = [&] {
        stream.blocks.push_back(encoder.EndBlock());
        stream.blockSizes.push_back(encoder.lastBlockOutput());
    };
    while (encoder.produced() < 10 * 4096 + 4000) {
        encoder.Literal(static_cast<uint8_t>(rng()));
        if (encoder.blockOutputSoFar() == 32768) endBlock();
    }
    // Source 2 * 4096 + 4050: 46 bytes of page 2, then page 3; output: 96
    // bytes left in page 10, then page 11.
    encoder.Match(200, (10 * 4096 + 4000) - (2 * 4096 + 4050));
    for (int i = 0; i < 10; i++) encoder.Literal(static_cast<uint8_t>(rng()));
    endBlock();

    ForcePaging(16);
    testHeap.failPageBuffer = 4;
    QuantumSession session(16);
    ASSERT_EQ(session.status, QuantumOk);
    ASSERT_EQ(BufferCount(), 3);
    std::vector<uint8_t> output;
    EXPECT_EQ(session.Stream(stream, output), QuantumOk);
    EXPECT_TRUE(output == encoder.output());
    EXPECT_EQ(quantumState.paged.currentPage->pageIndex, 11);
}

TEST_F(QuantumPaged, TooFewBuffersOrNoTable) {
    struct Case {
        int windowBits;
        int failPageBuffer;
        bool failTable;
        int want;
        int buffers;
    } cases[] = {
        {21, 3, false, QuantumNoMemory, 0}, {21, 4, false, QuantumOk, 3},   {21, 1, false, QuantumNoMemory, 0},
        {16, 4, false, QuantumOk, 3},       {12, 3, false, QuantumNoMemory, 0}, {21, 0, true, QuantumNoMemory, 0},
    };
    for (const Case& c : cases) {
        ResetTestIo();
        ForcePaging(static_cast<uint32_t>(c.windowBits));
        testHeap.failPageBuffer = c.failPageBuffer;
        if (c.failTable) testHeap.failAllocNumber = 3;  // context, window, table
        QuantumSession session(c.windowBits);
        EXPECT_EQ(session.status, c.want) << c.windowBits << "/" << c.failPageBuffer;
        ASSERT_EQ(testFiles.files.size(), 1u);
        if (c.want == QuantumOk) {
            EXPECT_EQ(BufferCount(), c.buffers);
            RefQuantumEncoder encoder(c.windowBits);
            RefStream stream = RandomStream(encoder, 11, 200000, 32768);
            std::vector<uint8_t> output;
            EXPECT_EQ(session.Stream(stream, output), QuantumOk);
            EXPECT_TRUE(output == stream.expected);
        } else {
            EXPECT_FALSE(testFiles.files[0].open) << "scratch file closed";
            EXPECT_EQ(testHeap.live.size(), liveBefore);
        }
    }
}

// Every kind of I/O failure, at several call counts: the block where it
// happens fails, every later block fails without touching the store, and a
// reset brings the store back.
TEST_F(QuantumPaged, IoFailuresHoldUntilReset) {
    RefQuantumEncoder encoder(16);
    RefStream stream = RandomStream(encoder, 21, 400000, 32768);
    encoder.ResetFolder();
    RefStream after = RandomStream(encoder, 22, 100000, 32768);

    // A clean run counts the calls.
    ForcePaging(16);
    testHeap.failPageBuffer = 4;
    std::map<TestIoOp, int> clean;
    {
        QuantumSession session(16);
        ASSERT_EQ(session.status, QuantumOk);
        std::vector<uint8_t> output;
        ASSERT_EQ(session.Stream(stream, output), QuantumOk);
        clean = testFiles.calls;
    }
    ASSERT_GT(clean[IoRead], 10);
    ASSERT_GT(clean[IoWrite], 10);

    for (TestIoOp op : {IoSeek, IoRead, IoWrite}) {
        for (TestFaultKind kind : {FaultShort, FaultMinusOne}) {
            for (int call : {1, 2, clean[op] / 2, clean[op]}) {
                ResetTestIo();
                ForcePaging(16);
                testHeap.failPageBuffer = 4;
                testFiles.faultOp = op;
                testFiles.faultCall = call;
                testFiles.faultKind = kind;
                QuantumSession session(16);
                ASSERT_EQ(session.status, QuantumOk);
                std::vector<uint8_t> block;
                size_t failedAt = stream.blocks.size();
                for (size_t i = 0; i < stream.blocks.size(); i++) {
                    size_t eventsBefore = testFiles.events.size();
                    int status = session.Block(stream.blocks[i], stream.blockSizes[i], block);
                    if (failedAt < i) {
                        EXPECT_EQ(status, QuantumDataError);
                        EXPECT_EQ(testFiles.events.size(), eventsBefore) << "store untouched after failure";
                    } else if (status != QuantumOk) {
                        EXPECT_EQ(status, QuantumDataError);
                        EXPECT_TRUE(quantumState.storeFailed);
                        failedAt = i;
                    }
                }
                EXPECT_LT(failedAt, stream.blocks.size()) << op << "/" << kind << "/" << call;
                ASSERT_EQ(QuantumReset(session.handle), QuantumOk);
                EXPECT_FALSE(quantumState.storeFailed);
                std::vector<uint8_t> output;
                EXPECT_EQ(session.Stream(after, output), QuantumOk) << op << "/" << kind << "/" << call;
                EXPECT_TRUE(output == after.expected);
            }
        }
    }
}

TEST_F(QuantumPaged, MatchIntoAPageNeverWrittenFails) {
    RefQuantumEncoder encoder(16);
    for (int i = 0; i < 10; i++) encoder.Literal(static_cast<uint8_t>('a' + i));
    encoder.Match(5, 20000);  // window position 45546: page 11, never written
    std::vector<uint8_t> block = encoder.EndBlock();
    RefQuantumEncoder plain(16);
    RefStream good = RandomStream(plain, 4, 40000, 32768);

    ForcePaging(16);
    QuantumSession session(16);
    ASSERT_EQ(session.status, QuantumOk);
    std::vector<uint8_t> output;
    EXPECT_EQ(session.Block(block, 15, output), QuantumDataError);
    EXPECT_TRUE(quantumState.storeFailed);
    EXPECT_EQ(CountEvents(IoRead), 0);
    // storeFailed holds: a sound block fails too, without decoding.
    EXPECT_EQ(session.Block(good.blocks[0], good.blockSizes[0], output), QuantumDataError);
    EXPECT_EQ(quantumState.windowPos, 15u);
    ASSERT_EQ(QuantumReset(session.handle), QuantumOk);
    output.clear();
    EXPECT_EQ(session.Stream(good, output), QuantumOk);
    EXPECT_TRUE(output == good.expected);
}

// After a reset the pages of the previous folder are forgotten, whether they
// were on file or still in a buffer: the scratch file is never read for
// them.
TEST_F(QuantumPaged, PreviousFolderPagesAreNeverReadBack) {
    struct Case {
        uint32_t sourcePage;
    } cases[] = {{3}, {6}, {7}};
    for (const Case& c : cases) {
        RefQuantumEncoder encoder(16);
        RefStream first = RandomStream(encoder, 8, 8 * 4096 + 100, 32768);  // pages 0-8
        encoder.ResetFolder();
        for (int i = 0; i < 10; i++) encoder.Literal(static_cast<uint8_t>(i));
        uint32_t distance = 10 + 65536 - (c.sourcePage * 4096 + 5);
        encoder.Match(5, distance);
        std::vector<uint8_t> reach = encoder.EndBlock();

        ResetTestIo();
        ForcePaging(16);
        testHeap.failPageBuffer = 4;
        QuantumSession session(16);
        ASSERT_EQ(session.status, QuantumOk);
        std::vector<uint8_t> output;
        ASSERT_EQ(session.Stream(first, output), QuantumOk);
        ASSERT_GT(CountEvents(IoWrite), 0);
        ASSERT_EQ(QuantumReset(session.handle), QuantumOk);
        int readsBefore = CountEvents(IoRead);
        EXPECT_EQ(session.Block(reach, 15, output), QuantumDataError) << c.sourcePage;
        EXPECT_EQ(CountEvents(IoRead), readsBefore) << c.sourcePage;
    }
}

TEST_F(QuantumPaged, ScratchOpenRefusedOrCallbacksMissing) {
    ForcePaging(16);
    testFiles.openFails = true;
    QuantumSession refused(16);
    EXPECT_EQ(refused.status, QuantumNoMemory);
    EXPECT_EQ(testHeap.live.size(), liveBefore);

    // Open alone is not enough to page: without seek the store is refused
    // before anything is opened.
    ResetTestIo();
    ForcePaging(16);
    QuantumContext* handle = nullptr;
    uint32_t maxBlockSize = 0;
    uint32_t inputBufferSize = 0;
    QuantumConfig config{16};
    EXPECT_EQ(QuantumCreate(&maxBlockSize, &config, TestAlloc, TestFree, &inputBufferSize, &handle, TestOpen,
                            TestRead, TestWrite, TestClose, nullptr),
              QuantumNoMemory);
    EXPECT_EQ(CountEvents(IoOpen), 0);
    EXPECT_EQ(testHeap.live.size(), liveBefore);
}

}  // namespace
