// quantum_roundtrip_test.cpp: folders from the Quantum encoder decoded by the
// Quantum decompressor's API, with the in-memory window and the paged store.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qenc_support.h"
#include "quantum_models_enc.h"

namespace {

// Every window size and every kind of data, in several blocks: the models
// and the window carry across blocks, and small windows wrap many times.
TEST(QuantumRoundTrip, EveryWindowSizeAndKindOfData) {
    const QencData kinds[] = {QencData::Random, QencData::Text, QencData::Binary};
    for (uint32_t bits = 10; bits <= 21; bits++) {
        for (QencData kind : kinds) {
            const std::string label = std::string(QencDataName(kind)) + ", window bits " + std::to_string(bits);
            const Bytes data = QencMake(kind, bits, 150000);
            QencResetHost();
            std::vector<QencFolder> folders = {QencEncode(bits, data)};
            ASSERT_EQ(folders[0].blocks.size(), 5u) << label;
            std::vector<Bytes> outputs;
            ASSERT_EQ(QencDecode(bits, folders, &outputs), QuantumOk) << label;
            ASSERT_EQ(outputs.size(), 1u);
            EXPECT_TRUE(outputs[0] == data) << label;
            EXPECT_EQ(qencHeap.liveBlocks, 0) << label;
            EXPECT_EQ(qencScratch.opens, 0) << label;  // the window was allocated whole
        }
    }
}

// Block sizes other than 32768 (the writer's last block of a folder is
// shorter; tiny blocks put many flushes and block ends close together), and
// data whose models rebuild many times: long random runs rescale the literal
// models again and again, so the exchange sort's order is exercised.
TEST(QuantumRoundTrip, BlockSizesAndLongRuns) {
    struct Case {
        const char* name;
        Bytes data;
        uint32_t blockBytes;
    };
    Bytes mixed = QencText(3, 200000);
    const Bytes noise = QencRandom(4, 100000);
    mixed.insert(mixed.begin() + 70000, noise.begin(), noise.end());
    const Case cases[] = {
        {"one byte", {0x42}, 32768},
        {"two bytes", {0x00, 0xFF}, 32768},
        {"a run of one byte", Bytes(100000, 0x61), 32768},
        {"text in blocks of 1", QencText(1, 300), 1},
        {"text in blocks of 7", QencText(2, 5000), 7},
        {"text in blocks of 1000", QencText(5, 60000), 1000},
        {"random, 400 KB", QencRandom(6, 400000), 32768},
        {"text around noise", mixed, 32768},
        {"binary in blocks of 32767", QencBinary(7, 200000), 32767},
    };
    for (const Case& c : cases) {
        for (uint32_t bits : {10u, 16u, 21u}) {
            const std::string label = std::string(c.name) + ", window bits " + std::to_string(bits);
            QencResetHost();
            std::vector<QencFolder> folders = {QencEncode(bits, c.data, c.blockBytes)};
            std::vector<Bytes> outputs;
            ASSERT_EQ(QencDecode(bits, folders, &outputs), QuantumOk) << label;
            EXPECT_TRUE(outputs[0] == c.data) << label;
        }
    }
}

// Several folders through one context: each folder's compressor starts
// fresh, and the decoder is reset between them. The second folder repeats
// the first one's data, so a compressor that kept the first folder's window
// or models would code matches that reach into bytes the reset decoder does
// not hold for this folder, and the round trip would fail.
TEST(QuantumRoundTrip, SeveralFoldersWithResets) {
    for (uint32_t bits : {10u, 15u, 21u}) {
        const Bytes text = QencText(20 + bits, 90000);
        const std::vector<Bytes> datas = {text, text, QencRandom(30, 40000), QencBinary(31, 70000), Bytes(5, 7)};
        std::vector<QencFolder> folders;
        for (const Bytes& data : datas) folders.push_back(QencEncode(bits, data));
        // The repeated folder codes exactly as the first: nothing carried over.
        EXPECT_TRUE(folders[0].blocks == folders[1].blocks);
        QencResetHost();
        std::vector<Bytes> outputs;
        ASSERT_EQ(QencDecode(bits, folders, &outputs), QuantumOk) << "window bits " << bits;
        ASSERT_EQ(outputs.size(), datas.size());
        for (size_t i = 0; i < datas.size(); i++) {
            EXPECT_TRUE(outputs[i] == datas[i]) << "window bits " << bits << ", folder " << i;
        }
    }
}

// The window's allocation is refused, so the decoder pages its window
// through the scratch file (in memory here); the output is the same. Small
// windows page within 3 buffers; 16 KB has 4 pages, 2 MB 512.
TEST(QuantumRoundTrip, PagedWindowStoreGivesTheSameOutput) {
    const QencData kinds[] = {QencData::Text, QencData::Binary, QencData::Random};
    for (uint32_t bits : {10u, 12u, 13u, 14u, 16u, 18u, 21u}) {
        for (QencData kind : kinds) {
            const std::string label = std::string(QencDataName(kind)) + ", window bits " + std::to_string(bits);
            // Two folders: the store is reset between them.
            const std::vector<Bytes> datas = {QencMake(kind, bits, 3 * 32768 + 500), QencMake(kind, bits + 50, 70000)};
            std::vector<QencFolder> folders;
            for (const Bytes& data : datas) folders.push_back(QencEncode(bits, data));
            QencResetHost();
            qencHeap.failSize = 1u << bits;
            std::vector<Bytes> outputs;
            ASSERT_EQ(QencDecode(bits, folders, &outputs), QuantumOk) << label;
            EXPECT_EQ(qencHeap.refusals, 1) << label;
            EXPECT_EQ(qencScratch.opens, 1) << label;
            EXPECT_FALSE(qencScratch.open) << label;
            EXPECT_EQ(qencHeap.liveBlocks, 0) << label;
            for (size_t i = 0; i < datas.size(); i++) EXPECT_TRUE(outputs[i] == datas[i]) << label << ", folder " << i;
        }
    }
}

// A window larger than the page buffers that the heap grants: pages are
// evicted to the scratch file and read back for far matches.
TEST(QuantumRoundTrip, PagedStoreEvictsAndReadsBack) {
    const uint32_t bits = 17;  // 32 pages
    // Text whose first 60000 bytes come again 120000 bytes later.
    Bytes data = QencText(77, 120000);
    const Bytes head(data.begin(), data.begin() + 60000);
    data.insert(data.end(), head.begin(), head.end());
    std::vector<QencFolder> folders = {QencEncode(bits, data)};
    bool farMatch = false;
    for (const QuantumItem& item : folders[0].items) farMatch |= item.length != 0 && item.distance > 100000;
    ASSERT_TRUE(farMatch);
    QencResetHost();
    qencHeap.failSize = 1u << bits;
    qencPageBufferLimit = 5;
    std::vector<Bytes> outputs;
    ASSERT_EQ(QencDecode(bits, folders, &outputs), QuantumOk);
    EXPECT_EQ(qencHeap.pageBuffersGiven, 5);
    EXPECT_TRUE(outputs[0] == data);
    EXPECT_GT(qencScratch.writes, 0);
    EXPECT_GT(qencScratch.reads, 0);
}

// The costliest input for the literal models: every byte is the one that
// the encoder's selector and literal models, fed with the bytes so far,
// price highest (ties broken by a fixed random draw). A block of it is the
// nearest this test gets to the worst case of a block's size; it must still
// fit the decoder's input buffer of 32768 + 10240 bytes.
TEST(QuantumRoundTrip, CostliestLiteralsStillFitTheInputBuffer) {
    QuantumEncModels models;
    ResetEncModels(models, 21);
    const Bytes ties = QencRandom(8, 12 * 32768);
    Bytes data(ties.size());
    for (size_t i = 0; i < data.size(); i++) {
        uint32_t costliest = 0;
        uint32_t highest = 0;
        for (uint32_t byte = 0; byte < 256; byte++) {
            const uint32_t cost = EncModelCost(models.selector, byte >> 6) + EncModelCost(models.literal[byte >> 6], byte & 63);
            const uint32_t ranked = cost * 256 + static_cast<uint8_t>(byte ^ ties[i]);
            if (ranked > highest) {
                highest = ranked;
                costliest = byte;
            }
        }
        data[i] = static_cast<uint8_t>(costliest);
        UpdateEncModel(models.selector, costliest >> 6);
        UpdateEncModel(models.literal[costliest >> 6], costliest & 63);
    }
    QuantumCompressor compressor(21);
    std::vector<QencFolder> folders = {QencEncode(21, data)};
    size_t largest = 0;
    for (const Bytes& block : folders[0].blocks) largest = block.size() > largest ? block.size() : largest;
    EXPECT_GT(largest, 32768u);  // it does code worse than stored
    EXPECT_LE(largest, compressor.MaxStoredBytes());
    EXPECT_EQ(compressor.MaxStoredBytes(), 32768u + 10240u);
    QencResetHost();
    std::vector<Bytes> outputs;
    ASSERT_EQ(QencDecode(21, folders, &outputs), QuantumOk);
    EXPECT_TRUE(outputs[0] == data);
}

}  // namespace
