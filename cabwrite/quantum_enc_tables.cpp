// quantum_enc_tables.cpp: slot tables and slot lookup of the Quantum encoder.
#include "quantum_enc_tables.h"

#include <cassert>

// Length slots 0-25 come in groups of four with 0, 0, 1, 2, 3, 4, 5 extra
// bits (the first group eight wide); slot 26 alone means 259.
const uint8_t quantumEncLengthExtraBits[quantumEncLengthSlots] = {
    0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0,
};

// Position slots: 0 extra bits for slots 0-3, then slot / 2 - 1.
const uint8_t quantumEncPositionExtraBits[quantumEncPositionSlots] = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9,
    9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19,
};

namespace {

struct SlotBases {
    uint32_t length[quantumEncLengthSlots];
    uint32_t position[quantumEncPositionSlots];
    uint8_t lengthSlotOf[quantumEncMaxMatch - quantumEncMinLongMatch + 1];

    SlotBases() {
        uint32_t base = 0;
        for (uint32_t slot = 0; slot < quantumEncLengthSlots; slot++) {
            length[slot] = base;
            base += 1u << quantumEncLengthExtraBits[slot];
        }
        base = 0;
        for (uint32_t slot = 0; slot < quantumEncPositionSlots; slot++) {
            position[slot] = base;
            base += 1u << quantumEncPositionExtraBits[slot];
        }
        uint32_t slot = 0;
        for (uint32_t value = 0; value < sizeof lengthSlotOf; value++) {
            while (slot + 1 < quantumEncLengthSlots && length[slot + 1] <= value) slot++;
            lengthSlotOf[value] = static_cast<uint8_t>(slot);
        }
    }
};

const SlotBases& Bases() {
    static const SlotBases bases;
    return bases;
}

uint32_t FloorLog2(uint32_t value) {
    uint32_t log = 0;
    while (value >>= 1) log++;
    return log;
}

}  // namespace

uint32_t QuantumLengthBase(uint32_t slot) { return Bases().length[slot]; }
uint32_t QuantumPositionBase(uint32_t slot) { return Bases().position[slot]; }

uint32_t QuantumLengthSlotOf(uint32_t lengthValue) {
    assert(lengthValue <= quantumEncMaxMatch - quantumEncMinLongMatch);
    return Bases().lengthSlotOf[lengthValue];
}

uint32_t QuantumPositionSlotOf(uint32_t distanceValue) {
    // Slots pair up per power of two from 2 on: value 2^k..2^k + 2^(k-1) - 1
    // is slot 2k, the upper half of the octave slot 2k + 1.
    if (distanceValue < 2) return distanceValue;
    const uint32_t log = FloorLog2(distanceValue);
    return 2 * log + ((distanceValue >> (log - 1)) & 1);
}

uint32_t QuantumPositionSlotsBelow(uint32_t limit) {
    uint32_t slots = 0;
    while (slots < quantumEncPositionSlots && Bases().position[slots] < limit) slots++;
    return slots;
}

uint32_t QuantumSlotsReach(uint32_t slotCount) {
    assert(slotCount >= 1 && slotCount <= quantumEncPositionSlots);
    const uint32_t last = slotCount - 1;
    return Bases().position[last] + (1u << quantumEncPositionExtraBits[last]);
}

QuantumReach QuantumReachFor(uint32_t windowBits) {
    const uint32_t windowSize = 1u << windowBits;
    auto reachBelow = [windowSize](uint32_t limit) {
        const uint32_t slots = QuantumPositionSlotsBelow(windowSize < limit ? windowSize : limit);
        return QuantumSlotsReach(slots);
    };
    QuantumReach reach;
    reach.match3 = reachBelow(quantumEncMatch3Limit);
    reach.match4 = reachBelow(quantumEncMatch4Limit);
    reach.window = reachBelow(windowSize);
    return reach;
}
