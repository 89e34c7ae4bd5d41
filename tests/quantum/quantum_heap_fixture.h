// quantum_heap_fixture.h: the base of the Quantum test fixtures. It starts
// every test with fresh test I/O and ends it by checking that the test heap
// holds no more live blocks than before and saw no bad free.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>

#include "quantum_test_io.h"

class QuantumHeapTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ResetTestIo();
        liveBefore = testHeap.live.size();
    }
    void TearDown() override {
        EXPECT_EQ(testHeap.live.size(), liveBefore) << "allocations leaked";
        EXPECT_EQ(testHeap.badFrees, 0);
    }
    size_t liveBefore = 0;
};
