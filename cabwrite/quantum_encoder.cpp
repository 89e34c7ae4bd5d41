// quantum_encoder.cpp: the item loop of the Quantum encoder: parsing, and the
// coding of literals and matches in the decoder's order.
//
// Bit-stream order of an item, as the decoder reads it:
//   selector symbol (0-3 literal model, 4 3-byte match, 5 4-byte match,
//   6 longer match);
//   literal: the symbol of literal model selector (byte - 64 x selector);
//   longer match: length slot, its raw extra bits;
//   every match: position slot (of the model of its kind), its raw extra bits.
#include "quantum_encoder.h"

#include <cassert>

#include "cabdecode.h"
#include "quantum.h"
#include "quantum_enc_tables.h"

namespace {

// A match at least this long is taken without looking at the next position:
// a better one there is rare, and the search costs as much as any other.
const uint32_t lazyLengthLimit = 32;

}  // namespace

QuantumCompressor::QuantumCompressor(uint32_t windowBits, QuantumMatchFinderLimits limits)
    : windowBits_(windowBits),
      reach_(QuantumReachFor(windowBits)),
      finder_(windowBits, limits),
      matches_(quantumMaxMatchesPerPosition),
      nextMatches_(quantumMaxMatchesPerPosition),
      literalCostSum_(quantumEncMaxMatch + 1) {
    ResetEncModels(models_, windowBits);
}

uint32_t QuantumCompressor::MaxStoredBytes() const {
    // Asked of the decoder itself: a size query creates nothing.
    uint32_t maxBlockSize = cabMaxBlockBytes;
    uint32_t inputBufferSize = 0;
    const QuantumConfig config = {static_cast<int32_t>(windowBits_)};
    if (QuantumCreate(&maxBlockSize, &config, nullptr, nullptr, &inputBufferSize, nullptr, nullptr, nullptr,
                      nullptr, nullptr, nullptr) != QuantumOk) {
        return 0;
    }
    return inputBufferSize;
}

// ---------------------------------------------------------------------------
// Coding.

void QuantumCompressor::EncodeSymbol(QuantumEncModel& model, uint32_t symbol) {
    const QuantumInterval interval = EncModelInterval(model, symbol);
    coder_.Encode(interval.upper, interval.lower, interval.total);
    UpdateEncModel(model, symbol);
}

void QuantumCompressor::EncodeLiteral(uint8_t byte) {
    const uint32_t selector = byte >> 6;
    EncodeSymbol(models_.selector, selector);
    EncodeSymbol(models_.literal[selector], byte & 63);
    if (items_) items_->push_back(QuantumItem{0, 0, byte});
}

void QuantumCompressor::EncodeMatch(uint32_t length, uint32_t distance) {
    QuantumEncModel* positionModel;
    if (length == 3) {
        assert(distance <= reach_.match3);
        EncodeSymbol(models_.selector, quantumSelectMatch3);
        positionModel = &models_.position3;
    } else if (length == 4) {
        assert(distance <= reach_.match4);
        EncodeSymbol(models_.selector, quantumSelectMatch4);
        positionModel = &models_.position4;
    } else {
        assert(length <= quantumEncMaxMatch && distance <= reach_.window);
        EncodeSymbol(models_.selector, quantumSelectLongMatch);
        const uint32_t value = length - quantumEncMinLongMatch;
        const uint32_t slot = QuantumLengthSlotOf(value);
        EncodeSymbol(models_.length, slot);
        coder_.RawBits(quantumEncLengthExtraBits[slot], value - QuantumLengthBase(slot));
        positionModel = &models_.position5;
    }
    const uint32_t value = distance - 1;
    const uint32_t slot = QuantumPositionSlotOf(value);
    EncodeSymbol(*positionModel, slot);
    coder_.RawBits(quantumEncPositionExtraBits[slot], value - QuantumPositionBase(slot));
    if (items_) items_->push_back(QuantumItem{length, distance, 0});
}

// ---------------------------------------------------------------------------
// Prices.

uint32_t QuantumCompressor::LiteralCost(uint8_t byte) const {
    const uint32_t selector = byte >> 6;
    return EncModelCost(models_.selector, selector) + EncModelCost(models_.literal[selector], byte & 63);
}

uint32_t QuantumCompressor::MatchCost(uint32_t length, uint32_t distance) const {
    const uint32_t value = distance - 1;
    const uint32_t slot = QuantumPositionSlotOf(value);
    const uint32_t positionBits = quantumEncPositionExtraBits[slot] * quantumCostOne;
    if (length == 3) {
        return EncModelCost(models_.selector, quantumSelectMatch3) + EncModelCost(models_.position3, slot) +
               positionBits;
    }
    if (length == 4) {
        return EncModelCost(models_.selector, quantumSelectMatch4) + EncModelCost(models_.position4, slot) +
               positionBits;
    }
    const uint32_t lengthSlot = QuantumLengthSlotOf(length - quantumEncMinLongMatch);
    return EncModelCost(models_.selector, quantumSelectLongMatch) + EncModelCost(models_.length, lengthSlot) +
           quantumEncLengthExtraBits[lengthSlot] * quantumCostOne + EncModelCost(models_.position5, slot) +
           positionBits;
}

QuantumCompressor::Choice QuantumCompressor::BestMatch(const uint8_t* block, uint32_t offset,
                                                       const QuantumMatch* matches, uint32_t count) {
    Choice best;
    if (count == 0) return best;
    // Literal costs of the bytes a match would cover, summed as far as the
    // longest match reaches.
    const uint32_t longest = matches[count - 1].length;
    literalCostSum_[0] = 0;
    for (uint32_t i = 0; i < longest; i++) literalCostSum_[i + 1] = literalCostSum_[i] + LiteralCost(block[offset + i]);
    for (uint32_t i = 0; i < count; i++) {
        const QuantumMatch& match = matches[i];
        const int32_t saving =
            static_cast<int32_t>(literalCostSum_[match.length]) - static_cast<int32_t>(MatchCost(match.length, match.distance));
        if (best.length == 0 || saving > best.saving) best = Choice{match.length, match.distance, saving};
    }
    return best;
}

// ---------------------------------------------------------------------------
// The block.

CabCompressStatus QuantumCompressor::CompressBlock(const uint8_t* data, uint32_t size, std::vector<uint8_t>* stored) {
    if (size == 0 || size > cabMaxBlockBytes) return CabCompressTooLarge;
    finder_.BeginBlock(data, size);
    const uint8_t* block = finder_.Block();

    uint32_t offset = 0;
    uint32_t count = finder_.Find(0, matches_.data());
    while (offset < size) {
        Choice here = BestMatch(block, offset, matches_.data(), count);
        if (here.length == 0 || here.saving <= 0) {
            EncodeLiteral(block[offset]);
            offset++;
            if (offset < size) count = finder_.Find(offset, matches_.data());
            continue;
        }
        // Lazy evaluation: a literal now and a better match at the next byte
        // may save more than the match here.
        if (here.length < lazyLengthLimit && offset + 1 < size) {
            const uint32_t nextCount = finder_.Find(offset + 1, nextMatches_.data());
            const Choice next = BestMatch(block, offset + 1, nextMatches_.data(), nextCount);
            if (next.length != 0 && next.saving > here.saving) {
                EncodeLiteral(block[offset]);
                offset++;
                matches_.swap(nextMatches_);
                count = nextCount;
                continue;
            }
        }
        EncodeMatch(here.length, here.distance);
        offset += here.length;
        if (offset < size) count = finder_.Find(offset, matches_.data());
    }

    stored->clear();
    const uint32_t bytes = coder_.BlockBytesSoFar();
    coder_.FinishBlock(stored);
    assert(stored->size() == bytes);
    if (bytes > MaxStoredBytes()) return CabCompressTooLarge;
    return CabCompressOk;
}
