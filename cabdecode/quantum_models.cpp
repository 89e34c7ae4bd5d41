// quantum_models.cpp: the nine adaptive models and the 16-bit arithmetic
// decoder that reads symbols from them.
//
// A model keeps cumulative frequencies in its own order of symbols; decoding
// adds quantumFrequencyStep to the decoded entry and every entry before it,
// and a total above quantumRescaleTotal is rescaled. The exact arithmetic of
// rescale and rebuild, including the order the exchange sort leaves among
// equal frequencies, is part of the format: any other order decodes a
// different stream.
#include "quantum_models.h"

#include "quantum_bits.h"

// Length slots 0-25 come in groups of four with 0, 0, 1, 2, 3, 4, 5 extra
// bits (the first group eight wide); slot 26 alone means 259.
const uint8_t quantumLengthExtraBits[quantumLengthSlots] = {
    0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0,
};

// Position slots: 0 for slots 0-3, then slot / 2 - 1.
const uint8_t quantumPositionExtraBits[quantumPositionSlots] = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9,
    9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19,
};

int32_t PositionSlotsBelow(uint32_t limit) {
    // The bases are computed here again so the answer does not depend on
    // InitModels having run.
    uint32_t base = 0;
    int32_t slot = 0;
    while (slot < quantumPositionSlots && base < limit) {
        base += 1u << quantumPositionExtraBits[slot];
        slot++;
    }
    return slot;
}

static void ResetModel(AdaptiveModel& model, int32_t symbolCount) {
    model.symbolCount = symbolCount;
    model.rebuildCountdown = quantumFirstRebuild;
    for (int32_t i = 0; i <= symbolCount; i++) {
        model.entries[i].cumFreq = static_cast<uint32_t>(symbolCount - i);
        model.entries[i].symbol = static_cast<uint32_t>(i);
    }
}

void InitModels(int32_t windowBits) {
    QuantumState& state = quantumState;
    uint32_t base = 0;
    for (int32_t slot = 0; slot < quantumLengthSlots; slot++) {
        state.lengthBase[slot] = base;
        base += 1u << quantumLengthExtraBits[slot];
    }
    base = 0;
    for (int32_t slot = 0; slot < quantumPositionSlots; slot++) {
        state.positionBase[slot] = base;
        base += 1u << quantumPositionExtraBits[slot];
    }

    uint32_t windowSize = 1u << windowBits;
    ResetModel(state.selectorModel, quantumSelectorSymbols);
    for (AdaptiveModel& model : state.literalModels) ResetModel(model, quantumMaxSymbols);
    ResetModel(state.lengthModel, quantumLengthSlots);
    ResetModel(state.posModel3, PositionSlotsBelow(windowSize < quantumMatch3Reach ? windowSize : quantumMatch3Reach));
    ResetModel(state.posModel4, PositionSlotsBelow(windowSize < quantumMatch4Reach ? windowSize : quantumMatch4Reach));
    ResetModel(state.posModel5, PositionSlotsBelow(windowSize));
}

void RescaleModel(AdaptiveModel& model) {
    QuantumModelEntry* entries = model.entries;
    int32_t n = model.symbolCount;
    model.rebuildCountdown--;
    if (model.rebuildCountdown != 0) {
        // Halve the cumulative values, keeping them strictly falling so that
        // no symbol's frequency drops to 0.
        for (int32_t i = n - 1; i >= 0; i--) {
            entries[i].cumFreq >>= 1;
            if (entries[i].cumFreq <= entries[i + 1].cumFreq) entries[i].cumFreq = entries[i + 1].cumFreq + 1;
        }
        return;
    }

    model.rebuildCountdown = quantumRebuildInterval;
    // Own frequencies, halved and rounded up. Going upwards leaves entry i + 1
    // still cumulative when entry i is converted.
    for (int32_t i = 0; i < n; i++) {
        entries[i].cumFreq = (entries[i].cumFreq - entries[i + 1].cumFreq + 1) >> 1;
    }
    // The exchange sort (not stable) whose order among equal frequencies the
    // format depends on: a later entry moves forward only when strictly more
    // frequent than the entry at i.
    for (int32_t i = 0; i + 1 < n; i++) {
        for (int32_t j = i + 1; j < n; j++) {
            if (entries[j].cumFreq > entries[i].cumFreq) {
                QuantumModelEntry swapped = entries[i];
                entries[i] = entries[j];
                entries[j] = swapped;
            }
        }
    }
    for (int32_t i = n - 1; i >= 0; i--) entries[i].cumFreq += entries[i + 1].cumFreq;
}

uint32_t DecodeSymbol(AdaptiveModel& model) {
    QuantumState& state = quantumState;
    QuantumModelEntry* entries = model.entries;
    uint32_t low = state.low;
    uint32_t high = state.high;
    uint32_t code = state.code;
    uint32_t total = entries[0].cumFreq;
    // The differences are taken in 16 bits, so range is 1 to 65536 and no
    // division by zero or overflow can happen whatever the registers hold.
    uint32_t range = ((high - low) & 0xFFFF) + 1;
    uint32_t target = ((((code - low) & 0xFFFF) + 1) * total - 1) / range;

    // Find the first entry whose successor's cumFreq is not above target,
    // adding the frequency step to every entry passed on the way (the update
    // adds it to the decoded entry and all before it). The search never goes
    // past the last symbol, whatever target is.
    QuantumModelEntry* entry = entries;
    QuantumModelEntry* lastEntry = entries + model.symbolCount - 1;
    while (entry < lastEntry && entry[1].cumFreq > target) {
        entry->cumFreq += quantumFrequencyStep;
        entry++;
    }
    uint32_t upper = entry->cumFreq;
    uint32_t lower = entry[1].cumFreq;
    entry->cumFreq = upper + quantumFrequencyStep;
    uint32_t symbol = entry->symbol;

    // Narrow, both new bounds from the old low.
    high = low + (upper * range) / total - 1;
    low = low + (lower * range) / total;

    // Renormalise. The bit reader's byte state is kept in locals; the
    // registers are cut to 16 bits on every shift.
    uint32_t bitBuffer = state.bitBuffer;
    uint32_t bitsLeft = state.bitsLeft;
    for (;;) {
        if ((low ^ high) & 0x8000) {
            // Top bits differ: shift only when the interval straddles the
            // middle closely (low 01..., high 10...).
            if ((low & 0x4000) == 0 || (high & 0x4000) != 0) break;
            low &= 0x3FFF;
            high |= 0x4000;
            code ^= 0x4000;
        }
        uint32_t bit;
        if (bitsLeft > 0) {
            bitsLeft--;
            bit = (bitBuffer >> bitsLeft) & 1;
        } else {
            state.bitBuffer = bitBuffer;
            state.bitsLeft = 0;
            bit = ReadBit(state);
            bitBuffer = state.bitBuffer;
            bitsLeft = state.bitsLeft;
        }
        low = (low << 1) & 0xFFFF;
        high = ((high << 1) | 1) & 0xFFFF;
        code = ((code << 1) | bit) & 0xFFFF;
    }
    state.bitBuffer = bitBuffer;
    state.bitsLeft = bitsLeft;
    state.low = static_cast<uint16_t>(low);
    state.high = static_cast<uint16_t>(high);
    state.code = static_cast<uint16_t>(code);

    if (entries[0].cumFreq > quantumRescaleTotal) RescaleModel(model);
    return symbol;
}
