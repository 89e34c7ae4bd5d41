// quantum_models_enc.h: the nine adaptive frequency models of Quantum, kept
// by the encoder exactly as the decoder keeps them.
//
// A model holds cumulative frequencies in its own order of symbols (the order
// changes when the model is rebuilt); the encoder also keeps the inverse,
// each symbol's place in that order. Coding a symbol adds 8 to the cumulative
// value of its place and every place before it; a total above 3800 is
// rescaled (halved), and every 50th rescale (the 4th first) rebuilds the model
// with an exchange sort whose order among equal frequencies the decoder
// follows exactly. Any deviation here decodes as a different stream.
//
// Costs: a symbol's cost in bits is log2(total / frequency), in fixed point
// (quantumCostOne per bit), read from a table.
#pragma once

#include <cstdint>

const uint32_t quantumEncMaxSymbols = 64;
const uint32_t quantumEncSelectorSymbols = 7;
const uint32_t quantumEncLiteralModels = 4;  // model k codes bytes 64k..64k+63
const uint32_t quantumEncFrequencyStep = 8;
const uint32_t quantumEncRescaleTotal = 3800;
const int32_t quantumEncFirstRebuild = 4;
const int32_t quantumEncRebuildInterval = 50;

// Costs are in 1/quantumCostOne bits.
const uint32_t quantumCostOne = 64;

// Selector symbols.
const uint32_t quantumSelectMatch3 = 4;
const uint32_t quantumSelectMatch4 = 5;
const uint32_t quantumSelectLongMatch = 6;

struct QuantumEncModel {
    uint32_t symbolCount;       // 1 to quantumEncMaxSymbols
    int32_t rebuildCountdown;   // rescales left until the next rebuild
    // cumFreq[place]: sum of the frequencies of places place..symbolCount-1;
    // cumFreq[symbolCount] is always 0.
    uint32_t cumFreq[quantumEncMaxSymbols + 1];
    uint8_t symbolAt[quantumEncMaxSymbols];  // the model's order of symbols
    uint8_t placeOf[quantumEncMaxSymbols];   // its inverse
};

// The interval of one symbol: [lower, upper) out of total.
struct QuantumInterval {
    uint32_t upper;
    uint32_t lower;
    uint32_t total;
};

// Every symbol with frequency 1, in ascending order; countdown 4.
void ResetEncModel(QuantumEncModel& model, uint32_t symbolCount);

// The symbol's interval in the model's present state. symbol < symbolCount.
inline QuantumInterval EncModelInterval(const QuantumEncModel& model, uint32_t symbol) {
    const uint32_t place = model.placeOf[symbol];
    return QuantumInterval{model.cumFreq[place], model.cumFreq[place + 1], model.cumFreq[0]};
}

// Counts one coding of symbol, rescaling or rebuilding as the decoder does.
void UpdateEncModel(QuantumEncModel& model, uint32_t symbol);

// Halving, or every rebuild interval a rebuild with the exchange sort.
void RescaleEncModel(QuantumEncModel& model);

// log2(value) in cost units for value 1 to quantumCostTableSize - 1.
const uint32_t quantumCostTableSize = 4096;
extern const uint16_t* const quantumLog2Cost;

// The cost of coding symbol now, in cost units.
inline uint32_t EncModelCost(const QuantumEncModel& model, uint32_t symbol) {
    const uint32_t place = model.placeOf[symbol];
    return quantumLog2Cost[model.cumFreq[0]] - quantumLog2Cost[model.cumFreq[place] - model.cumFreq[place + 1]];
}

// The nine models of one folder.
struct QuantumEncModels {
    QuantumEncModel selector;
    QuantumEncModel literal[quantumEncLiteralModels];
    QuantumEncModel length;
    QuantumEncModel position3;  // slots of 3-byte matches
    QuantumEncModel position4;  // of 4-byte matches
    QuantumEncModel position5;  // of longer matches
};

// The models at the start of a folder with a window of 2^windowBits bytes.
void ResetEncModels(QuantumEncModels& models, uint32_t windowBits);
