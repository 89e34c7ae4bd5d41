// writer_set_test.cpp: cabinet sets from the writer, checked on their layout.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cab_writer.h"
#include "cabdecode.h"
#include "set_checks.h"
#include "writer_fixture.h"

namespace {

CabWriteRequest OneBigStoredFile(uint32_t maxCabinetBytes) {
    CabWriteRequest request;
    request.folders = {{StoredMethod()}};
    request.files = {MakeFile("big")};
    request.maxCabinetBytes = maxCabinetBytes;
    request.setId = 77;
    return request;
}

// Bytes of a set member's header with the default names "cabinet.cab",
// "cabinet2.cab", ... and empty disk names.
uint32_t FirstCabinetPrefix() { return 36 + 13 + 1; }    // next name only

const uint32_t bigEntryBytes = 16 + 4;  // "big" + NUL
const uint32_t folderEntryBytes = 8;
const uint32_t wholeStoredBlockBytes = 8 + 32768;

TEST(WriterSet, FolderEndsOnBlockBoundaryAndGoesOnWithWholeBlocks) {
    // Exactly two whole blocks fill the first cabinet.
    const uint32_t limit = FirstCabinetPrefix() + folderEntryBytes + bigEntryBytes + 2 * wholeStoredBlockBytes;
    const std::vector<uint8_t> content = RandomBytes(1, 100000);
    WriteOutcome out = WriteToMemory(OneBigStoredFile(limit), {content});
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    SetShape shape;
    ASSERT_TRUE(CheckSet(out.cabinets, limit, &shape));
    ASSERT_EQ(shape.parsed.size(), 2u);
    EXPECT_EQ(out.cabinets[0].bytes.size(), limit);
    const ParsedCabinet& first = shape.parsed[0];
    const ParsedCabinet& second = shape.parsed[1];
    ASSERT_EQ(first.folders[0].blocks.size(), 2u);
    EXPECT_EQ(first.folders[0].blocks[1].unpackedSize, 32768);
    EXPECT_EQ(first.files[0].folderIndex, FolderToNext);
    EXPECT_EQ(second.files[0].folderIndex, FolderFromPrevious);
    EXPECT_EQ(second.files[0].folderOffset, 0u);
    ASSERT_EQ(second.folders[0].blocks.size(), 2u);
    EXPECT_EQ(second.folders[0].blocks[0].unpackedSize, 32768);
    EXPECT_EQ(second.folders[0].blocks[1].unpackedSize, 100000 - 3 * 32768);
    EXPECT_EQ(shape.blockBoundaryContinues, 1);
    EXPECT_EQ(shape.splitBlocks, 0);
    EXPECT_EQ(second.setId, 77);
    EXPECT_EQ(second.previousName, "cabinet.cab");
    EXPECT_EQ(first.nextName, "cabinet2.cab");
}

TEST(WriterSet, SplitBlockFirstPartEndsCabinetSecondPartOpensNext) {
    const uint32_t limit = FirstCabinetPrefix() + folderEntryBytes + bigEntryBytes + 2 * wholeStoredBlockBytes - 1000;
    const std::vector<uint8_t> content = RandomBytes(2, 100000);
    WriteOutcome out = WriteToMemory(OneBigStoredFile(limit), {content});
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    SetShape shape;
    ASSERT_TRUE(CheckSet(out.cabinets, limit, &shape));
    ASSERT_EQ(shape.parsed.size(), 2u);
    EXPECT_EQ(out.cabinets[0].bytes.size(), limit);  // filled to the byte
    const ParsedBlock& firstPart = shape.parsed[0].folders[0].blocks.back();
    const ParsedBlock& secondPart = shape.parsed[1].folders[0].blocks.front();
    EXPECT_EQ(firstPart.unpackedSize, 0);
    EXPECT_EQ(firstPart.packedSize, 32768 - 1000);
    EXPECT_EQ(secondPart.unpackedSize, 32768);
    EXPECT_EQ(secondPart.packedSize, 1000);
    EXPECT_EQ(firstPart.checksum, ReferenceBlockChecksum(firstPart));
    EXPECT_EQ(secondPart.checksum, ReferenceBlockChecksum(secondPart));
    // The two parts together are the block.
    std::vector<uint8_t> joined = firstPart.stored;
    joined.insert(joined.end(), secondPart.stored.begin(), secondPart.stored.end());
    EXPECT_TRUE(std::equal(joined.begin(), joined.end(), content.begin() + 32768));
    // blockCount counts every block header in the cabinet, the second part too.
    EXPECT_EQ(shape.parsed[1].folders[0].blockCount, shape.parsed[1].folders[0].blocks.size());
    EXPECT_EQ(shape.splitBlocks, 1);
}

TEST(WriterSet, FileSpanningThreeCabinetsIsPrevAndNextInTheMiddle) {
    const uint32_t limit = 40000;
    WriteOutcome out = WriteToMemory(OneBigStoredFile(limit), {RandomBytes(3, 100000)});
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    SetShape shape;
    ASSERT_TRUE(CheckSet(out.cabinets, limit, &shape));
    ASSERT_GE(shape.parsed.size(), 3u);
    EXPECT_EQ(shape.parsed.front().files[0].folderIndex, FolderToNext);
    for (size_t i = 1; i + 1 < shape.parsed.size(); ++i) {
        ASSERT_EQ(shape.parsed[i].files.size(), 1u);
        EXPECT_EQ(shape.parsed[i].files[0].folderIndex, FolderPrevAndNext) << i;
        EXPECT_EQ(shape.parsed[i].folders.size(), 1u);
    }
    EXPECT_EQ(shape.parsed.back().files[0].folderIndex, FolderFromPrevious);
    EXPECT_EQ(shape.filesInThreeCabinets, 1);
}

TEST(WriterSet, FilesThatBeginInALaterCabinetGetANewFolder) {
    // "a" spans; "b" and "c" begin in the second cabinet and must be
    // extractable from it alone, so they are not in the continued folder 0.
    CabWriteRequest request;
    request.folders = {{MszipMethod()}};
    request.files = {MakeFile("a"), MakeFile("b"), MakeFile("c")};
    request.maxCabinetBytes = 30000;
    WriteOutcome out = WriteToMemory(request, {RandomBytes(4, 45000), TextBytes(5, 20000), TextBytes(6, 100)});
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    SetShape shape;
    ASSERT_TRUE(CheckSet(out.cabinets, request.maxCabinetBytes, &shape));
    ASSERT_GE(shape.parsed.size(), 2u);
    const ParsedCabinet& second = shape.parsed[1];
    for (const ParsedFile& file : second.files) {
        if (file.name != "a") {
            EXPECT_NE(file.folderIndex, 0) << file.name;
            EXPECT_EQ(file.folderOffset, file.name == "b" ? 0u : 20000u);
        }
    }
}

struct SetCase {
    const char* label;
    CabMethodKind kind;
    uint32_t limit;
    std::vector<uint32_t> sizes;
    bool randomEvenFiles;  // files at even indexes random, all others text
    bool withReserve;
};

TEST(WriterSet, StructureHoldsAcrossSizesAndMethods) {
    const std::vector<SetCase> cases = {
        {"stored, many small files", CabMethodKind::Stored, 20000, std::vector<uint32_t>(60, 1500), true, false},
        {"stored, mixed", CabMethodKind::Stored, 50000, {100, 0, 70000, 3, 0, 40000, 32768, 1}, true, false},
        {"mszip, text", CabMethodKind::Mszip, 6000, {200000, 5000, 0, 60000}, false, false},
        {"mszip, random", CabMethodKind::Mszip, 45000, {100000, 1, 100000}, true, false},
        {"mszip, reserve", CabMethodKind::Mszip, 36000, {90000, 12, 0, 35000}, true, true},
        {"mszip, tiny files", CabMethodKind::Mszip, 12000, std::vector<uint32_t>(300, 177), false, false},
        {"stored, empty files only", CabMethodKind::Stored, 300, std::vector<uint32_t>(20, 0), false, false},
    };
    int splits = 0, boundaries = 0, threeCabinetFiles = 0;
    for (const SetCase& c : cases) {
        CabWriteRequest request;
        CabMethod method;
        method.kind = c.kind;
        request.folders = {{method}};
        std::vector<std::vector<uint8_t>> contents;
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            request.files.push_back(MakeFile("dir\\file" + std::to_string(i)));
            contents.push_back(c.randomEvenFiles && i % 2 == 0 ? RandomBytes(static_cast<uint32_t>(i), c.sizes[i])
                                                               : TextBytes(static_cast<uint32_t>(i), c.sizes[i]));
        }
        request.maxCabinetBytes = c.limit;
        if (c.withReserve) {
            request.reserve.present = true;
            request.reserve.cabinetReserve = std::vector<uint8_t>(20, 9);
            request.reserve.folderReserveBytes = 4;
            request.reserve.blockReserveBytes = 8;
        }
        WriteOutcome out = WriteToMemory(request, contents);
        ASSERT_EQ(out.result.status, CabWriteOk) << c.label << ": " << out.result.message;
        SetShape shape;
        ASSERT_TRUE(CheckSet(out.cabinets, c.limit, &shape)) << c.label;
        EXPECT_GE(shape.parsed.size(), 2u) << c.label;
        splits += shape.splitBlocks;
        boundaries += shape.blockBoundaryContinues;
        threeCabinetFiles += shape.filesInThreeCabinets;
    }
    EXPECT_GT(splits, 0);
    EXPECT_GT(threeCabinetFiles, 0);
}

}  // namespace
