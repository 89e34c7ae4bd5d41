// quantum_models_enc.cpp: updates, rescales and rebuilds of the encoder's
// Quantum models, and the cost table.
#include "quantum_models_enc.h"

#include <cmath>

#include "quantum_enc_tables.h"

static_assert(quantumEncRescaleTotal + quantumEncFrequencyStep < quantumCostTableSize,
              "every total a model can reach has a cost entry");

namespace {

struct Log2Table {
    uint16_t cost[quantumCostTableSize];
    Log2Table() {
        cost[0] = 0;
        for (uint32_t value = 1; value < quantumCostTableSize; value++) {
            cost[value] = static_cast<uint16_t>(std::lround(std::log2(static_cast<double>(value)) * quantumCostOne));
        }
    }
};

const Log2Table log2Table;

}  // namespace

const uint16_t* const quantumLog2Cost = log2Table.cost;

void ResetEncModel(QuantumEncModel& model, uint32_t symbolCount) {
    model.symbolCount = symbolCount;
    model.rebuildCountdown = quantumEncFirstRebuild;
    for (uint32_t place = 0; place <= symbolCount; place++) model.cumFreq[place] = symbolCount - place;
    for (uint32_t symbol = 0; symbol < symbolCount; symbol++) {
        model.symbolAt[symbol] = static_cast<uint8_t>(symbol);
        model.placeOf[symbol] = static_cast<uint8_t>(symbol);
    }
}

void UpdateEncModel(QuantumEncModel& model, uint32_t symbol) {
    const uint32_t place = model.placeOf[symbol];
    for (uint32_t i = 0; i <= place; i++) model.cumFreq[i] += quantumEncFrequencyStep;
    if (model.cumFreq[0] > quantumEncRescaleTotal) RescaleEncModel(model);
}

void RescaleEncModel(QuantumEncModel& model) {
    const uint32_t n = model.symbolCount;
    uint32_t* cum = model.cumFreq;
    model.rebuildCountdown--;
    if (model.rebuildCountdown != 0) {
        // Halve the cumulative values from the end, keeping them strictly
        // falling so that no frequency becomes 0.
        for (uint32_t i = n; i-- > 0;) {
            cum[i] >>= 1;
            if (cum[i] <= cum[i + 1]) cum[i] = cum[i + 1] + 1;
        }
        return;
    }

    model.rebuildCountdown = quantumEncRebuildInterval;
    // Own frequencies halved, rounded up; going upwards leaves place i + 1
    // still cumulative when place i is converted.
    for (uint32_t i = 0; i < n; i++) cum[i] = (cum[i] - cum[i + 1] + 1) >> 1;
    // The decoder's exchange sort, not stable: a later place moves forward
    // only when strictly more frequent than the one at i, and the two places
    // swap whole. A stable sort would order equal frequencies differently.
    for (uint32_t i = 0; i + 1 < n; i++) {
        for (uint32_t j = i + 1; j < n; j++) {
            if (cum[j] > cum[i]) {
                const uint32_t frequency = cum[i];
                cum[i] = cum[j];
                cum[j] = frequency;
                const uint8_t symbol = model.symbolAt[i];
                model.symbolAt[i] = model.symbolAt[j];
                model.symbolAt[j] = symbol;
            }
        }
    }
    for (uint32_t i = n; i-- > 0;) cum[i] += cum[i + 1];
    for (uint32_t place = 0; place < n; place++) model.placeOf[model.symbolAt[place]] = static_cast<uint8_t>(place);
}

void ResetEncModels(QuantumEncModels& models, uint32_t windowBits) {
    const uint32_t windowSize = 1u << windowBits;
    ResetEncModel(models.selector, quantumEncSelectorSymbols);
    for (QuantumEncModel& model : models.literal) ResetEncModel(model, quantumEncMaxSymbols);
    ResetEncModel(models.length, quantumEncLengthSlots);
    auto below = [windowSize](uint32_t limit) { return windowSize < limit ? windowSize : limit; };
    ResetEncModel(models.position3, QuantumPositionSlotsBelow(below(quantumEncMatch3Limit)));
    ResetEncModel(models.position4, QuantumPositionSlotsBelow(below(quantumEncMatch4Limit)));
    ResetEncModel(models.position5, QuantumPositionSlotsBelow(windowSize));
}
