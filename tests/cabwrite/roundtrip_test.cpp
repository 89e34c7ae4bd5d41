// roundtrip_test.cpp: cabinets from the writer, read back by the decoder.
//
// Every cabinet of a set is extracted in turn, as a user of the set would:
// each extraction delivers the files that begin in its cabinet, following
// their folders into later cabinets. Every accepted file must arrive exactly
// once, byte for byte, with its date, time and attributes.
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cab_writer.h"
#include "cabdecode.h"
#include "memory_cab_io.h"
#include "set_checks.h"
#include "writer_fixture.h"

namespace {

struct Delivered {
    std::vector<uint8_t> bytes;
    uint16_t date = 0, time = 0, attributes = 0;
    int32_t noticeFlag = 0;
    int deliveries = 0;
};

struct Session {
    bool (*accept)(const std::string& name) = nullptr;
    std::map<std::string, int32_t> handleOf;
    std::map<std::string, Delivered> delivered;
    int openRequests = 0;
    int nextCabinetRequests = 0;
    const CabReserveLayout* reserve = nullptr;
    int hookProblems = 0;
    int hookCalls = 0;
};

int32_t RoundTripNotify(int32_t type, CabNotice* notice) {
    Session* session = static_cast<Session*>(notice->user);
    switch (type) {
        case NoticeOpenOutput: {
            ++session->openRequests;
            const std::string name = notice->text1;
            if (session->accept && !session->accept(name)) return 0;
            const int32_t handle = OpenMemoryOutput("out:" + name + ":" + std::to_string(session->openRequests));
            session->handleOf[name] = handle;
            return handle;
        }
        case NoticeCloseOutput: {
            const std::string name = notice->text1;
            Delivered& file = session->delivered[name];
            file.bytes = MemoryOutput("out:" + name + ":" + std::to_string(session->openRequests));
            file.date = notice->date;
            file.time = notice->time;
            file.attributes = notice->attributes;
            file.noticeFlag = notice->size;
            ++file.deliveries;
            return 1;
        }
        case NoticeNextCabinet:
            ++session->nextCabinetRequests;
            return notice->error == 0 ? 0 : -1;  // offered once; a failure ends it
        default:
            return 0;
    }
}

int32_t ReserveHook(CabHookRecord* record) {
    Session* session = static_cast<Session*>(record->user);
    ++session->hookCalls;
    const CabReserveLayout& reserve = *session->reserve;
    switch (record->kind) {
        case HookCabinet:
            if (record->reserveSize != reserve.cabinetReserve.size() ||
                (record->reserveSize && std::vector<uint8_t>(record->reserve, record->reserve + record->reserveSize) !=
                                            reserve.cabinetReserve)) {
                ++session->hookProblems;
            }
            break;
        case HookFolder:
            if (record->reserveSize != reserve.folderReserveBytes) ++session->hookProblems;
            break;
        case HookDataBlock:
            if (record->reserveSize != reserve.blockReserveBytes ||
                (record->reserveSize && record->reserve[0] != reserve.fillByte)) {
                ++session->hookProblems;
            }
            break;
    }
    return 0;
}

// Extracts every cabinet of the set in order; returns the first failure's
// code, or 0.
int ExtractSet(const std::vector<CabMemoryCabinet>& cabinets, Session* session) {
    ResetMemoryFiles();
    for (const CabMemoryCabinet& cabinet : cabinets) AddMemoryFile(cabinet.name, cabinet.bytes);
    CabError error = {};
    CabIo io = MemoryCabIo();
    CabDecoder* decoder = CabDecoderCreate(io.alloc, io.free, io.open, io.read, io.write, io.close, io.seek, &error);
    if (decoder == nullptr) return error.code;
    int failure = 0;
    for (const CabMemoryCabinet& cabinet : cabinets) {
        if (!CabDecoderExtract(decoder, cabinet.name.c_str(), "", RoundTripNotify,
                               session->reserve ? ReserveHook : nullptr, session)) {
            failure = error.code;
            break;
        }
    }
    CabDecoderDestroy(decoder);
    EXPECT_EQ(OpenMemoryCabinetHandles(), 0);
    return failure;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> RepositorySources() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> sources;
    for (const char* folder : {"cabdecode", "cabwrite", "tools", "tests/cabwrite"}) {
        const std::string path = std::string(KESTREL_SOURCE_DIR) + "/" + folder;
        DIR* dir = opendir(path.c_str());
        if (dir == nullptr) continue;
        std::vector<std::string> names;
        while (struct dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 2 && (name.find(".cpp") != std::string::npos || name.find(".h") != std::string::npos)) {
                names.push_back(name);
            }
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::ifstream in(path + "/" + name, std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            std::string stored = std::string(folder) + "\\" + name;
            for (char& c : stored) {
                if (c == '/') c = '\\';
            }
            sources.emplace_back(stored, bytes);
        }
    }
    return sources;
}

enum class Mix { Sources, RandomAndEmpty, TinyFiles, TwoFolders };

void BuildMix(Mix mix, CabMethod method, CabWriteRequest* request, std::vector<std::vector<uint8_t>>* contents) {
    request->folders = {{method}};
    auto add = [&](const std::string& name, std::vector<uint8_t> bytes, uint32_t folder = 0) {
        CabWriteFile file = MakeFile(name, folder, static_cast<uint16_t>(0x20 | (contents->size() % 3 == 0)));
        file.date = static_cast<uint16_t>(file.date + contents->size() % 7);
        request->files.push_back(file);
        contents->push_back(std::move(bytes));
    };
    switch (mix) {
        case Mix::Sources: {
            auto sources = RepositorySources();
            EXPECT_GT(sources.size(), 20u);
            for (auto& source : sources) add(source.first, source.second);
            break;
        }
        case Mix::RandomAndEmpty:
            add("empty-first", {});
            add("r1", RandomBytes(1, 70000));
            add("empty-middle", {});
            add("r2", RandomBytes(2, 32768));
            add("t3", TextBytes(3, 100000));
            add("r4", RandomBytes(4, 1));
            add("empty-last", {});
            break;
        case Mix::TinyFiles:
            for (uint32_t i = 0; i < 400; ++i) add("tiny\\" + std::to_string(i), TextBytes(i, 50 + i % 300));
            break;
        case Mix::TwoFolders: {
            CabMethod stored;
            stored.kind = CabMethodKind::Stored;
            request->folders.push_back({stored});
            add("first\\a", TextBytes(5, 50000));
            add("first\\b", RandomBytes(6, 20000));
            add("second\\c", RandomBytes(7, 45000), 1);
            add("second\\d", TextBytes(8, 3000), 1);
            break;
        }
    }
}

// Quantum joins the round trips once this build has its encoder.
bool QuantumAvailable() {
    CabMethod quantum;
    quantum.kind = CabMethodKind::Quantum;
    std::string error;
    return CreateBlockCompressor(quantum, &error) != nullptr;
}

bool AcceptAll(const std::string&) { return true; }
bool AcceptEveryOther(const std::string& name) { return std::hash<std::string>()(name) % 2 == 0; }
bool AcceptNone(const std::string&) { return false; }

struct RoundTripCase {
    Mix mix;
    const char* mixName;
    std::vector<uint32_t> setSizes;  // 0: a single cabinet
};

TEST(RoundTrip, SingleCabinetsAndSetsThroughTheDecoder) {
    // Text-like mixes compress to a few KB per block, so small set sizes
    // still fit a block's parts; random data needs at least about a block.
    const RoundTripCase mixes[] = {{Mix::Sources, "sources", {0, 16000, 24000, 34000, 100000}},
                                   {Mix::RandomAndEmpty, "random and empty", {0, 34000, 40000, 100000}},
                                   {Mix::TinyFiles, "tiny files", {0, 12000, 30000, 50000}},
                                   {Mix::TwoFolders, "two folders", {0, 34000, 40000, 60000}}};
    std::vector<CabMethodKind> kinds = {CabMethodKind::Stored, CabMethodKind::Mszip};
    if (QuantumAvailable()) kinds.push_back(CabMethodKind::Quantum);
    bool (*const accepts[])(const std::string&) = {AcceptAll, AcceptEveryOther};
    SetShape total;
    int multiCabinetSets = 0;
    for (const RoundTripCase& mix : mixes) {
        for (CabMethodKind kind : kinds) {
            for (uint32_t setSize : mix.setSizes) {
                if (kind == CabMethodKind::Stored && setSize != 0 && setSize < 34000) {
                    continue;  // a stored block needs about 32 KB in two cabinets
                }
                CabMethod method;
                method.kind = kind;
                CabWriteRequest request;
                std::vector<std::vector<uint8_t>> contents;
                BuildMix(mix.mix, method, &request, &contents);
                request.maxCabinetBytes = setSize;
                WriteOutcome out = WriteToMemory(request, contents);
                const std::string label = std::string(mix.mixName) + ", " + CabMethodName(method) + ", set size " +
                                          std::to_string(setSize);
                ASSERT_EQ(out.result.status, CabWriteOk) << label << ": " << out.result.message;
                SetShape shape;
                ASSERT_TRUE(CheckSet(out.cabinets, setSize, &shape)) << label;
                multiCabinetSets += out.cabinets.size() > 1;
                total.splitBlocks += shape.splitBlocks;
                total.blockBoundaryContinues += shape.blockBoundaryContinues;
                total.filesInThreeCabinets += shape.filesInThreeCabinets;
                for (auto accept : accepts) {
                    Session session;
                    session.accept = accept;
                    ASSERT_EQ(ExtractSet(out.cabinets, &session), 0) << label;
                    for (size_t i = 0; i < request.files.size(); ++i) {
                        const CabWriteFile& file = request.files[i];
                        const bool wanted = accept(file.name);
                        auto found = session.delivered.find(file.name);
                        if (!wanted) {
                            EXPECT_TRUE(found == session.delivered.end()) << label << ": " << file.name;
                            continue;
                        }
                        ASSERT_TRUE(found != session.delivered.end()) << label << ": " << file.name << " missing";
                        EXPECT_EQ(found->second.deliveries, 1) << label << ": " << file.name;
                        EXPECT_TRUE(found->second.bytes == contents[i]) << label << ": " << file.name << " differs";
                        EXPECT_EQ(found->second.date, file.date) << label << ": " << file.name;
                        EXPECT_EQ(found->second.time, file.time) << label << ": " << file.name;
                        EXPECT_EQ(found->second.attributes, file.attributes) << label << ": " << file.name;
                    }
                }
            }
        }
    }
    // The table must reach every way a set continues.
    EXPECT_GE(multiCabinetSets, 15);
    EXPECT_GT(total.splitBlocks, 0);
    EXPECT_GT(total.filesInThreeCabinets, 0);
}

TEST(RoundTrip, MiddleCabinetFromSplitPartToBlockBoundary) {
    // Sizes chosen so that the second cabinet begins with the second part of
    // a split block and ends exactly after a whole block: the decoder must
    // count that second part among the cabinet's blocks to know when to move
    // on. Stored blocks keep the sizes exact:
    //   cabinet 0: 44 header + 8 folder + 20 entry + 32776 block + 8 + P first part
    //   cabinet 1: 52 header + 8 folder + 20 entry + 8 + (32768 - P) + 32776 block
    // (names "c0.cab", "c1.cab", ...). Both equal the limit for P = 16388.
    const uint32_t limit = 49244;
    CabWriteRequest request;
    request.cabinetName = [](uint32_t index) { return "c" + std::to_string(index) + ".cab"; };
    request.folders = {{StoredMethod()}};
    request.files = {MakeFile("big"), MakeFile("after")};
    request.maxCabinetBytes = limit;
    const std::vector<std::vector<uint8_t>> contents = {RandomBytes(60, 5 * 32768 + 100), TextBytes(61, 500)};
    WriteOutcome out = WriteToMemory(request, contents);
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    SetShape shape;
    ASSERT_TRUE(CheckSet(out.cabinets, limit, &shape));
    ASSERT_GE(shape.parsed.size(), 3u);
    const ParsedFolder& middle = shape.parsed[1].folders[0];
    EXPECT_EQ(out.cabinets[1].bytes.size(), limit);
    EXPECT_EQ(middle.blocks.front().packedSize, 32768 - 16388);  // a second part
    EXPECT_EQ(middle.blocks.back().unpackedSize, 32768);          // a whole block ends it
    EXPECT_EQ(shape.parsed[1].files[0].folderIndex, FolderPrevAndNext);
    EXPECT_GE(shape.blockBoundaryContinues, 1);
    EXPECT_GE(shape.splitBlocks, 1);

    Session session;
    session.accept = AcceptAll;
    ASSERT_EQ(ExtractSet(out.cabinets, &session), 0);
    EXPECT_TRUE(session.delivered["big"].bytes == contents[0]);
    EXPECT_TRUE(session.delivered["after"].bytes == contents[1]);
    EXPECT_EQ(session.delivered["big"].deliveries, 1);
}

// Layouts from random requests: any number of files and folders, sizes
// around the block and cabinet boundaries, both methods, reserve areas and
// declines. The writer either refuses a set size too small for a block, or
// writes a set that keeps every rule and gives back every accepted file.
TEST(RoundTrip, RandomRequests) {
    uint32_t state = 12345;
    auto next = [&state](uint32_t bound) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return bound ? state % bound : 0;
    };
    const uint32_t sizePicks[] = {0, 1, 100, 32767, 32768, 32769, 65536, 70000, 5000};
    int written = 0, refused = 0;
    for (int round = 0; round < 300; ++round) {
        CabWriteRequest request;
        std::vector<std::vector<uint8_t>> contents;
        const uint32_t folderCount = 1 + next(3);
        for (uint32_t f = 0; f < folderCount; ++f) {
            CabMethod method;
            const uint32_t pick = next(QuantumAvailable() ? 3 : 2);
            method.kind = pick == 2 ? CabMethodKind::Quantum : pick ? CabMethodKind::Mszip : CabMethodKind::Stored;
            method.quantumWindowBits = 10 + static_cast<int>(next(12));
            request.folders.push_back({method});
        }
        const uint32_t fileCount = next(12);
        uint32_t folder = 0;
        for (uint32_t i = 0; i < fileCount; ++i) {
            if (folder + 1 < folderCount && next(4) == 0) ++folder;
            const uint32_t size = next(3) ? next(3000) : sizePicks[next(9)];
            request.files.push_back(MakeFile("f" + std::to_string(i) + (next(2) ? "\\sub" : ""), folder));
            contents.push_back(next(3) ? TextBytes(state, size) : RandomBytes(state, size));
        }
        request.maxCabinetBytes = next(4) == 0 ? 0 : 1500 + next(90000);
        if (next(4) == 0) {
            request.reserve.present = true;
            request.reserve.cabinetReserve.assign(next(40), 0x11);
            request.reserve.folderReserveBytes = static_cast<uint8_t>(next(10));
            request.reserve.blockReserveBytes = static_cast<uint8_t>(next(10));
        }
        WriteOutcome out = WriteToMemory(request, contents);
        const std::string label = "round " + std::to_string(round) + ", set size " +
                                  std::to_string(request.maxCabinetBytes);
        if (out.result.status == CabWriteSetTooSmall) {
            ++refused;
            EXPECT_LT(request.maxCabinetBytes, 70000u) << label << ": " << out.result.message;
            continue;
        }
        ASSERT_EQ(out.result.status, CabWriteOk) << label << ": " << out.result.message;
        ++written;
        SetShape shape;
        ASSERT_TRUE(CheckSet(out.cabinets, request.maxCabinetBytes, &shape)) << label;
        Session session;
        session.accept = next(2) ? AcceptAll : AcceptEveryOther;
        ASSERT_EQ(ExtractSet(out.cabinets, &session), 0) << label;
        for (size_t i = 0; i < request.files.size(); ++i) {
            if (!session.accept(request.files[i].name)) continue;
            const Delivered& file = session.delivered[request.files[i].name];
            EXPECT_EQ(file.deliveries, 1) << label << ": " << request.files[i].name;
            EXPECT_TRUE(file.bytes == contents[i]) << label << ": " << request.files[i].name;
        }
    }
    EXPECT_GT(written, 200);
    EXPECT_GT(refused, 0);  // small set sizes are reached too
}

TEST(RoundTrip, DecliningEverythingReadsNoData) {
    CabWriteRequest request;
    std::vector<std::vector<uint8_t>> contents;
    BuildMix(Mix::RandomAndEmpty, MszipMethod(), &request, &contents);
    request.maxCabinetBytes = 40000;
    WriteOutcome out = WriteToMemory(request, contents);
    ASSERT_EQ(out.result.status, CabWriteOk);
    Session session;
    session.accept = AcceptNone;
    EXPECT_EQ(ExtractSet(out.cabinets, &session), 0);
    EXPECT_TRUE(session.delivered.empty());
    EXPECT_EQ(session.nextCabinetRequests, 0);
}

TEST(RoundTrip, NoticeFlagAttributeAndReserveAreas) {
    CabWriteRequest request;
    request.folders = {{MszipMethod()}};
    request.files = {MakeFile("flagged", 0, 0x41), MakeFile("plain", 0, 0x27)};
    request.reserve.present = true;
    request.reserve.cabinetReserve = {9, 8, 7, 6, 5};
    request.reserve.folderReserveBytes = 6;
    request.reserve.blockReserveBytes = 3;
    request.reserve.fillByte = 0xC3;
    request.maxCabinetBytes = 35000;
    const std::vector<std::vector<uint8_t>> contents = {RandomBytes(40, 60000), TextBytes(41, 10)};
    WriteOutcome out = WriteToMemory(request, contents);
    ASSERT_EQ(out.result.status, CabWriteOk) << out.result.message;
    ASSERT_GT(out.cabinets.size(), 1u);
    Session session;
    session.accept = AcceptAll;
    session.reserve = &request.reserve;
    ASSERT_EQ(ExtractSet(out.cabinets, &session), 0);
    EXPECT_GT(session.hookCalls, 3);
    EXPECT_EQ(session.hookProblems, 0);
    EXPECT_EQ(session.delivered["flagged"].attributes, 0x01);
    EXPECT_EQ(session.delivered["flagged"].noticeFlag, 1);
    EXPECT_EQ(session.delivered["plain"].attributes, 0x27);
    EXPECT_EQ(session.delivered["plain"].noticeFlag, 0);
    EXPECT_TRUE(session.delivered["flagged"].bytes == contents[0]);
}

TEST(RoundTrip, MissingContinuationCabinetStopsWithAbort) {
    CabWriteRequest request;
    request.folders = {{MszipMethod()}};
    request.files = {MakeFile("big")};
    request.maxCabinetBytes = 40000;
    WriteOutcome out = WriteToMemory(request, {RandomBytes(50, 100000)});
    ASSERT_EQ(out.result.status, CabWriteOk);
    ASSERT_GE(out.cabinets.size(), 3u);
    // Without the second cabinet the first cannot finish its file.
    std::vector<CabMemoryCabinet> firstOnly = {out.cabinets[0]};
    Session session;
    session.accept = AcceptAll;
    EXPECT_EQ(ExtractSet(firstOnly, &session), CabErrAborted);
    EXPECT_EQ(session.nextCabinetRequests, 2);  // offered, failed, refused
}

}  // namespace
