// quantum_roundtrip_test.cpp: folders from the Quantum encoder decoded by the
// Quantum decompressor's API, with the in-memory window and the paged store.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "qenc_support.h"

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

}  // namespace
