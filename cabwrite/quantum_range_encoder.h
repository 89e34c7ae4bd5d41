// quantum_range_encoder.h: the 16-bit arithmetic encoder of one Quantum
// block, with the raw extra bits placed where the decoder reads them.
//
// The coder keeps low and high in 16 bits and renormalises under exactly the
// decoder's conditions: equal top bits shift a settled bit out; low 01...
// with high 10... (the interval straddles the middle closely) shifts out a
// bit that is still open, counted as pending and emitted, inverted, after the
// next settled bit. The decoder therefore shifts once for every shift here.
//
// Raw bits. The decoder reads one stream of bits: 16 priming bits into its
// code register, then one bit per renormalisation shift, and raw extra bits
// wherever the item loop asks for them. After the encoder's k-th shift the
// decoder has read 16 + k arithmetic bits, so raw bits given after k shifts
// go behind arithmetic bit 16 + k - 1. The block's arithmetic bits are kept
// apart and merged with the raw groups when the block ends.
//
// Flush. The decoder reads exactly 16 bits beyond its last shift and must
// find them inside the block; the encoder writes the value of low itself
// (its top bit, the pending bits, then its lower 15 bits): 16 + pending bits
// that leave the decoder's code register equal to low, inside the final
// interval. Padding bits of the last byte are never read.
#pragma once

#include <cstdint>
#include <vector>

class QuantumRangeEncoder {
public:
    // Narrows the interval to [lower, upper) of total (lower < upper <= total,
    // total at most 65536) and renormalises.
    void Encode(uint32_t upper, uint32_t lower, uint32_t total);

    // Queues bitCount (0 to 19) raw bits of value, most significant first.
    void RawBits(uint32_t bitCount, uint32_t value);

    // Bytes that FinishBlock would produce now.
    uint32_t BlockBytesSoFar() const;

    // Flushes, appends the block's bytes to *out and starts afresh.
    void FinishBlock(std::vector<uint8_t>* out);

private:
    void PushArithBit(uint32_t bit);
    void PushSettledBit(uint32_t bit);  // the bit, then the pending bits inverted

    uint32_t low_ = 0;
    uint32_t high_ = 0xFFFF;
    uint32_t pending_ = 0;
    uint64_t shifts_ = 0;  // shifts since the block began
    std::vector<uint8_t> arithBits_;  // packed, most significant bit first
    uint64_t arithBitCount_ = 0;
    struct RawGroup {
        uint64_t beforeArithBit;  // the arithmetic bit that follows the group
        uint32_t bitCount;
        uint32_t value;
    };
    std::vector<RawGroup> raw_;
    uint64_t rawBitCount_ = 0;
};
