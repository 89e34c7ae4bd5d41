// quantum_window.cpp: the Quantum window held in one block of memory.
//
// The write position is windowPos & windowMask; both the write position and a
// match source go back to the start of the window after its last byte. A
// match copies byte by byte, so a distance shorter than the length repeats
// the bytes just produced, and distance equal to the window size copies the
// bytes of exactly one window earlier. Distances are not checked against the
// bytes produced so far: the window is zeroed when it is allocated, so an
// early reach-back reads zeros, never stale memory.
#include "quantum_window.h"

static void MemoryPutLiteral(uint8_t byte) {
    QuantumState& state = quantumState;
    state.outputLeft--;
    *state.outputCursor++ = byte;
    state.windowBuffer[state.windowPos & state.windowMask] = byte;
    state.windowPos++;
}

static void MemoryCopyMatch(uint16_t length, uint32_t distance) {
    QuantumState& state = quantumState;
    if (state.outputLeft < length) {
        state.matchOverrun = 1;
        state.outputLeft = 0;
        return;
    }
    state.outputLeft = static_cast<uint16_t>(state.outputLeft - length);
    uint32_t mask = state.windowMask;
    uint32_t source = (state.windowPos - distance) & mask;
    uint32_t target = state.windowPos & mask;
    state.windowPos += length;
    uint8_t* window = state.windowBuffer;
    uint8_t* output = state.outputCursor;
    state.outputCursor = output + length;

    if (source + length <= state.windowSize && target + length <= state.windowSize) {
        // Neither side wraps. Reading from[i] after to[i - distance] was
        // written keeps the byte-by-byte meaning of overlapping copies.
        const uint8_t* from = window + source;
        uint8_t* to = window + target;
        for (uint32_t i = 0; i < length; i++) {
            uint8_t byte = from[i];
            to[i] = byte;
            output[i] = byte;
        }
        return;
    }
    for (uint32_t i = 0; i < length; i++) {
        uint8_t byte = window[source];
        window[target] = byte;
        output[i] = byte;
        source = (source + 1) & mask;
        target = (target + 1) & mask;
    }
}

const QuantumWindowOps quantumMemoryWindow = {MemoryPutLiteral, MemoryCopyMatch};
