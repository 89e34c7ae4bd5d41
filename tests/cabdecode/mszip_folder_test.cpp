// Tests that the engine drives the MSZIP decompressor as it expects: one
// context per run of MSZIP folders, reset between folders, the same output
// buffer for every block of a folder (the blocks share one 32 KB history),
// and both parts of a split block decompressed together. The fixtures are
// compressed with zlib, one raw Deflate stream per block, each primed with
// the folder's preceding 32 KB as its dictionary.
#include <gtest/gtest.h>
#include <zlib.h>

#include "cabinet_set.h"
#include "decoder_fixture.h"

namespace {

// "CK" and a raw Deflate stream for each block of at most 32768 bytes.
std::vector<CabBlockSpec> MszipBlocks(const Bytes& data) {
    std::vector<CabBlockSpec> blocks;
    for (size_t start = 0; start < data.size(); start += 32768) {
        size_t n = std::min<size_t>(32768, data.size() - start);
        z_stream z = {};
        EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
        size_t historyStart = start >= 32768 ? start - 32768 : 0;
        if (start > 0) deflateSetDictionary(&z, data.data() + historyStart, uInt(start - historyStart));
        Bytes out(deflateBound(&z, uLong(n)) + 2);
        out[0] = 'C';
        out[1] = 'K';
        z.next_in = const_cast<Bytef*>(data.data() + start);
        z.avail_in = uInt(n);
        z.next_out = out.data() + 2;
        z.avail_out = uInt(out.size() - 2);
        EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        out.resize(out.size() - z.avail_out);
        deflateEnd(&z);
        CabBlockSpec block;
        block.stored = out;
        block.unpackedSize = uint16_t(n);
        blocks.push_back(block);
    }
    return blocks;
}

// Text-like data with repeats that reach back across block boundaries.
Bytes RepetitiveData(size_t n, uint32_t seed) {
    Bytes phrase = PatternBytes(700, seed);
    Bytes data;
    uint32_t x = seed;
    while (data.size() < n) {
        x = x * 1103515245u + 12345;
        size_t from = (x >> 8) % 600;
        data.insert(data.end(), phrase.begin() + from, phrase.begin() + from + 40 + (x >> 20) % 60);
        data.push_back(uint8_t(x >> 24));
    }
    data.resize(n);
    return data;
}

using MszipFolderTest = DecoderTest;

TEST_F(MszipFolderTest, FoldersOfSeveralBlocksAndAStoredFolderBetween) {
    Bytes first = RepetitiveData(80000, 1), second = RepetitiveData(40000, 2), plain = PatternBytes(500, 3);
    CabinetSpec spec;
    CabFolderSpec f0, f1, f2;
    f0.compression = CompressionMszip;
    f0.blocks = MszipBlocks(first);
    f1.compression = CompressionMszip;
    f1.blocks = MszipBlocks(second);
    f2.blocks = {StoredBlock(plain)};
    ASSERT_EQ(f0.blocks.size(), 3u);
    spec.folders = {f0, f1, f2};
    spec.files = {FileAt("a", 0, 30000, 0), FileAt("b", 30000, 40000, 0),  // b crosses a block boundary
                  FileAt("c", 70000, 10000, 0), FileAt("d", 100, 39900, 1), FileAt("e", 0, 500, 2),
                  FileAt("f", 5, 20, 1)};  // back to MSZIP after the stored folder
    io.files["a.cab"] = BuildCabinet(spec);

    ASSERT_EQ(Extract(), 1) << "code " << error.code;
    EXPECT_EQ(recorder.Output("a"), Bytes(first.begin(), first.begin() + 30000));
    EXPECT_EQ(recorder.Output("b"), Bytes(first.begin() + 30000, first.begin() + 70000));
    EXPECT_EQ(recorder.Output("c"), Bytes(first.begin() + 70000, first.end()));
    EXPECT_EQ(recorder.Output("d"), Bytes(second.begin() + 100, second.end()));
    EXPECT_EQ(recorder.Output("e"), plain);
    EXPECT_EQ(recorder.Output("f"), Bytes(second.begin() + 5, second.begin() + 25));
}

// An MSZIP block split across two cabinets: the parts are joined in the
// input buffer (32780 bytes for MSZIP) before the block is decompressed.
TEST_F(MszipFolderTest, SplitBlockAcrossCabinets) {
    Bytes data = RepetitiveData(50000, 4);
    std::vector<CabBlockSpec> blocks = MszipBlocks(data);
    ASSERT_EQ(blocks.size(), 2u);
    const Bytes& whole = blocks[1].stored;
    size_t cut = whole.size() / 2;
    CabinetSpec one, two;
    one.setId = two.setId = 7;
    two.cabinetIndex = 1;
    one.hasNext = true;
    one.nextCabinet = "two.cab";
    CabFolderSpec first, rest;
    first.compression = rest.compression = CompressionMszip;
    first.blocks = {blocks[0], SplitFirstPart(whole, cut)};
    CabBlockSpec second = SplitSecondPart(whole, cut);
    second.unpackedSize = blocks[1].unpackedSize;
    rest.blocks = {second};
    one.folders = {first};
    two.folders = {rest};
    one.files = {FileAt("big", 1000, 49000, FolderToNext)};
    two.files = {FileAt("big", 1000, 49000, FolderFromPrevious)};
    io.files["one.cab"] = BuildCabinet(one);
    io.files["two.cab"] = BuildCabinet(two);

    ASSERT_EQ(Extract("one.cab"), 1) << "code " << error.code;
    EXPECT_EQ(recorder.Output("big"), Bytes(data.begin() + 1000, data.end()));
}

// A damaged Deflate stream is the decompressor's failure: code 7.
TEST_F(MszipFolderTest, DamagedBlockIsCode7) {
    CabinetSpec spec;
    CabFolderSpec folder;
    folder.compression = CompressionMszip;
    folder.blocks = MszipBlocks(RepetitiveData(1000, 5));
    folder.blocks[0].stored[0] = 'X';  // no "CK"
    spec.folders = {folder};
    spec.files = {FileAt("x", 0, 1000, 0)};
    io.files["a.cab"] = BuildCabinet(spec);
    EXPECT_EQ(Extract(), 0);
    EXPECT_EQ(error.code, CabErrDecompress);
}

}  // namespace
