// quantum_block.cpp: the item loop of a Quantum block.
//
// Each item starts with a selector symbol: 0-3 a literal from literal model
// 0-3, 4 and 5 a match of 3 and 4 bytes, 6 a longer match whose length slot
// and extra bits follow. A match then gives its position slot and extra bits.
// Raw extra bits and the coder's renormalisation bits come from the one bit
// reader, interleaved as they are consumed. The models and the window carry
// over from block to block; the coder restarts at every block, and an item
// never spans two blocks.
#include "quantum_block.h"

#include "quantum_bits.h"
#include "quantum_models.h"

void PrimeCoder(const uint8_t* input, uint32_t inputSize) {
    QuantumState& state = quantumState;
    state.inputCursor = input;
    state.inputLeft = inputSize;
    state.bitBuffer = 0;
    state.bitsLeft = 0;  // a block always starts at its first byte
    uint32_t code = 0;
    for (int bit = 0; bit < 16; bit++) code = (code << 1) | ReadBit(state);
    state.code = static_cast<uint16_t>(code);
    state.low = 0;
    state.high = 0xFFFF;
}

bool DecodeBlock(const uint8_t* input, uint32_t inputSize, uint8_t* output, uint32_t outputSize) {
    QuantumState& state = quantumState;
    if (state.storeFailed) return false;
    state.outputLeft = static_cast<uint16_t>(outputSize);
    state.outputCursor = output;
    state.matchOverrun = 0;
    state.inputExhausted = 0;
    PrimeCoder(input, inputSize);

    void (*putLiteral)(uint8_t) = state.windowOps->putLiteral;
    void (*copyMatch)(uint16_t, uint32_t) = state.windowOps->copyMatch;
    while (state.outputLeft > 0 && !state.inputExhausted) {
        uint32_t selector = DecodeSymbol(state.selectorModel);
        if (selector < static_cast<uint32_t>(quantumLiteralModels)) {
            uint32_t symbol = DecodeSymbol(state.literalModels[selector]);
            putLiteral(static_cast<uint8_t>(symbol + 64 * selector));
            continue;
        }
        uint32_t length;
        uint32_t slot;
        if (selector == 4) {
            length = 3;
            slot = DecodeSymbol(state.posModel3);
        } else if (selector == 5) {
            length = 4;
            slot = DecodeSymbol(state.posModel4);
        } else {
            uint32_t lengthSlot = DecodeSymbol(state.lengthModel);
            length = state.lengthBase[lengthSlot] + ReadRawBits(state, quantumLengthExtraBits[lengthSlot]) +
                     quantumMinLongMatch;
            slot = DecodeSymbol(state.posModel5);
        }
        uint32_t distance = state.positionBase[slot] + ReadRawBits(state, quantumPositionExtraBits[slot]) + 1;
        copyMatch(static_cast<uint16_t>(length), distance);
    }
    return !state.inputExhausted && !state.matchOverrun && !state.storeFailed;
}
