// Tests of CabChecksum, CabDecoderProbe and the decoder's creation.
#include <gtest/gtest.h>

#include "decoder_fixture.h"

namespace {

struct ChecksumCase {
    const char* label;
    Bytes data;
    uint32_t seed;
    uint32_t expected;
};

TEST(CabChecksumTest, KnownValues) {
    const ChecksumCase cases[] = {
        {"three bytes, first most significant", {'a', 'b', 'c'}, 0, 0x00616263},
        {"one group, little-endian", {'a', 'b', 'c', 'd'}, 0, 0x64636261},
        {"one group and one byte", {'a', 'b', 'c', 'd', 'e'}, 0, 0x64636204},
        {"two bytes", {0x12, 0x34}, 0, 0x00001234},
        {"one byte", {0x7F}, 0, 0x0000007F},
        {"nothing keeps the seed", {}, 0xDEADBEEF, 0xDEADBEEF},
        {"seed is XORed in", {'a', 'b', 'c', 'd'}, 0xFFFFFFFF, 0x64636261 ^ 0xFFFFFFFF},
        {"two groups cancel", {1, 2, 3, 4, 1, 2, 3, 4}, 0, 0},
    };
    for (const ChecksumCase& c : cases)
        EXPECT_EQ(CabChecksum(c.data.data(), uint32_t(c.data.size()), c.seed), c.expected) << c.label;
}

// The builder's independent reference and the decoder agree for every tail
// length and for a header tail that carries reserve bytes.
TEST(CabChecksumTest, AgreesWithBlockChecksumOfBuilder) {
    for (size_t n = 0; n < 13; n++) {
        Bytes stored = PatternBytes(n, uint32_t(n));
        Bytes reserve = PatternBytes(n % 4, 99);
        uint32_t c = CabChecksum(stored.data(), uint32_t(n), 0);
        Bytes tail = {uint8_t(n), 0, uint8_t(n), 0};
        tail.insert(tail.end(), reserve.begin(), reserve.end());
        c = CabChecksum(tail.data(), uint32_t(tail.size()), c);
        EXPECT_EQ(c, BlockChecksumOf(stored, uint16_t(n), uint16_t(n), reserve)) << n;
    }
}

class ProbeTest : public DecoderTest {
protected:
    // Probes the named file from offset start; returns the probe's result and
    // the position the handle stands at afterwards.
    int Probe(const std::string& name, int32_t start, CabInfo* info, int32_t* after) {
        int32_t handle = MemoryIo::Open(name.c_str(), cabCabinetOpenFlags, cabCabinetOpenMode);
        EXPECT_NE(handle, -1);
        EXPECT_EQ(MemoryIo::Seek(handle, start, 0), start);
        int result = CabDecoderProbe(decoder, handle, info);
        *after = MemoryIo::Seek(handle, 0, 1);
        MemoryIo::Close(handle);
        return result;
    }
};

TEST_F(ProbeTest, ReportsTheHeader) {
    CabinetSpec spec = OneFolderCabinet({{"a.txt", PatternBytes(10, 1)}, {"b.txt", PatternBytes(5, 2)}});
    spec.setId = 0xBEEF;
    spec.cabinetIndex = 3;
    spec.hasNext = true;
    spec.nextCabinet = "next.cab";
    spec.hasPrevious = true;
    spec.hasReserve = true;
    spec.cabinetReserve = Bytes(6, 1);
    Bytes cabinet = BuildCabinet(spec);
    // The probe reads wherever the handle stands: put the cabinet behind 10 bytes.
    Bytes file(10, 0xEE);
    file.insert(file.end(), cabinet.begin(), cabinet.end());
    io.files["x.bin"] = file;

    CabInfo info = {};
    int32_t after = 0;
    EXPECT_EQ(Probe("x.bin", 10, &info, &after), 1);
    EXPECT_EQ(after, 46);
    EXPECT_EQ(info.cabinetSize, int32_t(cabinet.size()));
    EXPECT_EQ(info.folderCount, 1);
    EXPECT_EQ(info.fileCount, 2);
    EXPECT_EQ(info.setId, 0xBEEF);
    EXPECT_EQ(info.cabinetIndex, 3);
    EXPECT_EQ(info.hasReserve, 1);
    EXPECT_EQ(info.hasPrevious, 1);
    EXPECT_EQ(info.hasNext, 2);
    EXPECT_EQ(error.failed, 0);
}

TEST_F(ProbeTest, FlagsAbsent) {
    io.files["x.cab"] = BuildCabinet(OneFolderCabinet({}));
    CabInfo info = {};
    int32_t after = 0;
    EXPECT_EQ(Probe("x.cab", 0, &info, &after), 1);
    EXPECT_EQ(info.hasReserve, 0);
    EXPECT_EQ(info.hasPrevious, 0);
    EXPECT_EQ(info.hasNext, 0);
}

TEST_F(ProbeTest, NotACabinetLeavesTheErrorAlone) {
    Bytes good = BuildCabinet(OneFolderCabinet({}));
    Bytes wrongSignature = good;
    wrongSignature[3] = 'G';
    struct Case {
        const char* label;
        Bytes bytes;
    } cases[] = {
        {"35 bytes", Bytes(good.begin(), good.begin() + 35)},
        {"empty", {}},
        {"another signature", wrongSignature},
    };
    for (const Case& c : cases) {
        io.files["x"] = c.bytes;
        error = {77, 78, 0};
        CabInfo info = {};
        int32_t after = 0;
        EXPECT_EQ(Probe("x", 0, &info, &after), 0) << c.label;
        EXPECT_EQ(error.code, 77) << c.label;
        EXPECT_EQ(error.detail, 78) << c.label;
        EXPECT_EQ(error.failed, 0) << c.label;
    }
}

TEST_F(ProbeTest, WrongVersionIsCode3WithTheWord) {
    CabinetSpec spec = OneFolderCabinet({});
    spec.versionWord = 0x0102;
    io.files["x.cab"] = BuildCabinet(spec);
    CabInfo info = {};
    int32_t after = 0;
    EXPECT_EQ(Probe("x.cab", 0, &info, &after), 0);
    EXPECT_EQ(error.code, CabErrVersion);
    EXPECT_EQ(error.detail, 0x0102);
    EXPECT_EQ(error.failed, 1);
}

TEST_F(DecoderTest, CreateThenDestroyOpensNothing) {
    CabDecoder* other = io.CreateDecoder(&error);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(CabDecoderDestroy(other), 1);
    EXPECT_EQ(io.Calls(IoCall::Open), 0u);
    EXPECT_EQ(io.Calls(IoCall::Read), 0u);
    EXPECT_EQ(error.failed, 0);
}

TEST(DecoderCreateTest, FailedAllocIsCode5AndLeavesNothing) {
    MemoryIo io;
    io.FailAt(IoCall::Alloc, 1);
    CabError error = {0, 9, 0};
    EXPECT_EQ(io.CreateDecoder(&error), nullptr);
    EXPECT_EQ(error.code, CabErrMemory);
    EXPECT_EQ(error.detail, 0);
    EXPECT_EQ(error.failed, 1);
    EXPECT_EQ(io.LiveBlocks(), 0u);
}

}  // namespace
