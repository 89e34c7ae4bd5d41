// quantum_encoder.h: folders of compression type 2 (Quantum).
//
// One compressor serves one folder: the nine models and the window carry
// from block to block, as the decoder keeps them until its reset at the next
// folder. Each block is coded on its own: the arithmetic coder starts afresh
// and is flushed at the block's end so that every bit the decoder reads lies
// inside the block, and no item crosses the block's end.
//
// A block's stored bytes must fit the decoder's input buffer, 32768 + 10240
// bytes. Nothing in the format bounds them, but the adaptive models do in
// practice: random data codes to about 33.2 KB a block, and the costliest
// literal stream the tests could build to about 33.4 KB. A block that would
// not fit is refused (CabCompressTooLarge), and the writer fails the write
// rather than store a block the decoder cannot read.
//
// Parsing is lazy and priced: at each position the match finder offers the
// nearest match of each length it found; each is priced with the models'
// present costs against the literals it would replace, and a match is taken
// unless the position after it offers a better saving.
#pragma once

#include <cstdint>
#include <vector>

#include "block_compressor.h"
#include "quantum_match_finder.h"
#include "quantum_models_enc.h"
#include "quantum_range_encoder.h"

// One coded item, for tests that inspect what the encoder chose.
struct QuantumItem {
    uint32_t length;    // 0 for a literal, else 3 to 259
    uint32_t distance;  // of a match
    uint8_t literal;    // of a literal
};

class QuantumCompressor : public CabBlockCompressor {
public:
    // windowBits 10 to 21 (the caller checks).
    explicit QuantumCompressor(uint32_t windowBits, QuantumMatchFinderLimits limits = QuantumMatchFinderLimits());

    CabCompressStatus CompressBlock(const uint8_t* data, uint32_t size, std::vector<uint8_t>* stored) override;
    // The decoder's input buffer for a Quantum block, as QuantumCreate reports it.
    uint32_t MaxStoredBytes() const override;

    // While set, every coded item is appended to *items (null stops it).
    void RecordItems(std::vector<QuantumItem>* items) { items_ = items; }

private:
    struct Choice {
        uint32_t length = 0;
        uint32_t distance = 0;
        int32_t saving = 0;  // cost units saved against literals; above 0 to be worth it
    };

    // The best-saving match among count matches at offset of block.
    Choice BestMatch(const uint8_t* block, uint32_t offset, const QuantumMatch* matches, uint32_t count);
    uint32_t LiteralCost(uint8_t byte) const;
    uint32_t MatchCost(uint32_t length, uint32_t distance) const;

    void EncodeSymbol(QuantumEncModel& model, uint32_t symbol);
    void EncodeLiteral(uint8_t byte);
    void EncodeMatch(uint32_t length, uint32_t distance);

    uint32_t windowBits_;
    QuantumReach reach_;
    QuantumEncModels models_;
    QuantumRangeEncoder coder_;
    QuantumMatchFinder finder_;
    std::vector<QuantumMatch> matches_;      // at the position being decided
    std::vector<QuantumMatch> nextMatches_;  // at the position after it
    std::vector<uint32_t> literalCostSum_;   // running literal costs from a position
    std::vector<QuantumItem>* items_ = nullptr;
};
