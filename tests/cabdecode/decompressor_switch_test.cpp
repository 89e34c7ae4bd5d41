// Tests of the decompressor that follows the folders' compression words:
// created for the first folder read, kept while the word stays the same,
// destroyed with its buffers when the word changes.
#include <gtest/gtest.h>

#include "cabinet_set.h"
#include "decoder_fixture.h"

namespace {

using DecompressorSwitchTest = DecoderTest;

// The blocks a decoder holds with a stored folder selected: the record, the
// folder-entry and block-header buffers, inBuffer and outBuffer.
const size_t blocksWithStoredFolder = 5;

TEST_F(DecompressorSwitchTest, ContextFollowsTheCompressionWord) {
    Bytes a = PatternBytes(40, 80), b = PatternBytes(30, 81);
    CabinetSpec spec;
    CabFolderSpec stored0, quantum, stored2;
    stored0.blocks = {StoredBlock(a)};
    quantum.compression = CabQuantumWord(15);
    CabBlockSpec noise;
    noise.stored = PatternBytes(100, 82);
    noise.unpackedSize = 50;
    quantum.blocks = {noise};
    stored2.blocks = {StoredBlock(b)};
    spec.folders = {stored0, quantum, stored2};
    spec.files = {FileAt("a", 0, 40, 0), FileAt("q", 0, 50, 1), FileAt("b", 0, 30, 2)};
    io.files["a.cab"] = BuildCabinet(spec);

    // Stored folders only: the Quantum folder is never read.
    recorder.declined = {"q"};
    ASSERT_EQ(Extract(), 1);
    EXPECT_EQ(recorder.Output("a"), a);
    EXPECT_EQ(recorder.Output("b"), b);
    EXPECT_EQ(io.LiveBlocks(), blocksWithStoredFolder);

    // Through the Quantum folder: its context takes more blocks than the
    // stored buffers; whatever the noise decodes to, a failure is code 7.
    NoticeRecorder all(io);
    int result = all.Extract(decoder, "a.cab");
    if (result == 0) {
        EXPECT_EQ(error.code, CabErrDecompress);
        EXPECT_GT(io.LiveBlocks(), blocksWithStoredFolder);
    } else {
        EXPECT_EQ(all.Output("b"), b);
        EXPECT_EQ(io.LiveBlocks(), blocksWithStoredFolder);
    }
    EXPECT_EQ(all.Output("a"), a);

    // Back to stored folders: the Quantum context and its buffers are gone.
    NoticeRecorder again(io);
    again.declined = {"q"};
    ASSERT_EQ(again.Extract(decoder, "a.cab"), 1);
    EXPECT_EQ(again.Output("b"), b);
    EXPECT_EQ(io.LiveBlocks(), blocksWithStoredFolder);
}

// Two stored folders with the same word share one pair of buffers: selecting
// the second allocates nothing.
TEST_F(DecompressorSwitchTest, SameWordKeepsTheBuffers) {
    CabinetSpec spec;
    CabFolderSpec f0, f1;
    f0.blocks = {StoredBlock(PatternBytes(10, 1))};
    f1.blocks = {StoredBlock(PatternBytes(10, 2))};
    spec.folders = {f0, f1};
    spec.files = {FileAt("x", 0, 10, 0), FileAt("y", 0, 10, 1)};
    io.files["a.cab"] = BuildCabinet(spec);
    ASSERT_EQ(Extract(), 1);
    uint32_t allocs = io.Calls(IoCall::Alloc);
    NoticeRecorder again(io);
    ASSERT_EQ(again.Extract(decoder, "a.cab"), 1);
    EXPECT_EQ(io.Calls(IoCall::Alloc), allocs);
    EXPECT_EQ(again.Output("y"), PatternBytes(10, 2));
}

}  // namespace
