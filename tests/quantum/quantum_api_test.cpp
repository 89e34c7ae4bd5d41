// The four calls of the Quantum decompressor: parameters, sizes, handles,
// allocation failures.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "quantum.h"
#include "quantum_reference.h"
#include "quantum_state.h"
#include "quantum_heap_fixture.h"
#include "quantum_test_io.h"
#include "quantum_test_support.h"

namespace {

int Create(int32_t windowBits, uint32_t* maxBlockSize, uint32_t* inputBufferSize, QuantumContext** handle) {
    QuantumConfig config{windowBits};
    return QuantumCreate(maxBlockSize, &config, TestAlloc, TestFree, inputBufferSize, handle, TestOpen, TestRead,
                         TestWrite, TestClose, TestSeek);
}

class QuantumApi : public QuantumHeapTest {
   protected:
    void TearDown() override {
        QuantumHeapTest::TearDown();
        EXPECT_EQ(quantumState.currentContext, nullptr) << "a context was left alive";
    }
};

TEST_F(QuantumApi, WindowBitsLimits) {
    struct Case {
        int32_t windowBits;
        int want;
    } cases[] = {{9, QuantumBadWindow},  {22, QuantumBadWindow}, {10, QuantumOk},     {21, QuantumOk},
                 {16, QuantumOk},        {0, QuantumBadWindow},  {-1, QuantumBadWindow},
                 {INT_MIN, QuantumBadWindow}, {INT_MAX, QuantumBadWindow}};
    for (const Case& c : cases) {
        uint32_t maxBlockSize = 1000;
        uint32_t inputBufferSize = 7;
        // The window test comes first, also for a size query.
        EXPECT_EQ(Create(c.windowBits, &maxBlockSize, &inputBufferSize, nullptr), c.want) << c.windowBits;
        if (c.want != QuantumOk) {
            EXPECT_EQ(maxBlockSize, 1000u);
            EXPECT_EQ(inputBufferSize, 7u);
        }
        QuantumContext* handle = reinterpret_cast<QuantumContext*>(&maxBlockSize);
        int allocsBefore = testHeap.allocCalls;
        EXPECT_EQ(Create(c.windowBits, &maxBlockSize, &inputBufferSize, &handle), c.want) << c.windowBits;
        if (c.want == QuantumOk) {
            ASSERT_NE(handle, nullptr);
            EXPECT_EQ(QuantumDestroy(handle), QuantumOk);
        } else {
            EXPECT_EQ(testHeap.allocCalls, allocsBefore) << "nothing is allocated for a bad window";
        }
    }
}

TEST_F(QuantumApi, SizeQueries) {
    struct Case {
        uint32_t requested;
        uint32_t wantMax;
        uint32_t wantInput;
    } cases[] = {{0, 32768, 43008},     {40000, 32768, 43008}, {4096, 4096, 14336},
                 {32768, 32768, 43008}, {32769, 32768, 43008}, {1, 1, 10241}};
    for (const Case& c : cases) {
        uint32_t maxBlockSize = c.requested;
        uint32_t inputBufferSize = 0;
        EXPECT_EQ(Create(15, &maxBlockSize, &inputBufferSize, nullptr), QuantumOk);
        EXPECT_EQ(maxBlockSize, c.wantMax) << c.requested;
        EXPECT_EQ(inputBufferSize, c.wantInput) << c.requested;
    }
    EXPECT_EQ(testHeap.allocCalls, 0) << "a size query allocates nothing";
}

TEST_F(QuantumApi, BlockTooBigLeavesStateUntouched) {
    QuantumSession session(12, 4096);
    ASSERT_EQ(session.status, QuantumOk);
    EXPECT_EQ(session.maxBlockSize, 4096u);
    RefQuantumEncoder encoder(12);
    RefStream stream = RandomStream(encoder, 7, 3 * 4096, 4096);
    ASSERT_EQ(stream.blocks.size(), 3u);
    std::vector<uint8_t> output;
    ASSERT_EQ(session.Block(stream.blocks[0], stream.blockSizes[0], output), QuantumOk);

    QuantumState before;
    std::memcpy(&before, &quantumState, sizeof(QuantumState));
    std::vector<uint8_t> windowBefore(quantumState.windowBuffer, quantumState.windowBuffer + 4096);
    EXPECT_EQ(session.Block(stream.blocks[1], 4097, output), QuantumBlockTooBig);
    EXPECT_EQ(std::memcmp(&before, &quantumState, sizeof(QuantumState)), 0);
    EXPECT_EQ(std::vector<uint8_t>(quantumState.windowBuffer, quantumState.windowBuffer + 4096), windowBefore);
    for (uint8_t byte : output) ASSERT_EQ(byte, outputSentinel);

    // The folder goes on as if the refused call had not been made.
    std::vector<uint8_t> all(stream.expected.begin(), stream.expected.begin() + 4096);
    for (size_t i = 1; i < 3; i++) {
        ASSERT_EQ(session.Block(stream.blocks[i], stream.blockSizes[i], output), QuantumOk);
        all.insert(all.end(), output.begin(), output.end());
    }
    EXPECT_EQ(all, stream.expected);
}

TEST_F(QuantumApi, OutputSizeZeroStillPrimesTheCoder) {
    QuantumSession session(10);
    ASSERT_EQ(session.status, QuantumOk);
    struct Case {
        std::vector<uint8_t> input;
        int want;
    } cases[] = {{{}, QuantumDataError},
                 {{0x12}, QuantumDataError},
                 {{0x12, 0x34}, QuantumOk},
                 {{0x12, 0x34, 0x56}, QuantumOk}};
    for (const Case& c : cases) {
        std::vector<uint8_t> output;
        EXPECT_EQ(session.Block(c.input, 0, output), c.want) << c.input.size();
        EXPECT_EQ(quantumState.windowPos, 0u);
    }
    EXPECT_EQ(quantumState.code, 0x1234);
}

TEST_F(QuantumApi, HandleWithoutSignatureIsRefused) {
    QuantumSession session(10);
    ASSERT_EQ(session.status, QuantumOk);
    std::vector<uint8_t> output(16, outputSentinel);
    uint32_t outputSize = 16;
    const uint8_t input[] = {0x90, 0x00, 0xA5, 0x5A};

    // A foreign record whose first four bytes are not "QDIC".
    alignas(QuantumContext) unsigned char fake[sizeof(QuantumContext)] = {'X', 'D', 'I', 'C'};
    QuantumContext* fakeHandle = reinterpret_cast<QuantumContext*>(fake);
    QuantumState before;
    std::memcpy(&before, &quantumState, sizeof(QuantumState));
    EXPECT_EQ(QuantumDecompress(fakeHandle, input, 4, output.data(), &outputSize), QuantumBadContext);
    EXPECT_EQ(QuantumReset(fakeHandle), QuantumBadContext);
    EXPECT_EQ(QuantumDestroy(fakeHandle), QuantumBadContext);
    EXPECT_EQ(QuantumDecompress(nullptr, input, 4, output.data(), &outputSize), QuantumBadContext);
    EXPECT_EQ(QuantumReset(nullptr), QuantumBadContext);
    EXPECT_EQ(QuantumDestroy(nullptr), QuantumBadContext);

    // The live context with its signature damaged is refused as well.
    session.handle->signature[0] = 'q';
    EXPECT_EQ(QuantumDecompress(session.handle, input, 4, output.data(), &outputSize), QuantumBadContext);
    EXPECT_EQ(QuantumReset(session.handle), QuantumBadContext);
    EXPECT_EQ(QuantumDestroy(session.handle), QuantumBadContext);
    EXPECT_EQ(std::memcmp(&before, &quantumState, sizeof(QuantumState)), 0);
    for (uint8_t byte : output) EXPECT_EQ(byte, outputSentinel);
    session.handle->signature[0] = 'Q';

    QuantumContext* handle = session.handle;
    EXPECT_EQ(session.Destroy(), QuantumOk);
    EXPECT_EQ(QuantumReset(handle), QuantumBadContext) << "a destroyed handle is not the live one";
}

TEST_F(QuantumApi, SecondContextIsRefusedWhileOneIsAlive) {
    QuantumSession first(10);
    ASSERT_EQ(first.status, QuantumOk);
    uint8_t* window = quantumState.windowBuffer;
    QuantumSession second(12);
    EXPECT_EQ(second.status, QuantumNoMemory);
    EXPECT_EQ(second.handle, nullptr);
    EXPECT_EQ(quantumState.windowBuffer, window);
    EXPECT_EQ(quantumState.windowBits, 10);
    std::vector<uint8_t> output;
    EXPECT_EQ(first.Block({0x90, 0x00, 0xA5, 0x5A}, 1, output), QuantumOk);
    EXPECT_EQ(output[0], 195);
    EXPECT_EQ(first.Destroy(), QuantumOk);
    QuantumSession third(12);
    EXPECT_EQ(third.status, QuantumOk);
}

// Records the signature of the context at the moment it is freed.
char signatureAtFree[4];
void* watchedRecord = nullptr;
void RecordingFree(void* block) {
    if (block == watchedRecord) std::memcpy(signatureAtFree, block, 4);
    TestFree(block);
}

TEST_F(QuantumApi, DestroyZeroesTheSignatureAndFreesEverything) {
    QuantumContext* handle = nullptr;
    uint32_t maxBlockSize = 0;
    uint32_t inputBufferSize = 0;
    QuantumConfig config{14};
    ASSERT_EQ(QuantumCreate(&maxBlockSize, &config, TestAlloc, RecordingFree, &inputBufferSize, &handle, TestOpen,
                            TestRead, TestWrite, TestClose, TestSeek),
              QuantumOk);
    EXPECT_EQ(std::memcmp(handle->signature, "QDIC", 4), 0);
    EXPECT_EQ(testHeap.live.size(), liveBefore + 2) << "the context and the window";
    watchedRecord = handle;
    std::memset(signatureAtFree, 'x', 4);
    EXPECT_EQ(QuantumDestroy(handle), QuantumOk);
    EXPECT_EQ(std::memcmp(signatureAtFree, "\0\0\0\0", 4), 0);
    watchedRecord = nullptr;
}

TEST_F(QuantumApi, AllocationFailuresAtEveryCall) {
    // The context, then the window; without the window the paged store
    // takes its place.
    struct Case {
        int failAt;
        int want;
        bool inMemory;
    } cases[] = {{1, QuantumNoMemory, false}, {2, QuantumOk, false}, {3, QuantumOk, true}};
    for (const Case& c : cases) {
        ResetTestIo();
        testHeap.failAllocNumber = c.failAt;
        QuantumSession session(13);
        EXPECT_EQ(session.status, c.want) << c.failAt;
        if (c.want == QuantumOk) {
            EXPECT_EQ(quantumState.windowBuffer != nullptr, c.inMemory) << c.failAt;
        } else {
            EXPECT_EQ(testHeap.live.size(), liveBefore) << c.failAt;
        }
    }
    // Paged: the context, the window (always refused), the table, three page
    // buffers; a failure from the fourth allocation on leaves a working store.
    for (int failAt = 1; failAt <= 8; failAt++) {
        ResetTestIo();
        ForcePaging(13);
        testHeap.failAllocNumber = failAt;
        QuantumSession session(13);
        int want = (failAt <= 6 && failAt != 2) ? QuantumNoMemory : QuantumOk;
        EXPECT_EQ(session.status, want) << failAt;
        if (want == QuantumNoMemory) {
            EXPECT_EQ(testHeap.live.size(), liveBefore) << failAt;
            EXPECT_EQ(CountEvents(IoOpen), CountEvents(IoClose)) << "scratch file closed " << failAt;
        }
    }
}

TEST_F(QuantumApi, NoWindowAndNoStoreGivesNoMemory) {
    // Window refused and the scratch file cannot be opened.
    ForcePaging(16);
    testFiles.openFails = true;
    QuantumSession refused(16);
    EXPECT_EQ(refused.status, QuantumNoMemory);
    EXPECT_EQ(refused.handle, nullptr);
    EXPECT_EQ(quantumState.currentContext, nullptr);

    // Window refused and no file callbacks at all.
    ResetTestIo();
    ForcePaging(16);
    QuantumContext* handle = reinterpret_cast<QuantumContext*>(&refused);
    uint32_t maxBlockSize = 0;
    uint32_t inputBufferSize = 0;
    QuantumConfig config{16};
    EXPECT_EQ(QuantumCreate(&maxBlockSize, &config, TestAlloc, TestFree, &inputBufferSize, &handle, nullptr, nullptr,
                            nullptr, nullptr, nullptr),
              QuantumNoMemory);
    EXPECT_EQ(handle, nullptr);
}

}  // namespace
