// quantum_reference.h: a naive reference Quantum encoder for the tests.
//
// It is written apart from the decoder on purpose: the models keep plain
// per-symbol frequencies (the decoder keeps cumulative ones), the arithmetic
// encoder is the textbook one with pending underflow bits, and the window is
// a plain array. A stream it writes must decode to exactly the bytes it
// recorded, and the decoder's models must end equal to its models.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One adaptive model: symbols in the model's own order with their own
// frequencies.
struct RefModel {
    std::vector<uint32_t> symbols;
    std::vector<uint32_t> freqs;
    int rebuildCountdown = 4;

    explicit RefModel(int symbolCount = 1);
    uint32_t Total() const;
    // Cumulative frequency of the entries from place on (0 past the end).
    uint32_t CumFrom(size_t place) const;
    // Place of symbol in the model's order.
    size_t PlaceOf(uint32_t symbol) const;
    // Counts one coding of the symbol at place, rescaling above 3800.
    void Update(size_t place);
    void Rescale();
};

// The 16-bit arithmetic encoder, the exact inverse of the decoder's
// renormalisation, with raw bits placed where the decoder's bit reader will
// meet them (16 arithmetic bits ahead of the encoder, since the decoder
// primes its code register with 16 bits).
class RefArithmeticEncoder {
   public:
    void Encode(uint32_t cumLow, uint32_t cumHigh, uint32_t total);
    void RawBits(uint32_t bitCount, uint32_t value);
    // Flushes the coder and returns the block's bytes; the encoder is then
    // fresh for the next block.
    std::vector<uint8_t> Finish();

   private:
    void Emit(uint8_t bit);
    uint32_t low_ = 0;
    uint32_t high_ = 0xFFFF;
    uint32_t pending_ = 0;
    std::vector<uint8_t> arithBits_;
    struct RawGroup {
        size_t beforeArithBit;
        std::vector<uint8_t> bits;
    };
    std::vector<RawGroup> raw_;
};

enum RefModelId { RefSelector = 0, RefLiteral0 = 1, RefLength = 5, RefPos3 = 6, RefPos4 = 7, RefPos5 = 8 };

// Encodes items and records the bytes they produce. Blocks are cut with
// EndBlock; ResetFolder mirrors QuantumReset.
class RefQuantumEncoder {
   public:
    explicit RefQuantumEncoder(int windowBits);

    void Literal(uint8_t byte);
    // length 3 to 259; distance 1 to the reach of the match kind (4096 for 3
    // bytes, 262144 for 4, the window size for all).
    void Match(uint32_t length, uint32_t distance);
    // Low-level: one symbol of a model, or raw bits, without recording output.
    void Symbol(int modelId, uint32_t symbol);
    void Raw(uint32_t bitCount, uint32_t value) { coder_.RawBits(bitCount, value); }

    // Ends the block: returns its bytes; lastBlockOutput() holds its yield.
    std::vector<uint8_t> EndBlock();
    uint32_t lastBlockOutput() const { return lastBlockOutput_; }
    uint32_t blockOutputSoFar() const { return blockOutput_; }
    void ResetFolder();

    const std::vector<uint8_t>& output() const { return output_; }
    // Bytes produced since creation or the last ResetFolder.
    uint32_t produced() const { return windowPos_; }
    RefModel& model(int modelId) { return models_[modelId]; }
    int windowBits() const { return windowBits_; }
    uint32_t windowSize() const { return 1u << windowBits_; }
    // The largest distance a match of this length can code.
    uint32_t MaxDistance(uint32_t length) const;

    static const uint32_t lengthBase[27];
    static const uint32_t lengthExtra[27];
    static uint32_t PositionBase(uint32_t slot);
    static uint32_t PositionExtra(uint32_t slot);

   private:
    void InitModels();
    void Put(uint8_t byte);
    int windowBits_;
    RefModel models_[9];
    RefArithmeticEncoder coder_;
    std::vector<uint8_t> window_;
    uint32_t windowPos_ = 0;
    std::vector<uint8_t> output_;
    uint32_t blockOutput_ = 0;
    uint32_t lastBlockOutput_ = 0;
};

// A stream of blocks with the bytes each yields.
struct RefStream {
    std::vector<std::vector<uint8_t>> blocks;
    std::vector<uint32_t> blockSizes;
    std::vector<uint8_t> expected;  // all bytes of all blocks in order
};

// A random stream of about outputBytes bytes in blocks of at most blockBytes:
// literals, and matches of every kind with distances spread over the whole
// reach, never further back than the bytes produced since the encoder's
// last folder reset.
RefStream RandomStream(RefQuantumEncoder& encoder, uint32_t seed, uint32_t outputBytes, uint32_t blockBytes);

// Text-like data compressed greedily (hash of 3 bytes), in blocks of 32768.
RefStream GreedyStream(RefQuantumEncoder& encoder, const std::vector<uint8_t>& data);

// Text-like sample data of the given size.
std::vector<uint8_t> SampleText(uint32_t seed, uint32_t bytes);
