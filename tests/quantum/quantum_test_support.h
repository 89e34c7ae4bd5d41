// quantum_test_support.h: creating a Quantum context on the test callbacks
// and decoding reference streams through it.
#pragma once

#include <cstdint>
#include <vector>

#include "quantum.h"
#include "quantum_reference.h"

// A context for the duration of a test, destroyed at the end of the scope.
struct QuantumSession {
    QuantumContext* handle = nullptr;
    int status = QuantumOk;
    uint32_t maxBlockSize = 32768;
    uint32_t inputBufferSize = 0;

    explicit QuantumSession(int windowBits, uint32_t requestedMaxBlock = 32768);
    ~QuantumSession();
    QuantumSession(const QuantumSession&) = delete;
    QuantumSession& operator=(const QuantumSession&) = delete;

    // Destroys the context now; returns QuantumDestroy's status.
    int Destroy();
    // Decodes one block into output (resized to outputSize, a sentinel
    // pattern where nothing is written). Returns the status.
    int Block(const std::vector<uint8_t>& input, uint32_t outputSize, std::vector<uint8_t>& output);
    // Decodes every block of the stream, appending to output; returns the
    // first status other than QuantumOk (decoding stops there), else QuantumOk.
    int Stream(const RefStream& stream, std::vector<uint8_t>& output);
};

// Makes the allocation of a window of 2^windowBits bytes fail, so that the
// paged store takes its place.
void ForcePaging(uint32_t windowBits);

const uint8_t outputSentinel = 0xEE;
