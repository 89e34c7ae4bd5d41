// quantum_cabinet_test.cpp: cabinets with Quantum folders from the writer,
// extracted by CabDecoderExtract: several folders (the decompressor is reset
// between folders of one compression word and re-created when the word
// changes), sets whose folders continue into the next cabinet through split
// blocks, and the paged window store behind the engine.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cab_writer.h"
#include "memory_cab_io.h"
#include "qenc_support.h"
#include "set_checks.h"
#include "writer_fixture.h"

namespace {

// The engine's callbacks: cabinets and outputs in memory (memory_cab_io),
// the heap and the scratch file of the paged store from qenc_support.
CabIo engineIo;

int32_t EngineOpen(const char* path, int32_t flags, int32_t mode) {
    if (path[0] == '*') return QencScratchOpen(path, flags, mode);
    return engineIo.open(path, flags, mode);
}
int32_t EngineRead(int32_t handle, void* buffer, uint32_t count) {
    return handle == qencScratchHandle ? QencScratchRead(handle, buffer, count) : engineIo.read(handle, buffer, count);
}
int32_t EngineWrite(int32_t handle, const void* buffer, uint32_t count) {
    return handle == qencScratchHandle ? QencScratchWrite(handle, buffer, count) : engineIo.write(handle, buffer, count);
}
int32_t EngineClose(int32_t handle) {
    return handle == qencScratchHandle ? QencScratchClose(handle) : engineIo.close(handle);
}
int32_t EngineSeek(int32_t handle, int32_t offset, int32_t origin) {
    return handle == qencScratchHandle ? QencScratchSeek(handle, offset, origin) : engineIo.seek(handle, offset, origin);
}

struct Extraction {
    std::map<std::string, Bytes> files;
    std::map<std::string, int> deliveries;
    std::map<std::string, std::string> outputName;
    int next = 0;
};

int32_t Notify(int32_t type, CabNotice* notice) {
    Extraction* extraction = static_cast<Extraction*>(notice->user);
    const std::string name = notice->text1 ? notice->text1 : "";
    switch (type) {
        case NoticeOpenOutput: {
            const std::string output = "out" + std::to_string(extraction->next++) + ":" + name;
            extraction->outputName[name] = output;
            return OpenMemoryOutput(output);
        }
        case NoticeCloseOutput:
            extraction->files[name] = MemoryOutput(extraction->outputName[name]);
            extraction->deliveries[name]++;
            return 1;
        case NoticeNextCabinet:
            return notice->error == 0 ? 0 : -1;
        default:
            return 0;
    }
}

// Extracts each cabinet of the set in turn with one decoder; returns the
// first failure's code, or 0.
int ExtractAll(const std::vector<CabMemoryCabinet>& cabinets, Extraction* extraction) {
    ResetMemoryFiles();
    for (const CabMemoryCabinet& cabinet : cabinets) AddMemoryFile(cabinet.name, cabinet.bytes);
    engineIo = MemoryCabIo();
    CabError error = {};
    CabDecoder* decoder =
        CabDecoderCreate(QencAlloc, QencFree, EngineOpen, EngineRead, EngineWrite, EngineClose, EngineSeek, &error);
    if (decoder == nullptr) return error.code;
    int failure = 0;
    for (const CabMemoryCabinet& cabinet : cabinets) {
        if (!CabDecoderExtract(decoder, cabinet.name.c_str(), "", Notify, nullptr, extraction)) {
            failure = error.code;
            break;
        }
    }
    CabDecoderDestroy(decoder);
    return failure;
}

CabMethod Quantum(int windowBits) {
    CabMethod method;
    method.kind = CabMethodKind::Quantum;
    method.quantumWindowBits = windowBits;
    return method;
}

struct Content {
    CabWriteRequest request;
    std::vector<Bytes> contents;
};

// Files in folders of the given methods: text, binary and random files of
// several sizes, two to four per folder.
Content MakeContent(const std::vector<CabMethod>& methods, uint32_t seed) {
    Content content;
    for (const CabMethod& method : methods) content.request.folders.push_back({method});
    for (uint32_t folder = 0; folder < methods.size(); folder++) {
        const uint32_t files = 2 + (seed + folder) % 3;
        for (uint32_t i = 0; i < files; i++) {
            const uint32_t pick = seed * 7 + folder * 3 + i;
            const size_t size = 1000 + (pick * 37813) % 90000;
            const QencData kind = pick % 3 == 0 ? QencData::Text : pick % 3 == 1 ? QencData::Binary : QencData::Random;
            content.request.files.push_back(
                MakeFile("f" + std::to_string(folder) + "\\" + QencDataName(kind) + std::to_string(i), folder));
            content.contents.push_back(QencMake(kind, pick, size));
        }
    }
    return content;
}

// Every file arrives once, byte for byte.
void ExpectDelivered(const Content& content, const Extraction& extraction, const std::string& label) {
    for (size_t i = 0; i < content.request.files.size(); i++) {
        const std::string& name = content.request.files[i].name;
        auto found = extraction.files.find(name);
        ASSERT_TRUE(found != extraction.files.end()) << label << ": " << name << " missing";
        EXPECT_EQ(extraction.deliveries.at(name), 1) << label << ": " << name;
        EXPECT_TRUE(found->second == content.contents[i]) << label << ": " << name << " differs";
    }
}

TEST(QuantumCabinets, FoldersOfSeveralWindowsAndMethods) {
    // quantum:16 twice in a row: the second folder is reached by a reset of
    // the same decompressor; the others change the compression word.
    const std::vector<CabMethod> methods = {Quantum(21), Quantum(10), MszipMethod(), Quantum(16), Quantum(16),
                                            StoredMethod(), Quantum(13)};
    for (bool paged : {false, true}) {
        const std::string label = paged ? "paged" : "in memory";
        Content content = MakeContent(methods, 1);
        WriteOutcome out = WriteToMemory(content.request, content.contents);
        ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
        ASSERT_EQ(out.cabinets.size(), 1u);
        QencResetHost();
        // Refuses the 64 KB window: both quantum:16 folders go through the
        // paged store of one decompressor, reset between them.
        if (paged) qencHeap.failSize = 1u << 16;
        Extraction extraction;
        ASSERT_EQ(ExtractAll(out.cabinets, &extraction), 0) << label;
        ExpectDelivered(content, extraction, label);
        EXPECT_EQ(qencScratch.opens, paged ? 1 : 0) << label;
        EXPECT_EQ(qencHeap.liveBlocks, 0) << label;
    }
}

TEST(QuantumCabinets, SetsWithSplitBlocksThroughEveryWindow) {
    SetShape total;
    int multiCabinetSets = 0;
    for (int bits = 10; bits <= 21; bits++) {
        for (uint32_t setSize : {0u, 36000u, 61000u}) {
            for (bool paged : {false, true}) {
                if (paged && bits == 15) continue;  // 32 KB: also the engine's output buffer
                const std::string label = "window bits " + std::to_string(bits) + ", set size " +
                                          std::to_string(setSize) + (paged ? ", paged" : "");
                Content content = MakeContent({Quantum(bits), Quantum(bits)}, static_cast<uint32_t>(bits));
                content.request.maxCabinetBytes = setSize;
                WriteOutcome out = WriteToMemory(content.request, content.contents);
                ASSERT_EQ(out.result.status, CabWriteOk) << label << ": " << out.result.message;
                SetShape shape;
                ASSERT_TRUE(CheckSet(out.cabinets, setSize, &shape)) << label;
                multiCabinetSets += out.cabinets.size() > 1;
                total.splitBlocks += shape.splitBlocks;
                total.blockBoundaryContinues += shape.blockBoundaryContinues;
                QencResetHost();
                if (paged) qencHeap.failSize = 1u << bits;
                Extraction extraction;
                ASSERT_EQ(ExtractAll(out.cabinets, &extraction), 0) << label;
                ExpectDelivered(content, extraction, label);
                if (paged) {
                    EXPECT_GT(qencScratch.opens, 0) << label;
                }
                EXPECT_EQ(qencHeap.liveBlocks, 0) << label;
            }
        }
    }
    EXPECT_GT(multiCabinetSets, 20);
    EXPECT_GT(total.splitBlocks, 20);
}

TEST(QuantumCabinets, IncompressibleBlocksFitTheDecodersInputBuffer) {
    // Random data codes a little worse than stored; each block must still
    // fit the decoder's input buffer (maxBlockSize + 10240), and the writer
    // refuses a block that would not.
    Content content;
    content.request.folders = {{Quantum(21)}};
    content.request.files = {MakeFile("noise")};
    content.contents = {QencRandom(5, 20 * 32768)};
    WriteOutcome out = WriteToMemory(content.request, content.contents);
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    SetShape shape;
    ASSERT_TRUE(CheckSet(out.cabinets, 0, &shape));
    size_t blocks = 0;
    for (const ParsedCabinet& cabinet : shape.parsed) {
        for (const ParsedFolder& folder : cabinet.folders) {
            for (const auto& block : folder.blocks) {
                EXPECT_LE(block.packedSize, 32768u + 10240u);
                EXPECT_GT(block.packedSize, 32768u);  // random data does not shrink
                blocks++;
            }
        }
    }
    EXPECT_EQ(blocks, 20u);
    QencResetHost();
    Extraction extraction;
    ASSERT_EQ(ExtractAll(out.cabinets, &extraction), 0);
    ExpectDelivered(content, extraction, "noise");
}

}  // namespace
