// Models and arithmetic decoder of the Quantum decompressor, followed value by
// value through the process state.
#include <gtest/gtest.h>

#include <vector>

#include "quantum_block.h"
#include "quantum_models.h"
#include "quantum_reference.h"
#include "quantum_state.h"
#include "quantum_test_io.h"
#include "quantum_test_support.h"

namespace {

std::vector<uint32_t> CumFreqs(const AdaptiveModel& model) {
    std::vector<uint32_t> values;
    for (int32_t i = 0; i <= model.symbolCount; i++) values.push_back(model.entries[i].cumFreq);
    return values;
}

std::vector<uint32_t> Symbols(const AdaptiveModel& model) {
    std::vector<uint32_t> values;
    for (int32_t i = 0; i < model.symbolCount; i++) values.push_back(model.entries[i].symbol);
    return values;
}

// Cumulative frequencies of a reference model, terminating 0 included.
std::vector<uint32_t> CumFreqs(const RefModel& model) {
    std::vector<uint32_t> values;
    for (size_t i = 0; i <= model.freqs.size(); i++) values.push_back(model.CumFrom(i));
    return values;
}

TEST(QuantumModels, WorkedExampleValueByValue) {
    InitModels(10);
    const uint8_t input[] = {0x90, 0x00, 0xA5, 0x5A};
    PrimeCoder(input, sizeof(input));
    QuantumState& state = quantumState;
    EXPECT_EQ(state.code, 0x9000);
    EXPECT_EQ(state.low, 0x0000);
    EXPECT_EQ(state.high, 0xFFFF);

    // Fresh selector: cumFreq 7..0, range 65536, target 3: symbol 3. Narrowed
    // to 0x6DB6..0x9248; two underflow shifts leave 0x36D8..0xC923, code
    // 0xC002, and consume the first two bits of A5.
    EXPECT_EQ(DecodeSymbol(state.selectorModel), 3u);
    EXPECT_EQ(state.low, 0x36D8);
    EXPECT_EQ(state.high, 0xC923);
    EXPECT_EQ(state.code, 0xC002);
    EXPECT_EQ(state.inputLeft, 1u);
    EXPECT_EQ(state.bitsLeft, 6u);
    EXPECT_EQ(CumFreqs(state.selectorModel), (std::vector<uint32_t>{15, 14, 13, 12, 3, 2, 1, 0}));
    EXPECT_FALSE(state.inputExhausted);

    // Literal model 3 then yields its symbol 3: the byte 3 + 64 * 3 = 195.
    EXPECT_EQ(DecodeSymbol(state.literalModels[3]), 3u);
    EXPECT_EQ(state.literalModels[3].entries[0].cumFreq, 64u + 8u);
    EXPECT_EQ(state.literalModels[3].entries[3].cumFreq, 61u + 8u);
    EXPECT_EQ(state.literalModels[3].entries[4].cumFreq, 60u);
}

TEST(QuantumModels, WorkedExampleThroughTheInterface) {
    ResetTestIo();
    QuantumSession session(10);
    ASSERT_EQ(session.status, QuantumOk);
    std::vector<uint8_t> output;
    EXPECT_EQ(session.Block({0x90, 0x00, 0xA5, 0x5A}, 1, output), QuantumOk);
    EXPECT_EQ(output, (std::vector<uint8_t>{195}));
}

TEST(QuantumModels, InitialState) {
    InitModels(16);
    const AdaptiveModel* models[] = {&quantumState.selectorModel, &quantumState.literalModels[0],
                                     &quantumState.literalModels[3], &quantumState.lengthModel,
                                     &quantumState.posModel3,       &quantumState.posModel4,
                                     &quantumState.posModel5};
    for (const AdaptiveModel* model : models) {
        EXPECT_EQ(model->rebuildCountdown, 4);
        for (int32_t i = 0; i <= model->symbolCount; i++) {
            EXPECT_EQ(model->entries[i].cumFreq, static_cast<uint32_t>(model->symbolCount - i));
            EXPECT_EQ(model->entries[i].symbol, static_cast<uint32_t>(i));
        }
    }
    EXPECT_EQ(quantumState.selectorModel.symbolCount, 7);
    EXPECT_EQ(quantumState.literalModels[2].symbolCount, 64);
    EXPECT_EQ(quantumState.lengthModel.symbolCount, 27);
}

TEST(QuantumModels, BaseTables) {
    InitModels(21);
    const uint32_t lengthBase[27] = {0,  1,  2,  3,  4,  5,  6,   8,   10,  12,  14,  18,  22, 26,
                                     30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
    for (int slot = 0; slot < 27; slot++) EXPECT_EQ(quantumState.lengthBase[slot], lengthBase[slot]) << slot;
    const uint32_t positionBase[42] = {0,      1,      2,      3,      4,       6,       8,      12,     16,
                                       24,     32,     48,     64,     96,      128,     192,    256,    384,
                                       512,    768,    1024,   1536,   2048,    3072,    4096,   6144,   8192,
                                       12288,  16384,  24576,  32768,  49152,   65536,   98304,  131072, 196608,
                                       262144, 393216, 524288, 786432, 1048576, 1572864};
    for (int slot = 0; slot < 42; slot++) EXPECT_EQ(quantumState.positionBase[slot], positionBase[slot]) << slot;
    // The largest distance is 2^21: the last base plus its 19 extra bits plus 1.
    EXPECT_EQ(quantumState.positionBase[41] + (1u << quantumPositionExtraBits[41]), 1u << 21);
}

TEST(QuantumModels, PositionSlotCountsPerWindow) {
    struct Case {
        int32_t windowBits;
        int32_t pos3, pos4, pos5;
    } cases[] = {
        {10, 20, 20, 20}, {11, 22, 22, 22}, {12, 24, 24, 24}, {13, 24, 26, 26},
        {14, 24, 28, 28}, {15, 24, 30, 30}, {16, 24, 32, 32}, {17, 24, 34, 34},
        {18, 24, 36, 36}, {19, 24, 36, 38}, {20, 24, 36, 40}, {21, 24, 36, 42},
    };
    for (const Case& c : cases) {
        InitModels(c.windowBits);
        EXPECT_EQ(quantumState.posModel3.symbolCount, c.pos3) << c.windowBits;
        EXPECT_EQ(quantumState.posModel4.symbolCount, c.pos4) << c.windowBits;
        EXPECT_EQ(quantumState.posModel5.symbolCount, c.pos5) << c.windowBits;
    }
}

// A model of the given symbols (in order) and own frequencies.
AdaptiveModel MakeModel(const std::vector<uint32_t>& symbols, const std::vector<uint32_t>& freqs, int countdown) {
    AdaptiveModel model{};
    model.symbolCount = static_cast<int32_t>(symbols.size());
    model.rebuildCountdown = countdown;
    uint32_t cum = 0;
    model.entries[symbols.size()] = {0, static_cast<uint32_t>(symbols.size())};
    for (size_t i = symbols.size(); i-- > 0;) {
        cum += freqs[i];
        model.entries[i] = {cum, symbols[i]};
    }
    return model;
}

TEST(QuantumModels, RescaleCases) {
    const uint32_t a = 'a', b = 'b', c = 'c', d = 'd';
    struct Case {
        const char* name;
        std::vector<uint32_t> symbols;
        std::vector<uint32_t> freqs;
        int countdown;
        std::vector<uint32_t> wantSymbols;
        std::vector<uint32_t> wantCum;
        int wantCountdown;
    } cases[] = {
        // Own frequencies 2, 1, 4 halve (rounded up) to 1, 1, 2; the exchange
        // sort moves c to the front by swapping it with a, leaving b, a.
        {"rebuild a b c", {a, b, c}, {2, 1, 4}, 1, {c, b, a}, {4, 2, 1, 0}, 50},
        // Halving of cumulative values 10, 9, 3: 5, 4, 1.
        {"halve", {a, b, c}, {1, 6, 3}, 3, {a, b, c}, {5, 4, 1, 0}, 2},
        // Halving 3, 2, 1 would give 1, 1, 0: each is lifted to one above
        // its successor.
        {"halve keeps every symbol", {a, b, c}, {1, 1, 1}, 2, {a, b, c}, {3, 2, 1, 0}, 1},
        // Equal frequencies keep their places; strictly greater ones move.
        // Halved 1, 2, 2, 3: a stable sort would give d b c a; the exchange
        // sort gives d c b a.
        {"rebuild is not stable", {a, b, c, d}, {1, 3, 3, 5}, 1, {d, c, b, a}, {8, 5, 3, 1, 0}, 50},
    };
    for (const Case& t : cases) {
        AdaptiveModel model = MakeModel(t.symbols, t.freqs, t.countdown);
        RescaleModel(model);
        EXPECT_EQ(Symbols(model), t.wantSymbols) << t.name;
        EXPECT_EQ(CumFreqs(model), t.wantCum) << t.name;
        EXPECT_EQ(model.rebuildCountdown, t.wantCountdown) << t.name;

        RefModel ref(static_cast<int>(t.symbols.size()));
        ref.symbols = t.symbols;
        ref.freqs = t.freqs;
        ref.rebuildCountdown = t.countdown;
        ref.Rescale();
        EXPECT_EQ(ref.symbols, t.wantSymbols) << "reference " << t.name;
        EXPECT_EQ(CumFreqs(ref), t.wantCum) << "reference " << t.name;
    }
}

// Literals only, one item per block, so that after every block the
// decoder's models can be compared with the reference encoder's: rescales
// (the first when a total passes 3800) and rebuilds (the 4th rescale, then
// every 50th) must happen at the same symbol and leave the same order.
TEST(QuantumModels, ModelsTrackTheReferenceThroughRescalesAndRebuilds) {
    ResetTestIo();
    QuantumSession session(12);
    ASSERT_EQ(session.status, QuantumOk);
    RefQuantumEncoder encoder(12);
    uint32_t seed = 12345;
    int rebuildsSeen = 0;
    int previousCountdown = 4;
    std::vector<uint8_t> output;
    for (int item = 0; item < 16000; item++) {
        seed = seed * 1103515245 + 12345;
        // Mostly a few bytes of literal model 1, so that its totals climb.
        uint8_t byte = (seed >> 16) % 16 != 0 ? static_cast<uint8_t>(64 + (seed >> 20) % 5)
                                              : static_cast<uint8_t>((seed >> 12) % 256);
        encoder.Literal(byte);
        std::vector<uint8_t> block = encoder.EndBlock();
        ASSERT_EQ(session.Block(block, 1, output), QuantumOk) << item;
        ASSERT_EQ(output[0], byte) << item;
        const AdaptiveModel& model = quantumState.literalModels[1];
        RefModel& ref = encoder.model(RefLiteral0 + 1);
        ASSERT_EQ(CumFreqs(model), CumFreqs(ref)) << item;
        ASSERT_EQ(Symbols(model), ref.symbols) << item;
        ASSERT_LE(model.entries[0].cumFreq, 3800u);
        if (model.rebuildCountdown == 50 && previousCountdown != 50) rebuildsSeen++;
        previousCountdown = model.rebuildCountdown;
        ASSERT_EQ(CumFreqs(quantumState.selectorModel), CumFreqs(encoder.model(RefSelector))) << item;
    }
    EXPECT_GE(rebuildsSeen, 2);
}

TEST(QuantumModels, FirstRescaleWhenTotalPassesThreshold) {
    InitModels(10);
    AdaptiveModel& model = quantumState.selectorModel;
    // Decoding with code at the top of the interval always picks entry 0;
    // each decode adds 8 to the total, from 7.
    const uint8_t ones[] = {0xFF, 0xFF};
    int decodes = 0;
    while (model.rebuildCountdown == 4) {
        PrimeCoder(ones, sizeof(ones));
        uint32_t totalBefore = model.entries[0].cumFreq;
        DecodeSymbol(model);
        decodes++;
        if (model.rebuildCountdown == 4) {
            ASSERT_LE(totalBefore + 8, 3800u);
        }
        ASSERT_LT(decodes, 1000);
    }
    // 7 + 8 * 474 = 3799, 7 + 8 * 475 = 3807: the 475th decode rescales.
    EXPECT_EQ(decodes, 475);
    EXPECT_EQ(model.rebuildCountdown, 3);
}

}  // namespace
