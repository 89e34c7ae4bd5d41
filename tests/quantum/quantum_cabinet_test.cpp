// Quantum folders through the whole decoder: a cabinet with two Quantum
// folders of one compression word (one context, reset between the folders),
// extracted with the window in memory and with the paged store, whose scratch
// file the decoder opens through the same callbacks as the cabinet.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cabdecode.h"
#include "quantum_reference.h"
#include "quantum_state.h"
#include "quantum_test_io.h"
#include "quantum_test_support.h"

namespace {

// Little-endian writer for the hand-built cabinet.
struct LeWriter {
    std::vector<uint8_t> bytes;
    void Put8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void Put16(uint32_t v) {
        Put8(v);
        Put8(v >> 8);
    }
    void Put32(uint32_t v) {
        Put16(v);
        Put16(v >> 16);
    }
    void PutText(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        Put8(0);
    }
};

struct CabFile {
    std::string name;
    uint16_t folder;
    uint32_t offset;
    uint32_t size;
};

// One cabinet: header, folder entries, file entries, then each folder's
// data blocks (no reserve, no neighbours, no checksums).
std::vector<uint8_t> BuildCabinet(const std::vector<RefStream>& folders, uint16_t compression,
                                  const std::vector<CabFile>& files) {
    LeWriter entries;
    for (const CabFile& file : files) {
        entries.Put32(file.size);    // fileSize
        entries.Put32(file.offset);  // folderOffset
        entries.Put16(file.folder);  // folderIndex
        entries.Put16(0x5A21);       // date
        entries.Put16(0x6000);       // time
        entries.Put16(0x20);         // attributes
        entries.PutText(file.name);
    }
    uint32_t filesOffset = 36 + 8 * static_cast<uint32_t>(folders.size());
    uint32_t dataOffset = filesOffset + static_cast<uint32_t>(entries.bytes.size());
    LeWriter data;
    std::vector<uint32_t> folderStarts;
    for (const RefStream& stream : folders) {
        folderStarts.push_back(dataOffset + static_cast<uint32_t>(data.bytes.size()));
        for (size_t i = 0; i < stream.blocks.size(); i++) {
            data.Put32(0);                                              // checksum: none
            data.Put16(static_cast<uint32_t>(stream.blocks[i].size()));  // packedSize
            data.Put16(stream.blockSizes[i]);                            // unpackedSize
            data.bytes.insert(data.bytes.end(), stream.blocks[i].begin(), stream.blocks[i].end());
        }
    }
    LeWriter cab;
    cab.PutText("MSCF");
    cab.bytes.pop_back();  // the signature has no NUL
    cab.Put32(0);          // reserved
    cab.Put32(dataOffset + static_cast<uint32_t>(data.bytes.size()));  // cabinetSize
    cab.Put32(0);                                                      // reserved
    cab.Put32(filesOffset);                                            // filesOffset
    cab.Put32(0);                                                      // reserved
    cab.Put16(0x0103);                                                 // version 1.3
    cab.Put16(static_cast<uint32_t>(folders.size()));                  // folderCount
    cab.Put16(static_cast<uint32_t>(files.size()));                    // fileCount
    cab.Put16(0);                                                      // flags
    cab.Put16(0x1234);                                                 // setId
    cab.Put16(0);                                                      // cabinetIndex
    for (size_t i = 0; i < folders.size(); i++) {
        cab.Put32(folderStarts[i]);                                        // dataOffset
        cab.Put16(static_cast<uint32_t>(folders[i].blocks.size()));      // blockCount
        cab.Put16(compression);                                          // compression word
    }
    cab.bytes.insert(cab.bytes.end(), entries.bytes.begin(), entries.bytes.end());
    cab.bytes.insert(cab.bytes.end(), data.bytes.begin(), data.bytes.end());
    return cab.bytes;
}

std::map<std::string, int32_t> outputHandles;

int32_t Notify(int32_t type, CabNotice* notice) {
    if (type == NoticeOpenOutput) {
        int32_t handle = TestOpen((std::string("out:") + notice->text1).c_str(), 0, 0);
        outputHandles[notice->text1] = handle;
        return handle;
    }
    if (type == NoticeCloseOutput) return TestClose(notice->handle) == 0 ? 1 : 0;
    return 0;
}

std::vector<uint8_t> OutputOf(const std::string& name) {
    return testFiles.files[static_cast<size_t>(outputHandles[name] - 100)].bytes;
}

TEST(QuantumCabinet, TwoFoldersInMemoryAndPaged) {
    RefQuantumEncoder encoder(16);
    RefStream first = RandomStream(encoder, 31, 90000, 32768);
    encoder.ResetFolder();
    RefStream second = GreedyStream(encoder, SampleText(3, 120000));
    uint32_t firstSize = static_cast<uint32_t>(first.expected.size());
    std::vector<CabFile> files = {
        {"one.bin", 0, 0, firstSize},
        {"two.txt", 1, 0, 50000},
        {"three.txt", 1, 50000, 70000},
    };
    std::vector<uint8_t> cabinet = BuildCabinet({first, second}, CabQuantumWord(16), files);

    for (int paged = 0; paged < 2; paged++) {
        ResetTestIo();
        size_t liveBefore = testHeap.live.size();
        testFiles.named["q.cab"] = cabinet;
        if (paged) {
            ForcePaging(16);
            testHeap.failPageBuffer = 4;
        }
        outputHandles.clear();
        CabError error{};
        CabDecoder* decoder =
            CabDecoderCreate(TestAlloc, TestFree, TestOpen, TestRead, TestWrite, TestClose, TestSeek, &error);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(CabDecoderExtract(decoder, "q.cab", "", Notify, nullptr, nullptr), 1)
            << "code " << error.code << (paged ? " paged" : " in memory");
        EXPECT_EQ(quantumState.windowBuffer == nullptr, paged == 1);
        EXPECT_EQ(CabDecoderDestroy(decoder), 1);
        EXPECT_EQ(quantumState.currentContext, nullptr);

        EXPECT_TRUE(OutputOf("one.bin") == first.expected);
        EXPECT_TRUE(OutputOf("two.txt") == std::vector<uint8_t>(second.expected.begin(), second.expected.begin() + 50000));
        EXPECT_TRUE(OutputOf("three.txt") == std::vector<uint8_t>(second.expected.begin() + 50000, second.expected.end()));
        for (const TestFile& file : testFiles.files) EXPECT_FALSE(file.open) << file.name;
        int32_t scratchHandle = -1;
        for (size_t i = 0; i < testFiles.files.size(); i++) {
            if (testFiles.files[i].name == std::string("*\0\0\0\1\0", 6)) scratchHandle = static_cast<int32_t>(i + 100);
        }
        EXPECT_EQ(scratchHandle != -1, paged == 1);
        int scratchReads = 0;
        for (const TestIoEvent& event : testFiles.events) scratchReads += event.op == IoRead && event.handle == scratchHandle;
        EXPECT_EQ(scratchReads > 0, paged == 1) << "pages went out and came back";
        EXPECT_EQ(testHeap.live.size(), liveBefore);
    }
}

TEST(QuantumCabinet, DamagedQuantumBlockFailsTheExtraction) {
    RefQuantumEncoder encoder(12);
    RefStream stream = RandomStream(encoder, 41, 40000, 32768);
    stream.blocks[1].resize(stream.blocks[1].size() / 2);  // the second block loses its tail
    std::vector<CabFile> files = {{"a.bin", 0, 0, static_cast<uint32_t>(stream.expected.size())}};
    ResetTestIo();
    testFiles.named["q.cab"] = BuildCabinet({stream}, CabQuantumWord(12), files);
    CabError error{};
    CabDecoder* decoder =
        CabDecoderCreate(TestAlloc, TestFree, TestOpen, TestRead, TestWrite, TestClose, TestSeek, &error);
    ASSERT_NE(decoder, nullptr);
    EXPECT_EQ(CabDecoderExtract(decoder, "q.cab", "", Notify, nullptr, nullptr), 0);
    EXPECT_EQ(error.code, CabErrDecompress);
    EXPECT_EQ(CabDecoderDestroy(decoder), 1);
    EXPECT_EQ(quantumState.currentContext, nullptr);
}

}  // namespace
