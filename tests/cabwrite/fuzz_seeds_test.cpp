// fuzz_seeds_test.cpp: the fuzz seeds are valid cabinets of the shapes that
// their names promise, so the fuzzers start from inputs that reach deep.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cabdecode.h"
#include "fuzz_seed_set.h"
#include "memory_cab_io.h"
#include "set_checks.h"

namespace {

struct SeedSession {
    int delivered = 0;
    std::string nextName;
};

int32_t SeedNotify(int32_t type, CabNotice* notice) {
    SeedSession* session = static_cast<SeedSession*>(notice->user);
    if (type == NoticeOpenOutput) return OpenMemoryOutput(notice->text1);
    if (type == NoticeCloseOutput) {
        ++session->delivered;
        return MemoryCabIo().close(notice->handle) == 0 ? 1 : 0;
    }
    if (type == NoticeNextCabinet) {
        if (notice->error != 0 || session->nextName.empty()) return -1;
        std::strcpy(notice->text1, session->nextName.c_str());
        return 0;
    }
    return 0;
}

// Extracts name from the memory table; returns the decoder's code, 0 for success.
int Extract(const std::string& name, SeedSession* session) {
    CabError error = {};
    CabIo io = MemoryCabIo();
    CabDecoder* decoder = CabDecoderCreate(io.alloc, io.free, io.open, io.read, io.write, io.close, io.seek, &error);
    const int ok = CabDecoderExtract(decoder, name.c_str(), "", SeedNotify, nullptr, session);
    CabDecoderDestroy(decoder);
    return ok ? 0 : error.code;
}

TEST(FuzzSeeds, BaseSetEndsWithASplitBlock) {
    const std::vector<CabMemoryCabinet>& set = FuzzBaseSet();
    SetShape shape;
    ASSERT_TRUE(CheckSet(set, 2400, &shape));
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(shape.splitBlocks, 1);
    ResetMemoryFiles();
    AddMemoryFile(set[0].name, set[0].bytes);
    AddMemoryFile(set[1].name, set[1].bytes);
    SeedSession session;
    session.nextName = set[1].name;
    EXPECT_EQ(Extract(set[0].name, &session), 0);
    EXPECT_EQ(Extract(set[1].name, &session), 0);
    EXPECT_EQ(session.delivered, 3);
}

TEST(FuzzSeeds, CabinetSeedsExtract) {
    const std::vector<FuzzSeed> seeds = CabinetSeeds();
    EXPECT_GE(seeds.size(), 8u);
    for (const FuzzSeed& seed : seeds) {
        EXPECT_LE(seed.bytes.size(), 8192u) << seed.name;  // seeds stay small
        if (seed.name.find("quantum-word") != std::string::npos) continue;  // stored bytes under a Quantum word
        // Cut where the fuzz target cuts: at the second "MSCF".
        size_t cut = seed.bytes.size();
        for (size_t i = 4; i + 4 <= seed.bytes.size(); ++i) {
            if (std::memcmp(seed.bytes.data() + i, "MSCF", 4) == 0) {
                cut = i;
                break;
            }
        }
        ResetMemoryFiles();
        AddMemoryFile("first.cab", std::vector<uint8_t>(seed.bytes.begin(), seed.bytes.begin() + cut));
        AddMemoryFile("second.cab", std::vector<uint8_t>(seed.bytes.begin() + cut, seed.bytes.end()));
        SeedSession session;
        session.nextName = "second.cab";
        EXPECT_EQ(Extract("first.cab", &session), 0) << seed.name;
        EXPECT_GT(session.delivered, 0) << seed.name;
    }
}

}  // namespace
