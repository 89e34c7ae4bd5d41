// quantum_test_support.cpp
#include "quantum_test_support.h"

#include "quantum_test_io.h"

QuantumSession::QuantumSession(int windowBits, uint32_t requestedMaxBlock) : maxBlockSize(requestedMaxBlock) {
    QuantumConfig config{windowBits};
    status = QuantumCreate(&maxBlockSize, &config, TestAlloc, TestFree, &inputBufferSize, &handle, TestOpen,
                           TestRead, TestWrite, TestClose, TestSeek);
}

QuantumSession::~QuantumSession() { Destroy(); }

int QuantumSession::Destroy() {
    if (!handle) return QuantumOk;
    int result = QuantumDestroy(handle);
    handle = nullptr;
    return result;
}

int QuantumSession::Block(const std::vector<uint8_t>& input, uint32_t outputSize, std::vector<uint8_t>& output) {
    output.assign(outputSize, outputSentinel);
    // An exactly sized copy of the input, so that any read past its end is
    // seen by the address sanitizer.
    std::vector<uint8_t> exactInput(input);
    return QuantumDecompress(handle, exactInput.empty() ? nullptr : exactInput.data(),
                             static_cast<uint32_t>(exactInput.size()), output.empty() ? nullptr : output.data(),
                             &outputSize);
}

int QuantumSession::Stream(const RefStream& stream, std::vector<uint8_t>& output) {
    std::vector<uint8_t> block;
    for (size_t i = 0; i < stream.blocks.size(); i++) {
        int result = Block(stream.blocks[i], stream.blockSizes[i], block);
        output.insert(output.end(), block.begin(), block.end());
        if (result != QuantumOk) return result;
    }
    return QuantumOk;
}

void ForcePaging(uint32_t windowBits) {
    testHeap.failSize = 1u << windowBits;
}
