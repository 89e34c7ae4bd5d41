// resource_tree_test.cpp: a hand-built resource directory, round trips with
// named entries and languages, and directories that lie.
#include <gtest/gtest.h>

#include "byte_io.h"
#include "resource_tree.h"

namespace {

const uint32_t sectionRva = 0x5000;

// One resource: type 10 (RCDATA), name "AB", language 0x409, data "xyz".
//   0x00 root table, 1 id entry            -> type table at 0x18
//   0x18 type table, 1 named entry "AB"    -> language table at 0x30
//   0x30 language table, 1 id entry 0x409  -> data entry at 0x48
//   0x48 data entry: RVA 0x5060, size 3, code page 1252
//   0x58 name string: length 2, "A", "B"
//   0x60 data "xyz"
std::vector<uint8_t> HandBuiltSection() {
    std::vector<uint8_t> s;
    const auto header = [&s](uint16_t named, uint16_t ids) {
        AppendLe32(&s, 0);  // characteristics
        AppendLe32(&s, 0);  // time stamp
        AppendLe32(&s, 0);  // major, minor version
        AppendLe16(&s, named);
        AppendLe16(&s, ids);
    };
    header(0, 1);                      // 0x00 root
    AppendLe32(&s, 10);                //   type id 10
    AppendLe32(&s, 0x80000000u | 0x18);  //   -> sub-table
    header(1, 0);                      // 0x18 type table
    AppendLe32(&s, 0x80000000u | 0x58);  //   name string at 0x58
    AppendLe32(&s, 0x80000000u | 0x30);  //   -> sub-table
    header(0, 1);                      // 0x30 language table
    AppendLe32(&s, 0x409);             //   language
    AppendLe32(&s, 0x48);              //   -> data entry
    AppendLe32(&s, sectionRva + 0x60);  // 0x48 data RVA
    AppendLe32(&s, 3);                 //   size
    AppendLe32(&s, 1252);              //   code page
    AppendLe32(&s, 0);                 //   reserved
    AppendLe16(&s, 2);                 // 0x58 name length
    AppendLe16(&s, 'A');
    AppendLe16(&s, 'B');
    s.resize(0x60, 0);
    s.push_back('x');                  // 0x60 data
    s.push_back('y');
    s.push_back('z');
    return s;
}

ResourceName Named(const std::u16string& text) {
    ResourceName name;
    name.isId = false;
    name.text = text;
    return name;
}

TEST(ResourceTree, ReadsAHandBuiltDirectory) {
    const std::vector<uint8_t> section = HandBuiltSection();
    ResourceTree tree;
    std::string error;
    ASSERT_TRUE(ParseResourceTree(section.data(), section.size(), sectionRva, &tree, &error)) << error;
    ASSERT_EQ(tree.items.size(), 1u);
    const ResourceItem& item = tree.items[0];
    EXPECT_TRUE(item.type == ResourceId(10));
    EXPECT_TRUE(item.name == Named(u"AB"));
    EXPECT_EQ(item.language, 0x409);
    EXPECT_EQ(item.codePage, 1252u);
    EXPECT_EQ(item.data, (std::vector<uint8_t>{'x', 'y', 'z'}));
}

TEST(ResourceTree, RoundTripKeepsEveryItemInDirectoryOrder) {
    ResourceTree tree;
    const auto add = [&tree](ResourceName type, ResourceName name, uint16_t language, size_t bytes) {
        ResourceItem item;
        item.type = type;
        item.name = name;
        item.language = language;
        item.codePage = language == 0x407 ? 1252 : 0;
        for (size_t i = 0; i < bytes; ++i) item.data.push_back(static_cast<uint8_t>(i * 7 + language));
        tree.items.push_back(item);
    };
    add(ResourceId(16), ResourceId(1), 0x409, 13);
    add(ResourceId(5), ResourceId(103), 0x409, 77);
    add(ResourceId(5), ResourceId(103), 0x407, 78);
    add(Named(u"CUSTOM"), Named(u"ZED"), 0, 5);
    add(Named(u"CUSTOM"), Named(u"ALPHA"), 0, 1);
    add(ResourceId(10), Named(u"BLOB"), 0x409, 0);
    add(ResourceId(3), ResourceId(1), 0x409, 1000);

    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(SerializeResourceTree(tree, sectionRva, &bytes, &error)) << error;
    ResourceTree back;
    ASSERT_TRUE(ParseResourceTree(bytes.data(), bytes.size(), sectionRva, &back, &error)) << error;

    ResourceTree sorted = tree;
    SortResourceTree(&sorted);
    ASSERT_EQ(back.items.size(), sorted.items.size());
    for (size_t i = 0; i < sorted.items.size(); ++i) {
        EXPECT_TRUE(back.items[i].type == sorted.items[i].type) << i;
        EXPECT_TRUE(back.items[i].name == sorted.items[i].name) << i;
        EXPECT_EQ(back.items[i].language, sorted.items[i].language) << i;
        EXPECT_EQ(back.items[i].codePage, sorted.items[i].codePage) << i;
        EXPECT_EQ(back.items[i].data, sorted.items[i].data) << i;
    }
    // Named before ids, names by their units, ids and languages ascending.
    EXPECT_TRUE(back.items[0].type == Named(u"CUSTOM"));
    EXPECT_TRUE(back.items[0].name == Named(u"ALPHA"));
    EXPECT_TRUE(back.items[2].type == ResourceId(3));
    EXPECT_EQ(back.items[3].language, 0x407);
    EXPECT_TRUE(back.items[5].name == Named(u"BLOB"));

    // Serialising what was read gives the same bytes again.
    std::vector<uint8_t> again;
    ASSERT_TRUE(SerializeResourceTree(back, sectionRva, &again, &error));
    EXPECT_EQ(again, bytes);
}

TEST(ResourceTree, DataStartsOnEightByteBoundaries) {
    ResourceTree tree;
    for (uint16_t id = 1; id <= 5; ++id) {
        ResourceItem item;
        item.type = ResourceId(10);
        item.name = ResourceId(id);
        item.data.assign(id * 3, 0xAB);
        tree.items.push_back(item);
    }
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(SerializeResourceTree(tree, sectionRva, &bytes, &error));
    // Data entries follow the tables: root (16 + 8), type table (16 + 5 * 8),
    // five language tables (16 + 8 each).
    const size_t entries = 24 + 56 + 5 * 24;
    LeReader reader(bytes);
    for (size_t i = 0; i < 5; ++i) {
        uint32_t rva = 0;
        ASSERT_TRUE(reader.U32(entries + 16 * i, &rva));
        EXPECT_EQ((rva - sectionRva) % 8, 0u) << i;
    }
}

TEST(ResourceTree, RefusesDuplicates) {
    ResourceTree tree;
    ResourceItem item;
    item.type = ResourceId(6);
    item.name = ResourceId(2);
    tree.items = {item, item};
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(SerializeResourceTree(tree, sectionRva, &bytes, &error));
    EXPECT_NE(error.find("share"), std::string::npos);
}

TEST(ResourceTree, DirectoriesThatLie) {
    struct LieCase {
        const char* name;
        void (*change)(std::vector<uint8_t>* section);
        const char* expected;
    };
    const LieCase cases[] = {
        {"data outside the section", [](auto* s) { PutLe32(s, 0x48, sectionRva + 0x1000); }, "outside the resource section"},
        {"data before the section", [](auto* s) { PutLe32(s, 0x48, 0x100); }, "outside the resource section"},
        {"data size past the end", [](auto* s) { PutLe32(s, 0x4C, 4); }, "outside the resource section"},
        {"name string past the end", [](auto* s) { PutLe32(s, 0x28, 0x80000000u | 0x60); }, "name runs past"},
        {"entry count past the end", [](auto* s) { PutLe16(s, 0x0E, 0xFFFF); }, "runs past the end"},
        {"language table points back at the root", [](auto* s) { PutLe32(s, 0x2C, 0x80000000u); },
         "deeper than type, name and language"},
        {"leaf at the type level", [](auto* s) { PutLe32(s, 0x14, 0x48); }, "above the language level"},
        {"sub-table outside", [](auto* s) { PutLe32(s, 0x14, 0x80000000u | 0x7FFFFF00u); }, "outside the section"},
        {"language named by a string", [](auto* s) { PutLe32(s, 0x40, 0x80000000u | 0x58); }, "language is named"},
    };
    for (const LieCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> section = HandBuiltSection();
        c.change(&section);
        ResourceTree tree;
        std::string error;
        EXPECT_FALSE(ParseResourceTree(section.data(), section.size(), sectionRva, &tree, &error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST(ResourceTree, SharedSubTablesCannotMultiplyWithoutBound) {
    // 0xFFFF type entries all pointing at one table of 0xFFFF names, each of
    // which points at one language table: 4 billion leaves from a small
    // section. The parser stops at maxResourceItems.
    std::vector<uint8_t> s;
    const size_t entries = 0xFFFF;
    const size_t typeTable = 16 + 8 * entries;
    const size_t languageTable = typeTable + 16 + 8 * entries;
    const size_t dataEntry = languageTable + 16 + 8;
    const auto table = [&s](size_t count, uint32_t target) {
        AppendLe32(&s, 0), AppendLe32(&s, 0), AppendLe32(&s, 0);
        AppendLe16(&s, 0), AppendLe16(&s, static_cast<uint16_t>(count));
        for (size_t i = 0; i < count; ++i) AppendLe32(&s, static_cast<uint32_t>(i)), AppendLe32(&s, target);
    };
    table(entries, static_cast<uint32_t>(0x80000000u | typeTable));
    table(entries, static_cast<uint32_t>(0x80000000u | languageTable));
    table(1, static_cast<uint32_t>(dataEntry));
    AppendLe32(&s, sectionRva), AppendLe32(&s, 1), AppendLe32(&s, 0), AppendLe32(&s, 0);
    ResourceTree tree;
    std::string error;
    EXPECT_FALSE(ParseResourceTree(s.data(), s.size(), sectionRva, &tree, &error));
    EXPECT_NE(error.find("more resources"), std::string::npos) << error;
}

}  // namespace
