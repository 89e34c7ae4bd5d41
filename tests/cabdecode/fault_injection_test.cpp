// Fault injection: a representative extraction (two cabinets, a split block,
// reserve areas) is run with the k-th call of one kind failing, for every k
// until the extraction no longer meets the fault. Each run must end with the
// code that belongs to the failing call, or succeed with the right bytes; no
// block may leak and no handle stay open. After a failure the same decoder
// must extract the set correctly.
#include <gtest/gtest.h>

#include <ostream>
#include <set>

#include "cabinet_set.h"
#include "decoder_fixture.h"

namespace {

struct FaultCase {
    IoCall call;
    std::set<int32_t> codes;  // the codes a failure of this call may leave
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << IoCallName(c.call); }

class FaultInjectionTest : public ::testing::TestWithParam<FaultCase> {};

// The outputs of a complete extraction of one.cab.
void ExpectCompleteOutputs(const NoticeRecorder& recorder, const CabinetSet& set, const std::string& label) {
    ASSERT_TRUE(recorder.HasOutput("f1")) << label;
    ASSERT_TRUE(recorder.HasOutput("f2")) << label;
    EXPECT_EQ(recorder.Output("f1"), set.Slice(0, 100)) << label;
    EXPECT_EQ(recorder.Output("f2"), set.Slice(550, 1000)) << label;
}

TEST_P(FaultInjectionTest, EveryCallOfAKindMayFail) {
    const FaultCase& c = GetParam();
    const CabinetSet set = MakeCabinetSet(true);
    uint32_t failures = 0;
    uint32_t k = 1;
    for (;; k++) {
        const std::string label = std::string(IoCallName(c.call)) + " #" + std::to_string(k);
        MemoryIo io;
        set.Install(io);
        io.FailAt(c.call, k);
        CabError error = {0, 0, 0};
        CabDecoder* decoder = io.CreateDecoder(&error);
        if (decoder == nullptr) {
            EXPECT_EQ(error.code, CabErrMemory) << label;
            EXPECT_EQ(io.LiveBlocks(), 0u) << label;
            failures++;
            continue;
        }
        NoticeRecorder recorder(io);
        int result = recorder.Extract(decoder, "one.cab");
        bool reached = io.Calls(c.call) >= k;
        if (result == 1) {
            ExpectCompleteOutputs(recorder, set, label);
        } else {
            failures++;
            EXPECT_TRUE(reached) << label << ": failed without meeting the fault, code " << error.code;
            EXPECT_EQ(error.failed, 1) << label;
            EXPECT_TRUE(c.codes.count(error.code)) << label << ": code " << error.code;
            EXPECT_EQ(io.OpenHandles(), 0u) << label;

            // The same decoder, without faults from here on.
            io.FailAt(c.call, 0);
            NoticeRecorder again(io);
            EXPECT_EQ(again.Extract(decoder, "one.cab"), 1) << label << " then again: code " << error.code;
            ExpectCompleteOutputs(again, set, label + " then again");
        }
        EXPECT_EQ(CabDecoderDestroy(decoder), 1);
        EXPECT_EQ(io.LiveBlocks(), 0u) << label;
        EXPECT_EQ(io.OpenHandles(), 0u) << label;
        EXPECT_TRUE(io.Misuse().empty()) << label << ": " << io.Misuse().front();
        if (!reached) break;  // the extraction made fewer than k such calls: every call has failed once
    }
    EXPECT_GT(k, 2u) << "the extraction made hardly any " << IoCallName(c.call) << " call";
    EXPECT_GT(failures, 0u);
}

// Where a failure is retried (opening the next cabinet), the extraction may
// also succeed. Reads of the header and reserve area give 2, other reads 4.
INSTANTIATE_TEST_SUITE_P(Calls, FaultInjectionTest,
                         ::testing::Values(FaultCase{IoCall::Alloc, {CabErrMemory}},
                                           FaultCase{IoCall::Open, {CabErrOpen}},
                                           FaultCase{IoCall::Read, {CabErrNotCabinet, CabErrCorrupt}},
                                           FaultCase{IoCall::Write, {CabErrWrite}},
                                           FaultCase{IoCall::Seek, {CabErrCorrupt}},
                                           FaultCase{IoCall::Close, {CabErrCorrupt}}),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(IoCallName(info.param.call));
                         });

}  // namespace
