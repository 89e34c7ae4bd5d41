// writer_layout_test.cpp: the writer's cabinets, field by field, read back
// with the tests' own parser (no decoder involved).
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "cab_checksum.h"
#include "cab_parser.h"
#include "cab_writer.h"
#include "cabdecode.h"
#include "writer_fixture.h"

namespace {

ParsedCabinet Parse(const std::vector<uint8_t>& bytes) {
    ParsedCabinet cab;
    std::string problem;
    EXPECT_TRUE(ParseCabinet(bytes, &cab, &problem)) << problem;
    return cab;
}

// The folder's uncompressed data, when its blocks are stored.
std::vector<uint8_t> StoredFolderData(const ParsedFolder& folder) {
    std::vector<uint8_t> data;
    for (const ParsedBlock& block : folder.blocks) data.insert(data.end(), block.stored.begin(), block.stored.end());
    return data;
}

TEST(WriterLayout, SingleStoredFileHeaderAndEntries) {
    CabWriteRequest request;
    request.folders = {{StoredMethod()}};
    request.files = {MakeFile("docs\\readme.txt", 0, 0x21)};
    request.setId = 0x1234;
    const std::vector<std::vector<uint8_t>> contents = {TextBytes(1, 1000)};
    WriteOutcome out = WriteToMemory(request, contents);
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    ASSERT_EQ(out.cabinets.size(), 1u);
    const std::vector<uint8_t>& bytes = out.cabinets[0].bytes;
    ParsedCabinet cab = Parse(bytes);

    EXPECT_EQ(cab.cabinetSize, bytes.size());
    EXPECT_EQ(cab.reserved4 | cab.reserved12 | cab.reserved20, 0u);
    EXPECT_EQ(cab.version, 0x0103);
    EXPECT_EQ(cab.flags, 0);
    EXPECT_EQ(cab.setId, 0x1234);
    EXPECT_EQ(cab.cabinetIndex, 0);
    EXPECT_EQ(cab.folderEntriesOffset, 36u);  // no reserve, no names
    ASSERT_EQ(cab.folderCount, 1);
    ASSERT_EQ(cab.fileCount, 1);
    EXPECT_EQ(cab.filesOffset, 36u + 8u);
    EXPECT_EQ(cab.folders[0].dataOffset, 36u + 8u + 16u + 16u);  // "docs\readme.txt" + NUL
    EXPECT_EQ(cab.folders[0].compression, CompressionNone);
    ASSERT_EQ(cab.folders[0].blockCount, 1);
    EXPECT_EQ(cab.endOfData, bytes.size());

    const ParsedFile& file = cab.files[0];
    EXPECT_EQ(file.name, "docs\\readme.txt");
    EXPECT_EQ(file.size, 1000u);
    EXPECT_EQ(file.folderOffset, 0u);
    EXPECT_EQ(file.folderIndex, 0);
    EXPECT_EQ(file.date, request.files[0].date);
    EXPECT_EQ(file.time, request.files[0].time);
    EXPECT_EQ(file.attributes, 0x21);

    const ParsedBlock& block = cab.folders[0].blocks[0];
    EXPECT_EQ(block.packedSize, 1000);
    EXPECT_EQ(block.unpackedSize, 1000);
    EXPECT_EQ(block.stored, contents[0]);
    EXPECT_EQ(block.checksum, ReferenceBlockChecksum(block));
}

TEST(WriterLayout, ChecksumKnownValuesAndDecoderAgreement) {
    struct Case {
        const char* bytes;
        uint32_t length;
        uint32_t expected;
    } cases[] = {
        {"abc", 3, 0x00616263}, {"abcd", 4, 0x64636261}, {"abcde", 5, 0x64636204}, {"", 0, 0}, {"ab", 2, 0x6162},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CabWriteChecksum(reinterpret_cast<const uint8_t*>(c.bytes), c.length, 0), c.expected) << c.bytes;
    }
    const std::vector<uint8_t> data = RandomBytes(9, 64);
    for (uint32_t length = 0; length <= data.size(); ++length) {
        for (uint32_t seed : {0u, 0xDEADBEEFu}) {
            EXPECT_EQ(CabWriteChecksum(data.data(), length, seed), CabChecksum(data.data(), length, seed))
                << "length " << length;
        }
    }
}

struct ChecksumCase {
    const char* label;
    CabMethodKind kind;
    bool reserve;
    bool withChecksums;
};

TEST(WriterLayout, BlockChecksumsCoverStoredBytesAndHeaderTail) {
    const ChecksumCase cases[] = {
        {"stored", CabMethodKind::Stored, false, true},
        {"mszip", CabMethodKind::Mszip, false, true},
        {"stored with block reserve", CabMethodKind::Stored, true, true},
        {"mszip with block reserve", CabMethodKind::Mszip, true, true},
        {"checksums off", CabMethodKind::Mszip, true, false},
    };
    for (const ChecksumCase& c : cases) {
        CabWriteRequest request;
        CabMethod method;
        method.kind = c.kind;
        request.folders = {{method}};
        request.files = {MakeFile("a.bin"), MakeFile("b.txt")};
        request.withChecksums = c.withChecksums;
        if (c.reserve) {
            request.reserve.present = true;
            request.reserve.blockReserveBytes = 7;
            request.reserve.fillByte = 0xA5;
        }
        WriteOutcome out = WriteToMemory(request, {RandomBytes(2, 50000), TextBytes(3, 40001)});
        ASSERT_EQ(out.result.status, CabWriteOk) << c.label;
        ParsedCabinet cab = Parse(out.cabinets[0].bytes);
        ASSERT_EQ(cab.folders.size(), 1u);
        EXPECT_EQ(cab.folders[0].blocks.size(), 3u) << c.label;  // 90001 bytes
        for (const ParsedBlock& block : cab.folders[0].blocks) {
            if (c.withChecksums) {
                EXPECT_EQ(block.checksum, ReferenceBlockChecksum(block)) << c.label;
            } else {
                EXPECT_EQ(block.checksum, 0u) << c.label;
            }
            EXPECT_EQ(block.reserve, std::vector<uint8_t>(c.reserve ? 7 : 0, 0xA5)) << c.label;
        }
    }
}

TEST(WriterLayout, ReserveAreas) {
    CabWriteRequest request;
    request.folders = {{StoredMethod()}, {MszipMethod()}};
    request.files = {MakeFile("one", 0), MakeFile("two", 1)};
    request.reserve.present = true;
    request.reserve.cabinetReserve = {1, 2, 3, 4, 5, 6};
    request.reserve.folderReserveBytes = 3;
    request.reserve.blockReserveBytes = 2;
    request.reserve.fillByte = 0x5A;
    WriteOutcome out = WriteToMemory(request, {TextBytes(4, 100), TextBytes(5, 200)});
    ASSERT_EQ(out.result.status, CabWriteOk);
    ParsedCabinet cab = Parse(out.cabinets[0].bytes);
    EXPECT_EQ(cab.flags, FlagHasReserve);
    EXPECT_EQ(cab.cabinetReserveSize, 6);
    EXPECT_EQ(cab.folderReserveSize, 3);
    EXPECT_EQ(cab.blockReserveSize, 2);
    EXPECT_EQ(cab.cabinetReserve, request.reserve.cabinetReserve);
    EXPECT_EQ(cab.folderEntriesOffset, 36u + 4u + 6u);
    ASSERT_EQ(cab.folders.size(), 2u);
    for (const ParsedFolder& folder : cab.folders) {
        EXPECT_EQ(folder.reserve, std::vector<uint8_t>(3, 0x5A));
    }
    EXPECT_EQ(cab.folders[0].compression, CompressionNone);
    EXPECT_EQ(cab.folders[1].compression, CompressionMszip);

    // The flag alone, with every size 0, is a valid layout of its own.
    CabWriteRequest flagOnly = request;
    flagOnly.reserve = CabReserveLayout();
    flagOnly.reserve.present = true;
    WriteOutcome plain = WriteToMemory(flagOnly, {TextBytes(4, 100), TextBytes(5, 200)});
    ASSERT_EQ(plain.result.status, CabWriteOk);
    ParsedCabinet flagCab = Parse(plain.cabinets[0].bytes);
    EXPECT_EQ(flagCab.flags, FlagHasReserve);
    EXPECT_EQ(flagCab.folderEntriesOffset, 40u);
}

TEST(WriterLayout, FilesAndFoldersInOrder) {
    CabWriteRequest request;
    request.folders = {{StoredMethod()}, {MszipMethod()}, {StoredMethod()}};
    request.files = {MakeFile("a", 0), MakeFile("b", 0), MakeFile("sub\\c", 1), MakeFile("sub\\deeper\\d", 1),
                     MakeFile("e", 2)};
    const std::vector<std::vector<uint8_t>> contents = {TextBytes(1, 40000), TextBytes(2, 0), TextBytes(3, 70000),
                                                        TextBytes(4, 5), RandomBytes(5, 33000)};
    WriteOutcome out = WriteToMemory(request, contents);
    ASSERT_EQ(out.result.status, CabWriteOk);
    ParsedCabinet cab = Parse(out.cabinets[0].bytes);
    ASSERT_EQ(cab.folders.size(), 3u);
    ASSERT_EQ(cab.files.size(), 5u);
    const uint16_t folders[] = {0, 0, 1, 1, 2};
    const uint32_t offsets[] = {0, 40000, 0, 70000, 0};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(cab.files[i].name, request.files[i].name);
        EXPECT_EQ(cab.files[i].folderIndex, folders[i]) << i;
        EXPECT_EQ(cab.files[i].folderOffset, offsets[i]) << i;
        EXPECT_EQ(cab.files[i].size, contents[i].size()) << i;
    }
    // Blocks are full except each folder's last.
    const size_t blockCounts[] = {2, 3, 2};
    for (size_t f = 0; f < 3; ++f) {
        ASSERT_EQ(cab.folders[f].blocks.size(), blockCounts[f]) << f;
        for (size_t b = 0; b + 1 < cab.folders[f].blocks.size(); ++b) {
            EXPECT_EQ(cab.folders[f].blocks[b].unpackedSize, cabMaxBlockBytes);
        }
    }
    std::vector<uint8_t> folder0 = contents[0];
    EXPECT_EQ(StoredFolderData(cab.folders[0]), folder0);
    EXPECT_EQ(StoredFolderData(cab.folders[2]), contents[4]);
}

TEST(WriterLayout, FolderOfEmptyFilesGetsOnePaddingBlock) {
    for (CabMethod method : {StoredMethod(), MszipMethod()}) {
        CabWriteRequest request;
        request.folders = {{method}};
        request.files = {MakeFile("empty1"), MakeFile("empty2")};
        WriteOutcome out = WriteToMemory(request, {{}, {}});
        ASSERT_EQ(out.result.status, CabWriteOk);
        ParsedCabinet cab = Parse(out.cabinets[0].bytes);
        ASSERT_EQ(cab.folders.size(), 1u);
        ASSERT_EQ(cab.folders[0].blocks.size(), 1u);
        EXPECT_EQ(cab.folders[0].blocks[0].unpackedSize, 1);  // never 0: that marks a split block
        EXPECT_EQ(cab.files[0].folderOffset, 0u);
        EXPECT_EQ(cab.files[1].folderOffset, 0u);
    }
}

TEST(WriterLayout, NoFilesGivesAnEmptyCabinet) {
    WriteOutcome out = WriteToMemory(CabWriteRequest(), {});
    ASSERT_EQ(out.result.status, CabWriteOk);
    ASSERT_EQ(out.cabinets.size(), 1u);
    ParsedCabinet cab = Parse(out.cabinets[0].bytes);
    EXPECT_EQ(cab.folderCount, 0);
    EXPECT_EQ(cab.fileCount, 0);
    EXPECT_EQ(out.cabinets[0].bytes.size(), 36u);
}

// Inflates an MSZIP folder block by block with zlib, each block with the
// previous 32 KB as dictionary, as an independent check of the encoder.
std::vector<uint8_t> InflateMszipFolder(const ParsedFolder& folder) {
    std::vector<uint8_t> data;
    for (const ParsedBlock& block : folder.blocks) {
        EXPECT_GE(block.stored.size(), 2u);
        EXPECT_EQ(block.stored[0], 'C');
        EXPECT_EQ(block.stored[1], 'K');
        z_stream stream;
        std::memset(&stream, 0, sizeof stream);
        EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
        if (!data.empty()) {
            const size_t from = data.size() > 32768 ? data.size() - 32768 : 0;
            EXPECT_EQ(inflateSetDictionary(&stream, data.data() + from, static_cast<uInt>(data.size() - from)), Z_OK);
        }
        std::vector<uint8_t> out(32768);
        stream.next_in = const_cast<Bytef*>(block.stored.data() + 2);
        stream.avail_in = static_cast<uInt>(block.stored.size() - 2);
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);  // each block ends its Deflate stream
        EXPECT_EQ(stream.avail_in, 0u);
        out.resize(out.size() - stream.avail_out);
        EXPECT_EQ(out.size(), block.unpackedSize);
        inflateEnd(&stream);
        data.insert(data.end(), out.begin(), out.end());
    }
    return data;
}

TEST(WriterLayout, MszipBlocksAreSelfEndingDeflateWithFolderHistory) {
    struct Case {
        const char* label;
        std::vector<uint8_t> content;
    };
    const Case cases[] = {
        {"text with far repeats", TextBytes(11, 200000)},
        {"incompressible", RandomBytes(12, 100000)},
        {"one byte", {0x42}},
        {"exactly two blocks", TextBytes(13, 65536)},
    };
    for (const Case& c : cases) {
        CabWriteRequest request;
        request.folders = {{MszipMethod()}};
        request.files = {MakeFile("f")};
        WriteOutcome out = WriteToMemory(request, {c.content});
        ASSERT_EQ(out.result.status, CabWriteOk) << c.label;
        ParsedCabinet cab = Parse(out.cabinets[0].bytes);
        ASSERT_EQ(cab.folders.size(), 1u);
        EXPECT_EQ(cab.folders[0].compression, CompressionMszip);
        for (const ParsedBlock& block : cab.folders[0].blocks) {
            EXPECT_LE(block.packedSize, 32768 + 12) << c.label;  // the decoder's input buffer
        }
        for (size_t b = 0; b + 1 < cab.folders[0].blocks.size(); ++b) {
            EXPECT_EQ(cab.folders[0].blocks[b].unpackedSize, cabMaxBlockBytes) << c.label;
        }
        EXPECT_EQ(InflateMszipFolder(cab.folders[0]), c.content) << c.label;
    }
}

TEST(WriterLayout, MszipUsesTheDictionary) {
    // The second block repeats the first block's second half twice. Its first
    // half can only be found in the dictionary; with it, the block shrinks to
    // almost nothing, without it, half of it would stay incompressible.
    std::vector<uint8_t> content = RandomBytes(21, 32768);
    const std::vector<uint8_t> secondHalf(content.begin() + 16384, content.end());
    content.insert(content.end(), secondHalf.begin(), secondHalf.end());
    content.insert(content.end(), secondHalf.begin(), secondHalf.end());
    CabWriteRequest request;
    request.folders = {{MszipMethod()}};
    request.files = {MakeFile("twice")};
    WriteOutcome out = WriteToMemory(request, {content});
    ASSERT_EQ(out.result.status, CabWriteOk);
    ParsedCabinet cab = Parse(out.cabinets[0].bytes);
    ASSERT_EQ(cab.folders[0].blocks.size(), 2u);
    EXPECT_LT(cab.folders[0].blocks[1].packedSize, 1000);
}

TEST(WriterLayout, OutputIsReproducible) {
    CabWriteRequest request;
    request.folders = {{MszipMethod()}, {StoredMethod()}};
    request.files = {MakeFile("a", 0), MakeFile("b", 1)};
    request.maxCabinetBytes = 30000;
    const std::vector<std::vector<uint8_t>> contents = {TextBytes(31, 150000), RandomBytes(32, 70000)};
    WriteOutcome first = WriteToMemory(request, contents);
    WriteOutcome second = WriteToMemory(request, contents);
    ASSERT_EQ(first.result.status, CabWriteOk);
    ASSERT_EQ(first.cabinets.size(), second.cabinets.size());
    for (size_t i = 0; i < first.cabinets.size(); ++i) {
        EXPECT_EQ(first.cabinets[i].bytes, second.cabinets[i].bytes) << i;
    }
}

struct FailureCase {
    const char* label;
    CabWriteRequest request;
    std::vector<std::vector<uint8_t>> contents;
    CabWriteStatus expected;
};

TEST(WriterLayout, RefusedRequests) {
    std::vector<FailureCase> cases;
    {
        FailureCase c{"name of 256 characters", {}, {{1}}, CabWriteBadRequest};
        c.request.folders = {{StoredMethod()}};
        c.request.files = {MakeFile(std::string(256, 'n'))};
        cases.push_back(c);
    }
    {
        FailureCase c{"empty name", {}, {{1}}, CabWriteBadRequest};
        c.request.folders = {{StoredMethod()}};
        c.request.files = {MakeFile("")};
        cases.push_back(c);
    }
    {
        FailureCase c{"folder out of range", {}, {{1}}, CabWriteBadRequest};
        c.request.folders = {{StoredMethod()}};
        c.request.files = {MakeFile("x", 1)};
        cases.push_back(c);
    }
    {
        FailureCase c{"folders out of order", {}, {{1}, {2}}, CabWriteBadRequest};
        c.request.folders = {{StoredMethod()}, {StoredMethod()}};
        c.request.files = {MakeFile("x", 1), MakeFile("y", 0)};
        cases.push_back(c);
    }
    {
        FailureCase c{"Quantum, refused while the build has no encoder", {}, {{1}}, CabWriteBadRequest};
        CabMethod quantum;
        quantum.kind = CabMethodKind::Quantum;
        c.request.folders = {{quantum}};
        c.request.files = {MakeFile("x")};
        std::string error;
        if (CreateBlockCompressor(quantum, &error)) {
            c.expected = CabWriteOk;  // the encoder has landed
        }
        cases.push_back(c);
    }
    {
        FailureCase c{"set size below one block", {}, {RandomBytes(1, 40000)}, CabWriteSetTooSmall};
        c.request.folders = {{StoredMethod()}};
        c.request.files = {MakeFile("x")};
        c.request.maxCabinetBytes = 3000;
        cases.push_back(c);
    }
    {
        FailureCase c{"set size below a header", {}, {{1}}, CabWriteSetTooSmall};
        c.request.folders = {{StoredMethod()}};
        c.request.files = {MakeFile("x")};
        c.request.maxCabinetBytes = 40;
        cases.push_back(c);
    }
    {
        FailureCase c{"reserve sizes without the flag", {}, {{1}}, CabWriteBadRequest};
        c.request.folders = {{StoredMethod()}};
        c.request.files = {MakeFile("x")};
        c.request.reserve.blockReserveBytes = 4;
        cases.push_back(c);
    }
    for (const FailureCase& c : cases) {
        WriteOutcome out = WriteToMemory(c.request, c.contents);
        EXPECT_EQ(out.result.status, c.expected) << c.label << ": " << out.result.message;
        if (c.expected != CabWriteOk) {
            EXPECT_FALSE(out.result.message.empty()) << c.label;
        }
    }
}

class FailingSource : public CabContentSource {
public:
    bool ReadContent(uint32_t, uint8_t*, uint32_t) override { return false; }
};

class FailingSink : public CabCabinetSink {
public:
    bool TakeCabinet(uint32_t, const std::string&, const std::vector<uint8_t>&) override { return false; }
};

TEST(WriterLayout, SourceAndSinkFailuresAreReported) {
    CabWriteRequest request;
    request.folders = {{StoredMethod()}};
    request.files = {MakeFile("x")};
    request.files[0].size = 10;
    FailingSource failingSource;
    CabMemorySink sink;
    EXPECT_EQ(WriteCabinets(request, &failingSource, &sink).status, CabWriteReadFailed);
    EXPECT_TRUE(sink.cabinets.empty());

    const std::vector<std::vector<uint8_t>> contents = {std::vector<uint8_t>(10, 1)};
    CabMemorySource source(&contents);
    FailingSink failingSink;
    EXPECT_EQ(WriteCabinets(request, &source, &failingSink).status, CabWriteSinkFailed);
}

TEST(WriterMethods, ParsingAndCompressionWords) {
    struct Case {
        const char* text;
        bool ok;
        uint16_t word;
    } cases[] = {
        {"none", true, 0x0000},       {"stored", true, 0x0000},    {"mszip", true, 0x0001},
        {"quantum", true, 0x1502},    {"quantum:10", true, 0x0A02}, {"quantum:21", true, 0x1502},
        {"quantum:9", false, 0},      {"quantum:22", false, 0},     {"quantum:", false, 0},
        {"quantum:1x", false, 0},     {"lzx", false, 0},            {"", false, 0},
    };
    for (const Case& c : cases) {
        CabMethod method;
        std::string error;
        ASSERT_EQ(ParseCabMethod(c.text, &method, &error), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(CabCompressionWord(method), c.word) << c.text;
            CabMethod again;
            EXPECT_TRUE(ParseCabMethod(CabMethodName(method), &again, &error));
            EXPECT_EQ(CabCompressionWord(again), c.word) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

TEST(WriterMethods, SetMemberNames) {
    struct Case {
        const char* first;
        uint32_t index;
        const char* expected;
    } cases[] = {
        {"out.cab", 0, "out.cab"},     {"out.cab", 1, "out2.cab"},   {"out.cab", 9, "out10.cab"},
        {"out", 1, "out2"},            {"a.b.cab", 2, "a.b3.cab"},   {".cab", 1, ".cab2"},
        {"dir.x/out", 1, "dir.x/out2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CabSetMemberName(c.first, c.index), c.expected) << c.first << " " << c.index;
    }
}

}  // namespace
