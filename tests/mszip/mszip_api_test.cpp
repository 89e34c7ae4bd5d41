// mszip_api_test.cpp: contexts, sizes, the signature and the checks that
// come before any decoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "deflate_writer.h"
#include "mszip_harness.h"

namespace {

class MszipApiTest : public ::testing::Test {
protected:
    void SetUp() override { allocLog = AllocLog(); }
    void TearDown() override {
        for (void* block : allocLog.freed) free(block);
        allocLog = AllocLog();
    }
};

// A final stored block with the given bytes, as one MSZIP block.
Bytes StoredBlock(const Bytes& data) {
    BitWriter writer;
    PutStoredBlock(writer, true, data);
    return writer.MszipBlock();
}

TEST_F(MszipApiTest, SizeQueryClampsAndAllocatesNothing) {
    struct Case {
        uint32_t requested;
        uint32_t maxBlockSize;
        uint32_t inputBufferSize;
    };
    const Case cases[] = {
        {0, 32768, 32780},      // 0 means the largest block
        {32768, 32768, 32780},  //
        {32769, 32768, 32780},  // above the largest block
        {1, 1, 13},             //
        {1000, 1000, 1012},     //
    };
    for (const Case& c : cases) {
        uint32_t maxBlockSize = c.requested;
        uint32_t inputBufferSize = 0;
        EXPECT_EQ(MszipCreate(&maxBlockSize, nullptr, nullptr, &inputBufferSize, nullptr), MszipOk);
        EXPECT_EQ(maxBlockSize, c.maxBlockSize) << "requested " << c.requested;
        EXPECT_EQ(inputBufferSize, c.inputBufferSize) << "requested " << c.requested;
    }
}

TEST_F(MszipApiTest, CreateReportsEachFailedAllocationAndLeaksNothing) {
    for (int failAt = 1; failAt <= 2; failAt++) {
        allocLog = AllocLog();
        allocLog.failAt = failAt;
        uint32_t maxBlockSize = 0;
        uint32_t inputBufferSize = 0;
        MszipContext* context = reinterpret_cast<MszipContext*>(&maxBlockSize);  // must be overwritten
        EXPECT_EQ(MszipCreate(&maxBlockSize, TestAlloc, TestFree, &inputBufferSize, &context), MszipNoMemory);
        EXPECT_EQ(context, nullptr);
        EXPECT_EQ(allocLog.frees, allocLog.allocs - 1) << "failing allocation " << failAt;
    }
}

TEST_F(MszipApiTest, NoAllocationWhileDecoding) {
    MszipDecoder decoder;
    ASSERT_EQ(allocLog.allocs, 2);  // the context and its state
    Bytes folder = MixedBytes(5 * windowBytes, 7);
    Bytes output;
    for (const Bytes& block : CompressFolder(folder)) ASSERT_EQ(decoder.Decode(block, &output), MszipOk);
    EXPECT_EQ(allocLog.allocs, 2);
}

TEST_F(MszipApiTest, InputSizeLimitFollowsMaxBlockSize) {
    struct Case {
        uint32_t maxBlockSize;
        uint32_t inputSize;
        int status;
    };
    // The stored block is valid, so anything but the size check passes.
    const Case cases[] = {
        {32768, 32780, MszipOk},
        {32768, 32781, MszipInputTooBig},
        {1000, 1012, MszipOk},
        {1000, 1013, MszipInputTooBig},
    };
    for (const Case& c : cases) {
        MszipDecoder decoder(c.maxBlockSize);
        // "CK", 1 header byte, LEN and NLEN (4 bytes): 7 bytes of overhead.
        Bytes block = StoredBlock(Bytes(c.inputSize - 7, 'x'));
        ASSERT_EQ(block.size(), c.inputSize);
        Bytes output;
        EXPECT_EQ(decoder.Decode(block, &output), c.status) << c.maxBlockSize << " / " << c.inputSize;
        if (c.status == MszipOk) {
            EXPECT_EQ(output.size(), std::min(c.maxBlockSize, c.inputSize - 7));
        }
    }
}

TEST_F(MszipApiTest, HandleWithoutSignatureIsRefused) {
    MszipDecoder decoder;
    uint8_t window[32] = {};
    uint32_t outputSize = sizeof window;
    const uint8_t block[] = {'C', 'K', 0x03, 0x00};
    EXPECT_EQ(MszipDecompress(nullptr, block, sizeof block, window, &outputSize), MszipBadContext);
    EXPECT_EQ(MszipReset(nullptr), MszipBadContext);
    EXPECT_EQ(MszipDestroy(nullptr), MszipBadContext);

    // The same context with one signature byte changed.
    MszipContext* context = decoder.context;
    char* signature = reinterpret_cast<char*>(context);
    ASSERT_EQ(memcmp(signature, "MDIC", 4), 0);
    signature[3] = 'X';
    EXPECT_EQ(MszipDecompress(context, block, sizeof block, window, &outputSize), MszipBadContext);
    EXPECT_EQ(MszipReset(context), MszipBadContext);
    EXPECT_EQ(MszipDestroy(context), MszipBadContext);
    signature[3] = 'C';
    EXPECT_EQ(MszipReset(context), MszipOk);
}

TEST_F(MszipApiTest, DestroyZeroesSignatureAndFreesStateThenContext) {
    allocLog.keepFreed = true;
    uint32_t maxBlockSize = 0;
    uint32_t inputBufferSize = 0;
    MszipContext* context = nullptr;
    ASSERT_EQ(MszipCreate(&maxBlockSize, TestAlloc, TestFree, &inputBufferSize, &context), MszipOk);
    ASSERT_EQ(allocLog.allocs, 2);
    ASSERT_EQ(MszipDestroy(context), MszipOk);
    ASSERT_EQ(allocLog.frees, 2);
    ASSERT_EQ(allocLog.freed.size(), 2u);
    EXPECT_EQ(allocLog.freed[1], static_cast<void*>(context));  // the context goes last
    const uint8_t zeros[4] = {};
    EXPECT_EQ(memcmp(context, zeros, 4), 0);
    // The freed block is still ours (keepFreed): a second destroy is refused.
    EXPECT_EQ(MszipDestroy(context), MszipBadContext);
    EXPECT_EQ(MszipReset(context), MszipBadContext);
    EXPECT_EQ(allocLog.frees, 2);
}

TEST_F(MszipApiTest, BlockMustBeginWithCK) {
    Bytes valid = StoredBlock({'h', 'i'});
    Bytes swapped = valid;
    std::swap(swapped[0], swapped[1]);
    Bytes lowercase = valid;
    lowercase[0] = 'c';
    const struct {
        const char* name;
        Bytes block;
    } cases[] = {
        {"empty", {}},
        {"one byte", {'C'}},
        {"CK and nothing behind it", {'C', 'K'}},
        {"KC", swapped},
        {"cK", lowercase},
        {"no marker", Bytes(valid.begin() + 2, valid.end())},
    };
    for (const auto& c : cases) {
        MszipDecoder decoder;
        EXPECT_EQ(decoder.Decode(c.block, nullptr), MszipDataError) << c.name;
    }
    MszipDecoder decoder;
    Bytes output;
    ASSERT_EQ(decoder.Decode(valid, &output), MszipOk);
    EXPECT_EQ(output, Bytes({'h', 'i'}));
}

TEST_F(MszipApiTest, ContextStaysUsableAfterFailure) {
    MszipDecoder decoder;
    Bytes folder = TextLikeBytes(3 * windowBytes, 3);
    std::vector<Bytes> blocks = CompressFolder(folder);
    Bytes output;
    ASSERT_EQ(decoder.Decode(blocks[0], &output), MszipOk);
    Bytes broken = blocks[1];
    broken[2] |= 0x06;  // block type 3
    EXPECT_EQ(decoder.Decode(broken, &output), MszipDataError);
    EXPECT_EQ(MszipReset(decoder.context), MszipOk);
    // A fresh folder decodes, from its first block on.
    Bytes again;
    for (const Bytes& block : blocks) {
        ASSERT_EQ(decoder.Decode(block, &output), MszipOk);
        again.insert(again.end(), output.begin(), output.end());
    }
    EXPECT_EQ(again, folder);
}

}  // namespace
