// string_table_test.cpp: RT_STRING blocks byte by byte, block numbering, and
// entries written into and read back from a resource tree.
#include <gtest/gtest.h>

#include "string_table.h"
#include "windows_1252.h"

namespace {

TEST(StringTable, BlockBytes) {
    StringBlockTexts texts;
    texts[1] = u"Hi";
    texts[15] = u"\u20AC";
    // Entry 0: length 0; entry 1: length 2, 'H', 'i'; entries 2-14: length 0;
    // entry 15: length 1, U+20AC.
    std::vector<uint8_t> expected = {0, 0, 2, 0, 'H', 0, 'i', 0};
    for (int i = 2; i <= 14; ++i) expected.insert(expected.end(), {0, 0});
    expected.insert(expected.end(), {1, 0, 0xAC, 0x20});
    EXPECT_EQ(EncodeStringBlock(texts), expected);

    StringBlockTexts back;
    ASSERT_TRUE(DecodeStringBlock(expected, &back));
    EXPECT_EQ(back, texts);
    // Bytes after the sixteenth entry are ignored, a block cut short is refused.
    std::vector<uint8_t> padded = expected;
    padded.insert(padded.end(), {0, 0, 0, 0});
    EXPECT_TRUE(DecodeStringBlock(padded, &back));
    std::vector<uint8_t> cut(expected.begin(), expected.end() - 1);
    EXPECT_FALSE(DecodeStringBlock(cut, &back));
    EXPECT_FALSE(DecodeStringBlock({}, &back));
}

TEST(StringTable, BlockNumbers) {
    const std::pair<uint16_t, uint16_t> cases[] = {{0, 1}, {15, 1}, {16, 2}, {103, 7}, {115, 8},
                                                   {461, 29}, {471, 30}, {65535, 4096}};
    for (const auto& [id, block] : cases) EXPECT_EQ(StringBlockId(id), block) << id;
}

TEST(StringTable, EntriesRoundTripThroughTheTree) {
    const StringUnits entries = {{0, u"zero"}, {15, u"fifteen"}, {16, u"sixteen"}, {461, u"90112"},
                                 {471, u"1"},  {4000, u"\u00e9\u20ac"}, {65535, u"last"}};
    ResourceTree tree;
    ResourceItem other;  // an unrelated resource stays
    other.type = ResourceId(3);
    other.name = ResourceId(1);
    other.data = {1, 2, 3};
    tree.items.push_back(other);
    std::string error;
    ASSERT_TRUE(WriteStringUnits(&tree, 0x409, entries, &error)) << error;
    // Blocks 1, 2, 29, 30, 251 and 4096, and the icon.
    EXPECT_EQ(tree.items.size(), 7u);
    StringUnits back;
    ASSERT_TRUE(ReadStringUnits(tree, 0x409, &back, &error)) << error;
    EXPECT_EQ(back, entries);
    StringEntries ansi;
    bool lossy = true;
    ASSERT_TRUE(ReadStringTable(tree, 0x409, &ansi, &lossy, &error));
    EXPECT_FALSE(lossy);
    EXPECT_EQ(ansi.at(4000), "\xE9\x80");
    // Another language is separate; rewriting with fewer entries drops blocks.
    ASSERT_TRUE(WriteStringUnits(&tree, 0x407, {{1, u"eins"}}, &error));
    EXPECT_EQ(StringTableLanguages(tree), (std::vector<uint16_t>{0x407, 0x409}));
    ASSERT_TRUE(WriteStringUnits(&tree, 0x409, {{16, u"only"}, {17, u""}}, &error));
    ASSERT_TRUE(ReadStringUnits(tree, 0x409, &back, &error));
    EXPECT_EQ(back, (StringUnits{{16, u"only"}}));
    EXPECT_EQ(tree.items.size(), 3u);
}

TEST(StringTable, UnitsWithoutAnAnsiByteAreMarked) {
    ResourceTree tree;
    std::string error;
    ASSERT_TRUE(WriteStringUnits(&tree, 0, {{5, u"\u4e2d"}}, &error));
    StringEntries ansi;
    bool lossy = false;
    ASSERT_TRUE(ReadStringTable(tree, 0, &ansi, &lossy, &error));
    EXPECT_TRUE(lossy);
    EXPECT_EQ(ansi.at(5), "?");
}

TEST(StringTable, RefusesBlocksNoIdReaches) {
    for (uint16_t blockId : {uint16_t(0), uint16_t(4097)}) {
        ResourceTree tree;
        ResourceItem item;
        item.type = ResourceId(resourceTypeString);
        item.name = ResourceId(blockId);
        item.data = EncodeStringBlock(StringBlockTexts{});
        tree.items.push_back(item);
        StringUnits entries;
        std::string error;
        EXPECT_FALSE(ReadStringUnits(tree, 0, &entries, &error)) << blockId;
    }
}

}  // namespace
