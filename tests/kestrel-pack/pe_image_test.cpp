// pe_image_test.cpp: header parsing, the checksum, and the resource-section
// rewrite on built images: what moves, what must not, and what is refused.
#include <gtest/gtest.h>

#include "byte_io.h"
#include "pack_test_support.h"
#include "pe_builder.h"
#include "pe_image.h"
#include "resource_tree.h"

namespace {

const uint32_t codeSection = 0x60000020;   // code, execute, read
const uint32_t debugSection = 0x42000040;  // discardable, read, initialised data

std::vector<uint8_t> ResourceBytes(uint32_t rva, size_t dataBytes) {
    ResourceTree tree;
    ResourceItem item;
    item.type = ResourceId(10);
    item.name = ResourceId(1);
    item.language = 0x409;
    item.data = PatternBytes(dataBytes, 7);
    tree.items.push_back(item);
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(SerializeResourceTree(tree, rva, &bytes, &error)) << error;
    return bytes;
}

// .text, .rsrc, .reloc (one block for a page of .text), .debug (discardable).
TestPeSpec MovableSpec() {
    TestPeSpec spec;
    spec.sections.push_back({".text", codeSection, PatternBytes(0x300, 1)});
    spec.sections.push_back({".rsrc", 0x40000040, {}});
    spec.sections.push_back({".reloc", 0x42000040, RelocationBlock(0x1000, {0x10, 0x20, 0x30})});
    spec.sections.push_back({".debug", debugSection, PatternBytes(0x900, 2)});
    spec.sections[1].data = ResourceBytes(TestSectionAddress(spec, 1), 100);
    spec.resourceSection = 1;
    spec.relocSection = 2;
    return spec;
}

TEST(PeImage, LinkerChecksumMatchesOurs) {
    // The MinGW linker stores the image checksum; ours must agree with it.
    std::vector<std::vector<uint8_t>> stubs = {FixtureStub(), FixtureStubLast()};
#ifdef FIXTURE_STUB_X64
    stubs.push_back(ReadTestFile(FIXTURE_STUB_X64));
#endif
    for (const std::vector<uint8_t>& stub : stubs) {
        PeImage image;
        std::string error;
        ASSERT_TRUE(ParsePeImage(stub, &image, &error)) << error;
        ASSERT_NE(image.checksum, 0u);
        EXPECT_EQ(PeChecksum(stub, image.ChecksumOffset()), image.checksum);
        EXPECT_EQ(image.imageEnd, stub.size());
    }
}

TEST(PeImage, ChecksumOfOddLengthAndField) {
    // Words 0x0201 + 0x0403, the field at 4..7 counted as 0, the odd tail
    // byte 0x05 as a word; plus the length 9.
    const std::vector<uint8_t> bytes = {0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD, 0x05};
    EXPECT_EQ(PeChecksum(bytes, 4), 0x0201u + 0x0403u + 0x0005u + 9u);
    // Carries fold back into the low 16 bits.
    const std::vector<uint8_t> carries = {0xFF, 0xFF, 0x02, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(PeChecksum(carries, 4), 0x0002u + 8u);
}

TEST(PeImage, RewriteMovesRelocationsAndDiscardableSections) {
    const TestPeSpec spec = MovableSpec();
    const std::vector<uint8_t> file = BuildTestPe(spec);
    PeImage image;
    std::string error;
    ASSERT_TRUE(ParsePeImage(file, &image, &error)) << error;
    struct GrowCase {
        size_t dataBytes;
        int64_t shiftPages;  // how far the later sections move, in section alignments
    };
    // Same size; grown by two pages; shrunk back to one page from a grown one is
    // covered by the first case after the second.
    for (const GrowCase& c : {GrowCase{100, 0}, GrowCase{0x2100, 2}}) {
        SCOPED_TRACE(c.dataBytes);
        const std::vector<uint8_t> resources = ResourceBytes(image.sections[1].virtualAddress, c.dataBytes);
        std::vector<uint8_t> output;
        ASSERT_TRUE(ReplaceResourceSection(file, image, resources, &output, &error)) << error;
        PeImage after;
        ASSERT_TRUE(ParsePeImage(output, &after, &error)) << error;
        const int64_t shift = c.shiftPages * testSectionAlignment;
        EXPECT_EQ(after.sections[2].virtualAddress, image.sections[2].virtualAddress + shift);
        EXPECT_EQ(after.sections[3].virtualAddress, image.sections[3].virtualAddress + shift);
        EXPECT_EQ(after.directories[PeDirBaseReloc].rva, image.directories[PeDirBaseReloc].rva + shift);
        EXPECT_EQ(after.directories[PeDirResource].size, resources.size());
        EXPECT_EQ(after.sections[1].virtualSize, resources.size());
        EXPECT_EQ(after.sizeOfImage, image.sizeOfImage + shift);
        const int64_t rawGrowth = int64_t(AlignUp(resources.size(), testFileAlignment)) - image.sections[1].rawSize;
        EXPECT_EQ(after.sizeOfInitializedData, image.sizeOfInitializedData + rawGrowth);
        EXPECT_EQ(output.size(), file.size() + rawGrowth);
        for (size_t i : {size_t(0), size_t(2), size_t(3)}) {
            EXPECT_TRUE(std::equal(file.begin() + image.sections[i].rawPointer,
                                   file.begin() + image.sections[i].rawPointer + image.sections[i].rawSize,
                                   output.begin() + after.sections[i].rawPointer));
        }
        EXPECT_TRUE(std::equal(resources.begin(), resources.end(), output.begin() + after.sections[1].rawPointer));
        EXPECT_EQ(after.checksum, PeChecksum(output, after.ChecksumOffset()));
    }
}

TEST(PeImage, RewriteRefusals) {
    struct RefusalCase {
        const char* name;
        void (*change)(TestPeSpec* spec);
        const char* expected;
    };
    const RefusalCase cases[] = {
        {"data section after the resources",
         [](TestPeSpec* s) { s->sections[3].characteristics = 0xC0000040; }, "may be addressed by code"},
        {"signed image", [](TestPeSpec* s) { s->withCertificate = true; }, "certificate table"},
        {"debug directory in a moved section", [](TestPeSpec* s) { s->debugSection = 3; }, "debug directory lies in"},
        {"relocation into the resources",
         [](TestPeSpec* s) { s->sections[2].data = RelocationBlock(TestSectionAddress(*s, 1), {0x8}); },
         "base relocation patches"},
        {"resources inside another section", [](TestPeSpec* s) { s->resourceOffset = 16; }, "share"},
        {"no resources", [](TestPeSpec* s) { s->resourceSection = -1; }, "no resources"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestPeSpec spec = MovableSpec();
        c.change(&spec);
        const std::vector<uint8_t> file = BuildTestPe(spec);
        PeImage image;
        std::string error;
        ASSERT_TRUE(ParsePeImage(file, &image, &error)) << error;
        std::vector<uint8_t> output;
        EXPECT_FALSE(ReplaceResourceSection(file, image, ResourceBytes(0x2000, 10), &output, &error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

TEST(PeImage, ParseRefusals) {
    struct ParseCase {
        const char* name;
        void (*change)(std::vector<uint8_t>* file);
        const char* expected;
    };
    const ParseCase cases[] = {
        {"empty", [](std::vector<uint8_t>* f) { f->clear(); }, "no \"MZ\""},
        {"no PE signature", [](std::vector<uint8_t>* f) { (*f)[0x40] = 'X'; }, "no \"PE\""},
        {"PE offset past the end", [](std::vector<uint8_t>* f) { PutLe32(f, 0x3C, 0xFFFFFFF0u); }, "no \"PE\""},
        {"ARM machine", [](std::vector<uint8_t>* f) { PutLe16(f, 0x44, 0x1C0); }, "not an x86 image"},
        {"x86-64 machine with a PE32 header", [](std::vector<uint8_t>* f) { PutLe16(f, 0x44, 0x8664); }, "not a PE32+"},
        {"i386 machine with a PE32+ header", [](std::vector<uint8_t>* f) { PutLe16(f, 0x58, 0x20B); }, "not a PE32 image"},
        {"cut short", [](std::vector<uint8_t>* f) { f->resize(f->size() - 0x200); }, "runs past the end"},
        {"file alignment 0", [](std::vector<uint8_t>* f) { PutLe32(f, 0x58 + 36, 0); }, "alignments"},
        {"section table past the end", [](std::vector<uint8_t>* f) { PutLe16(f, 0x46, 0xFFFF); }, "section table"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file = BuildTestPe(MovableSpec());
        c.change(&file);
        PeImage image;
        std::string error;
        EXPECT_FALSE(ParsePeImage(file, &image, &error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

}  // namespace
