// quantum_models.h: the adaptive frequency models of the Quantum decoder and
// the arithmetic decoding of one symbol.
#pragma once

#include <cstdint>

#include "quantum_state.h"

// Extra bits that refine each length slot and each position slot.
extern const uint8_t quantumLengthExtraBits[quantumLengthSlots];
extern const uint8_t quantumPositionExtraBits[quantumPositionSlots];

// Computes the base tables of quantumState from the extra-bit tables, sizes the
// three position models for windowBits (10 to 21) and puts all nine models in
// their initial state: every symbol frequency 1, ascending order, countdown 4.
void InitModels(int32_t windowBits);

// The number of position slots whose base lies below limit.
int32_t PositionSlotsBelow(uint32_t limit);

// Decodes one symbol of model with the coder registers of quantumState,
// renormalises (reading bits through the bit reader) and updates the model.
// Requires quantumState.low <= code <= high, which decoding preserves; the
// symbol search stops at the terminating entry whatever the registers hold.
uint32_t DecodeSymbol(AdaptiveModel& model);

// Halves the model's frequencies, or every quantumRebuildInterval-th time
// (the first after quantumFirstRebuild rescales) rebuilds it: frequencies
// halved rounded up and re-sorted, most frequent first.
void RescaleModel(AdaptiveModel& model);
