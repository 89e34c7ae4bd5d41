// quantum_items_test.cpp: what the encoder chooses to code. A match that the
// decoder would misread (a 3-byte match beyond the reach of its position
// model, an item across a block's end) may still round-trip by luck in
// other tests, so the items are checked here directly.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qenc_support.h"
#include "quantum_enc_tables.h"
#include "quantum_models_enc.h"

namespace {

// Checks every item of folder against the rules for 2^windowBits, replays
// the items into bytes and compares them with data.
void CheckItems(const QencFolder& folder, uint32_t windowBits, const Bytes& data, const std::string& label) {
    const uint32_t windowSize = 1u << windowBits;
    const uint32_t reach3 = windowSize < 4096 ? windowSize : 4096;
    const uint32_t reach4 = windowSize < 262144 ? windowSize : 262144;
    Bytes replay;
    size_t item = 0;
    for (size_t block = 0; block < folder.sizes.size(); block++) {
        const size_t blockStart = replay.size();
        for (; item < folder.itemEnds[block]; item++) {
            const QuantumItem& it = folder.items[item];
            if (it.length == 0) {
                replay.push_back(it.literal);
                continue;
            }
            ASSERT_GE(it.length, 3u) << label;
            ASSERT_LE(it.length, 259u) << label;
            ASSERT_GE(it.distance, 1u) << label;
            ASSERT_LE(it.distance, replay.size()) << label << ": reaches before the folder";
            if (it.length == 3) {
                ASSERT_LE(it.distance, reach3) << label << ": 3-byte match, item " << item;
            }
            if (it.length == 4) {
                ASSERT_LE(it.distance, reach4) << label << ": 4-byte match, item " << item;
            }
            ASSERT_LE(it.distance, windowSize) << label << ": item " << item;
            for (uint32_t i = 0; i < it.length; i++) replay.push_back(replay[replay.size() - it.distance]);
        }
        ASSERT_EQ(replay.size() - blockStart, folder.sizes[block]) << label << ": items cross block " << block;
    }
    EXPECT_TRUE(replay == data) << label;
}

struct MatchCounts {
    size_t length3 = 0, length4 = 0, longer = 0, far3 = 0, far4 = 0;
};

MatchCounts CountMatches(const QencFolder& folder) {
    MatchCounts counts;
    for (const QuantumItem& it : folder.items) {
        if (it.length == 3) {
            counts.length3++;
            counts.far3 += it.distance > 1024;
        } else if (it.length == 4) {
            counts.length4++;
            counts.far4 += it.distance > 4096;
        } else if (it.length >= 5) {
            counts.longer++;
        }
    }
    return counts;
}

TEST(QuantumItems, EveryMatchWithinTheReachOfItsKind) {
    const QencData kinds[] = {QencData::Text, QencData::Binary, QencData::Random};
    MatchCounts total;
    for (uint32_t bits = 10; bits <= 21; bits++) {
        for (QencData kind : kinds) {
            const std::string label = std::string(QencDataName(kind)) + ", window bits " + std::to_string(bits);
            const Bytes data = QencMake(kind, 100 + bits, 120000);
            const QencFolder folder = QencEncode(bits, data);
            CheckItems(folder, bits, data, label);
            const MatchCounts counts = CountMatches(folder);
            total.length3 += counts.length3;
            total.length4 += counts.length4;
            total.longer += counts.longer;
            total.far3 += counts.far3;
            total.far4 += counts.far4;
        }
    }
    // The checks above bit: every kind of match was coded, also far ones.
    EXPECT_GT(total.length3, 100u);
    EXPECT_GT(total.length4, 100u);
    EXPECT_GT(total.longer, 1000u);
    EXPECT_GT(total.far3, 0u);
    EXPECT_GT(total.far4, 0u);
}

// Random data with planted repeats: 4-byte repeats 200000 and 300000 bytes
// back, 3-byte repeats 200 and 5000 bytes back. With a 2 MB window only the
// nearer ones of each pair can be coded as short matches (4-byte matches
// reach 262144 bytes, 3-byte matches 4096); with a 256 KB window the
// 300000-byte repeats are out of the window altogether. (The near 3-byte
// repeats are close enough that a match costs less than three random
// literals.)
TEST(QuantumItems, ShortRepeatsBeyondReachAreNotCodedAsMatches) {
    Bytes data = QencRandom(9, 700000);
    auto plant = [&data](size_t from, size_t to, size_t step, size_t distance, size_t length) {
        for (size_t at = from; at + length <= to; at += step) {
            for (size_t i = 0; i < length; i++) data[at + i] = data[at + i - distance];
        }
    };
    plant(300000, 400000, 97, 200000, 4);
    plant(420000, 500000, 89, 200, 3);
    plant(520000, 590000, 83, 5000, 3);
    plant(600000, 690000, 79, 300000, 4);
    for (uint32_t bits : {21u, 18u}) {
        const std::string label = "window bits " + std::to_string(bits);
        const QencFolder folder = QencEncode(bits, data);
        CheckItems(folder, bits, data, label);
        size_t near4 = 0, near3 = 0;
        for (const QuantumItem& it : folder.items) {
            near4 += it.length == 4 && it.distance == 200000;
            near3 += it.length == 3 && it.distance == 200;
        }
        // The planted repeats within reach are found and taken.
        EXPECT_GT(near4, 100u) << label;
        EXPECT_GT(near3, 100u) << label;
        std::vector<QencFolder> folders = {folder};
        std::vector<Bytes> outputs;
        QencResetHost();
        ASSERT_EQ(QencDecode(bits, folders, &outputs), QuantumOk) << label;
        EXPECT_TRUE(outputs[0] == data) << label;
    }
}

TEST(QuantumItems, MatchesStopAtTheBlockEnd) {
    // One long run across many blocks of odd sizes: every block would like
    // to continue its last match into the next.
    const Bytes data(40000, 0x33);
    for (uint32_t blockBytes : {5u, 259u, 260u, 1000u, 32768u}) {
        const QencFolder folder = QencEncode(16, data, blockBytes);
        CheckItems(folder, 16, data, "blocks of " + std::to_string(blockBytes));
    }
}

TEST(QuantumEncoderTables, SlotsOfEveryValue) {
    // Position slots against a plain search of the bases.
    uint32_t slot = 0;
    for (uint32_t value = 0; value < (1u << 21); value++) {
        while (slot + 1 < quantumEncPositionSlots && QuantumPositionBase(slot + 1) <= value) slot++;
        ASSERT_EQ(QuantumPositionSlotOf(value), slot) << "distance " << value + 1;
        ASSERT_LT(value - QuantumPositionBase(slot), 1u << quantumEncPositionExtraBits[slot]);
    }
    slot = 0;
    for (uint32_t value = 0; value <= 254; value++) {
        while (slot + 1 < quantumEncLengthSlots && QuantumLengthBase(slot + 1) <= value) slot++;
        ASSERT_EQ(QuantumLengthSlotOf(value), slot) << "length " << value + 5;
    }
    EXPECT_EQ(QuantumLengthSlotOf(254), 26u);  // 259 alone in the last slot
    EXPECT_EQ(QuantumLengthBase(26), 254u);
    EXPECT_EQ(QuantumPositionBase(41), 1572864u);
}

TEST(QuantumEncoderTables, ModelSizesAndReachPerWindow) {
    struct Case {
        uint32_t bits, slots3, slots4, slots5, reach3, reach4;
    };
    const Case cases[] = {
        {10, 20, 20, 20, 1024, 1024},     {11, 22, 22, 22, 2048, 2048},     {12, 24, 24, 24, 4096, 4096},
        {13, 24, 26, 26, 4096, 8192},     {17, 24, 34, 34, 4096, 131072},   {18, 24, 36, 36, 4096, 262144},
        {19, 24, 36, 38, 4096, 262144},   {21, 24, 36, 42, 4096, 262144},
    };
    for (const Case& c : cases) {
        QuantumEncModels models;
        ResetEncModels(models, c.bits);
        EXPECT_EQ(models.position3.symbolCount, c.slots3) << c.bits;
        EXPECT_EQ(models.position4.symbolCount, c.slots4) << c.bits;
        EXPECT_EQ(models.position5.symbolCount, c.slots5) << c.bits;
        const QuantumReach reach = QuantumReachFor(c.bits);
        EXPECT_EQ(reach.match3, c.reach3) << c.bits;
        EXPECT_EQ(reach.match4, c.reach4) << c.bits;
        EXPECT_EQ(reach.window, 1u << c.bits) << c.bits;
    }
}

TEST(QuantumEncoderModels, RebuildKeepsTheExchangeSortOrder) {
    // Symbols a, b, c with own frequencies 2, 2, 4: halved and rounded up
    // 1, 1, 2. The exchange sort ends c, b, a (a stable sort: c, a, b).
    QuantumEncModel model;
    ResetEncModel(model, 3);
    model.cumFreq[0] = 8;
    model.cumFreq[1] = 6;
    model.cumFreq[2] = 4;
    model.rebuildCountdown = 1;
    RescaleEncModel(model);
    EXPECT_EQ(model.symbolAt[0], 2);
    EXPECT_EQ(model.symbolAt[1], 1);
    EXPECT_EQ(model.symbolAt[2], 0);
    for (uint32_t place = 0; place < 3; place++) EXPECT_EQ(model.placeOf[model.symbolAt[place]], place);
    EXPECT_EQ(model.cumFreq[0], 4u);
    EXPECT_EQ(model.cumFreq[1], 2u);
    EXPECT_EQ(model.cumFreq[2], 1u);
    EXPECT_EQ(model.cumFreq[3], 0u);
    EXPECT_EQ(model.rebuildCountdown, 50);
}

TEST(QuantumEncoderModels, RescaleComesAbove3800AndRebuildsAtTheFourth) {
    QuantumEncModel model;
    ResetEncModel(model, 7);
    int rescales = 0;
    uint32_t lastTotal = model.cumFreq[0];
    for (int i = 0; i < 2000; i++) {
        UpdateEncModel(model, static_cast<uint32_t>(6 - i % 3));  // symbols 6, 5, 4 only
        ASSERT_LE(model.cumFreq[0], 3800u);
        if (model.cumFreq[0] < lastTotal) rescales++;
        lastTotal = model.cumFreq[0];
        if (rescales == 3) {
            EXPECT_EQ(model.symbolAt[0], 0);  // halving keeps the order
        }
    }
    EXPECT_GE(rescales, 4);
    // After the rebuild the frequent symbols lead.
    EXPECT_GE(model.symbolAt[0], 4);
    EXPECT_GE(model.symbolAt[1], 4);
    EXPECT_GE(model.symbolAt[2], 4);
}

}  // namespace
