// Damaged cabinets: bytes of a representative set (reserve areas, a split
// block, a stored and an MSZIP-free layout) are changed at random, with a
// fixed seed, and both cabinets extracted. Whatever the damage, each
// extraction must end (the recorder gives up on next-cabinet requests), leave
// a code from the table or succeed, and leave no block or handle behind. Run
// under the sanitizer build this also checks every access of the decoder.
#include <gtest/gtest.h>

#include <random>

#include "cabinet_set.h"
#include "decoder_fixture.h"

namespace {

TEST(MutationTest, DamagedSetsEndCleanly) {
    CabinetSet set = MakeCabinetSet(true);
    const Bytes one = BuildCabinet(set.one), two = BuildCabinet(set.two);
    std::mt19937 random(20261211);
    int succeeded = 0;
    for (int round = 0; round < 3000; round++) {
        MemoryIo io;
        Bytes damagedOne = one, damagedTwo = two;
        Bytes& target = round % 2 ? damagedOne : damagedTwo;
        int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; i++) {
            // Most changes hit the header and entry area, where the fields are.
            size_t limit = random() % 4 ? std::min<size_t>(target.size(), 140) : target.size();
            size_t at = random() % limit;
            target[at] = random() % 3 ? uint8_t(random()) : uint8_t(target[at] ^ (1u << (random() % 8)));
        }
        if (random() % 8 == 0) target.resize(random() % target.size());
        io.files["one.cab"] = damagedOne;
        io.files["two.cab"] = damagedTwo;

        for (const char* name : {"one.cab", "two.cab"}) {
            CabError error = {0, 0, 0};
            CabDecoder* decoder = io.CreateDecoder(&error);
            ASSERT_NE(decoder, nullptr);
            NoticeRecorder recorder(io);
            recorder.maxNextCabinet = 3;
            int result = recorder.Extract(decoder, name);
            if (result == 0) {
                EXPECT_EQ(error.failed, 1) << round << " " << name;
                EXPECT_GE(error.code, CabErrOpen) << round << " " << name;
                EXPECT_LE(error.code, CabErrAborted) << round << " " << name;
            } else {
                succeeded++;
            }
            EXPECT_EQ(CabDecoderDestroy(decoder), 1);
            EXPECT_EQ(io.LiveBlocks(), 0u) << round << " " << name;
            EXPECT_EQ(io.OpenHandles(), 0u) << round << " " << name;
            ASSERT_TRUE(io.Misuse().empty()) << round << " " << name << ": " << io.Misuse().front();
        }
    }
    // Damage to bytes the walk never reads (reserved header fields, the
    // cabinet size, blocks of declined folders) leaves extractions that succeed.
    EXPECT_GT(succeeded, 0);
}

}  // namespace
