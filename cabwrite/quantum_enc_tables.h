// quantum_enc_tables.h: the slot tables of the Quantum format as the encoder
// uses them: which length slot and position slot codes a value, how many
// extra bits follow, and how far each kind of match reaches.
//
// Length slots code (length - 5) of a match of 5 to 259 bytes; position slots
// code (distance - 1) of every match. Both tables are running sums of
// 2^extraBits, so a value's slot is the last slot whose base is not above it.
#pragma once

#include <cstdint>

const uint32_t quantumEncLengthSlots = 27;
const uint32_t quantumEncPositionSlots = 42;
const uint32_t quantumEncMinWindowBits = 10;
const uint32_t quantumEncMaxWindowBits = 21;
const uint32_t quantumEncMinMatch = 3;
const uint32_t quantumEncMinLongMatch = 5;    // matches of 5 bytes or more carry a length slot
const uint32_t quantumEncMaxMatch = 259;      // lengthBase[26] + 5
// 3-byte matches are coded with the slots whose base lies below 4096,
// 4-byte matches with those below 262144 (each also below the window size).
const uint32_t quantumEncMatch3Limit = 4096;
const uint32_t quantumEncMatch4Limit = 262144;

extern const uint8_t quantumEncLengthExtraBits[quantumEncLengthSlots];
extern const uint8_t quantumEncPositionExtraBits[quantumEncPositionSlots];

// Base of each slot (the smallest value it codes).
uint32_t QuantumLengthBase(uint32_t slot);
uint32_t QuantumPositionBase(uint32_t slot);

// The slot that codes lengthValue = length - 5 (0 to 254).
uint32_t QuantumLengthSlotOf(uint32_t lengthValue);
// The slot that codes distanceValue = distance - 1 (0 to 2^21 - 1).
uint32_t QuantumPositionSlotOf(uint32_t distanceValue);

// The number of position slots whose base lies below limit: the symbol count
// of a position model.
uint32_t QuantumPositionSlotsBelow(uint32_t limit);

// The largest distance that a position model of slotCount slots can code:
// the last slot's base plus 2^extra (distance = base + extra + 1).
uint32_t QuantumSlotsReach(uint32_t slotCount);

// How far back each kind of match may reach in a window of 2^windowBits.
struct QuantumReach {
    uint32_t match3;  // distance limit of 3-byte matches
    uint32_t match4;  // of 4-byte matches
    uint32_t window;  // of longer matches: the window size
};
QuantumReach QuantumReachFor(uint32_t windowBits);
