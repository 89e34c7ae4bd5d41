// quantum_bits.h: the bit reader of the Quantum decoder, the only way input
// is consumed. Bytes are read in order, each most significant bit first.
// Past the end of the block every bit reads as 0 and inputExhausted is set,
// so nothing is ever read beyond the block's input.
#pragma once

#include <cstdint>

#include "quantum_state.h"

// Returns the next bit of the block, or 0 (setting inputExhausted) past its end.
inline uint32_t ReadBit(QuantumState& state) {
    if (state.bitsLeft > 0) {
        state.bitsLeft--;
        return (state.bitBuffer >> state.bitsLeft) & 1;
    }
    if (state.inputLeft > 0) {
        state.bitBuffer = *state.inputCursor++;
        state.inputLeft--;
        state.bitsLeft = 7;
        return state.bitBuffer >> 7;
    }
    state.inputExhausted = 1;
    return 0;
}

// Returns bitCount raw bits (0 to 19), the first read most significant.
inline uint32_t ReadRawBits(QuantumState& state, uint32_t bitCount) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < bitCount; i++) value = (value << 1) | ReadBit(state);
    return value;
}
