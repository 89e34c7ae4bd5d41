// quantum_block.h: decoding of one Quantum data block.
#pragma once

#include <cstdint>

#include "quantum_state.h"

// Starts the bit reader at input (inputSize bytes) and loads the first 16
// bits into code, with low 0 and high 0xFFFF. Sets inputExhausted when the
// block holds fewer than two bytes.
void PrimeCoder(const uint8_t* input, uint32_t inputSize);

// Decodes one block into output, outputSize bytes (at most
// quantumMaxBlockBytes), through the window operations of quantumState.
// Returns true when exactly outputSize bytes were produced from within the
// block's input. Never reads past input + inputSize nor writes past
// output + outputSize. Fails at once, decoding nothing, while storeFailed is set.
bool DecodeBlock(const uint8_t* input, uint32_t inputSize, uint8_t* output, uint32_t outputSize);
