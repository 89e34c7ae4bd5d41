// mszip_roundtrip_test.cpp: folders of several MB compressed by zlib into
// MSZIP blocks decode to their data, block by block as zlib's own inflate
// decodes them; damaged blocks never make the decoder leave its buffers,
// and whatever zlib accepts, the decoder decodes the same way.
#include <gtest/gtest.h>

#include <zlib.h>

#include "mszip_harness.h"

namespace {

struct FolderCase {
    const char* name;
    Bytes data;
    int level;
    int strategy;
};

void ExpectRoundTrip(const FolderCase& c) {
    std::vector<Bytes> blocks = CompressFolder(c.data, c.level, c.strategy);
    MszipDecoder decoder;
    Bytes dictionary;
    size_t offset = 0;
    for (size_t i = 0; i < blocks.size(); i++) {
        Bytes output;
        ASSERT_EQ(decoder.Decode(blocks[i], &output), MszipOk) << c.name << " block " << i;
        Bytes reference;
        ASSERT_TRUE(ZlibInflateBlock(blocks[i], dictionary, windowBytes, &reference)) << c.name << " block " << i;
        ASSERT_EQ(output, reference) << c.name << " block " << i;
        ASSERT_TRUE(std::equal(output.begin(), output.end(), c.data.begin() + offset)) << c.name << " block " << i;
        offset += output.size();
        dictionary = output;
    }
    EXPECT_EQ(offset, c.data.size()) << c.name;
}

TEST(MszipRoundTrip, SeveralMegabytes) {
    const FolderCase cases[] = {
        {"random, level 6", RandomBytes(2 << 20, 1), 6, Z_DEFAULT_STRATEGY},
        {"text, level 6", TextLikeBytes(4 << 20, 2), 6, Z_DEFAULT_STRATEGY},
        {"text, level 9", TextLikeBytes(1 << 20, 3), 9, Z_DEFAULT_STRATEGY},
        {"mixed, level 1", MixedBytes(2 << 20, 4), 1, Z_DEFAULT_STRATEGY},
        {"mixed, level 6", MixedBytes(2 << 20, 5), 6, Z_DEFAULT_STRATEGY},
        {"mixed, fixed codes", MixedBytes(1 << 20, 6), 6, Z_FIXED},
        {"mixed, Huffman only", MixedBytes(1 << 20, 7), 6, Z_HUFFMAN_ONLY},
        {"mixed, runs", MixedBytes(1 << 20, 8), 6, Z_RLE},
        {"stored", MixedBytes(1 << 19, 9), 0, Z_DEFAULT_STRATEGY},
        {"short last block", TextLikeBytes(5 * 32768 + 17, 10), 6, Z_DEFAULT_STRATEGY},
    };
    for (const FolderCase& c : cases) ExpectRoundTrip(c);
}

TEST(MszipRoundTrip, DamagedBlocksAgreeWithZlibWhenItAccepts) {
    Bytes folder = MixedBytes(24 * windowBytes, 31);
    std::vector<Bytes> blocks = CompressFolder(folder, 6, Z_DEFAULT_STRATEGY);
    std::vector<Bytes> fixedBlocks = CompressFolder(folder, 6, Z_FIXED);
    TestRandom random(99);
    int accepted = 0;
    for (int round = 0; round < 6000; round++) {
        size_t index = random.Below(static_cast<uint32_t>(blocks.size()));
        Bytes block = (round % 3 == 0 ? fixedBlocks : blocks)[index];
        // Damage: flip bits, set bytes, or cut the block short.
        uint32_t kind = random.Below(4);
        if (kind == 3 && block.size() > 3) {
            block.resize(2 + random.Below(static_cast<uint32_t>(block.size() - 2)));
        } else {
            uint32_t edits = 1 + random.Below(kind == 0 ? 2 : 8);
            for (uint32_t e = 0; e < edits && block.size() > 2; e++) {
                // Mostly near the start, where the block headers and codes are.
                uint32_t span = random.Below(2) ? 64 : static_cast<uint32_t>(block.size() - 2);
                size_t at = 2 + random.Below(std::min<uint32_t>(span, static_cast<uint32_t>(block.size() - 2)));
                if (kind == 2) {
                    block[at] = static_cast<uint8_t>(random.Next());
                } else {
                    block[at] ^= static_cast<uint8_t>(1u << random.Below(8));
                }
            }
        }
        Bytes previous = index == 0 ? Bytes(windowBytes, 0)
                                    : Bytes(folder.begin() + (index - 1) * windowBytes, folder.begin() + index * windowBytes);
        MszipDecoder decoder;
        decoder.window = previous;
        Bytes output;
        int status = decoder.Decode(block, &output);
        ASSERT_TRUE(status == MszipOk || status == MszipDataError);
        ASSERT_LE(output.size(), windowBytes);
        Bytes reference;
        if (ZlibInflateBlock(block, previous, windowBytes, &reference)) {
            accepted++;
            ASSERT_EQ(status, MszipOk) << "round " << round;
            ASSERT_EQ(output, reference) << "round " << round;
        }
    }
    // The damage leaves some blocks valid, so the comparison has run.
    EXPECT_GT(accepted, 0);
}

}  // namespace
