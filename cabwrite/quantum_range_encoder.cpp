// quantum_range_encoder.cpp: arithmetic coding and bit merging of a block.
#include "quantum_range_encoder.h"

#include <cassert>
#include <cstddef>

namespace {

const uint32_t primingBits = 16;  // the decoder's code register

// Appends bits to a byte vector, most significant bit first.
class BitAppender {
public:
    explicit BitAppender(std::vector<uint8_t>* out) : out_(out) {}
    void Bit(uint32_t bit) {
        accumulator_ = (accumulator_ << 1) | (bit & 1);
        if (++count_ == 8) {
            out_->push_back(static_cast<uint8_t>(accumulator_));
            accumulator_ = 0;
            count_ = 0;
        }
    }
    void Bits(uint32_t bitCount, uint32_t value) {
        for (uint32_t i = bitCount; i-- > 0;) Bit(value >> i);
    }
    // Pads the last byte with zero bits.
    void Close() {
        while (count_ != 0) Bit(0);
    }

private:
    std::vector<uint8_t>* out_;
    uint32_t accumulator_ = 0;
    uint32_t count_ = 0;
};

}  // namespace

void QuantumRangeEncoder::PushArithBit(uint32_t bit) {
    if ((arithBitCount_ & 7) == 0) arithBits_.push_back(0);
    if (bit) arithBits_.back() |= static_cast<uint8_t>(0x80 >> (arithBitCount_ & 7));
    arithBitCount_++;
}

void QuantumRangeEncoder::PushSettledBit(uint32_t bit) {
    PushArithBit(bit);
    for (; pending_ > 0; pending_--) PushArithBit(bit ^ 1);
}

void QuantumRangeEncoder::Encode(uint32_t upper, uint32_t lower, uint32_t total) {
    assert(lower < upper && upper <= total);
    // Both new bounds from the old low, as the decoder narrows.
    const uint32_t range = high_ - low_ + 1;
    high_ = low_ + (upper * range) / total - 1;
    low_ = low_ + (lower * range) / total;
    for (;;) {
        if ((low_ ^ high_) & 0x8000) {
            if ((low_ & 0x4000) == 0 || (high_ & 0x4000) != 0) break;
            // low 01..., high 10...: the bit is still open.
            pending_++;
            low_ &= 0x3FFF;
            high_ |= 0x4000;
        } else {
            PushSettledBit(low_ >> 15);
        }
        low_ = (low_ << 1) & 0xFFFF;
        high_ = ((high_ << 1) | 1) & 0xFFFF;
        shifts_++;
    }
}

void QuantumRangeEncoder::RawBits(uint32_t bitCount, uint32_t value) {
    assert(bitCount <= 19);
    if (bitCount == 0) return;
    raw_.push_back(RawGroup{primingBits + shifts_, bitCount, value & ((1u << bitCount) - 1)});
    rawBitCount_ += bitCount;
}

uint32_t QuantumRangeEncoder::BlockBytesSoFar() const {
    const uint64_t bits = shifts_ + primingBits + rawBitCount_;
    return static_cast<uint32_t>((bits + 7) / 8);
}

void QuantumRangeEncoder::FinishBlock(std::vector<uint8_t>* out) {
    // The value of low: its top bit with the pending bits behind it, then
    // its 15 lower bits.
    PushSettledBit(low_ >> 15);
    for (uint32_t i = 15; i-- > 0;) PushArithBit(low_ >> i);
    assert(arithBitCount_ == shifts_ + primingBits);

    BitAppender writer(out);
    size_t next = 0;
    for (uint64_t j = 0; j <= arithBitCount_; j++) {
        while (next < raw_.size() && raw_[next].beforeArithBit == j) {
            writer.Bits(raw_[next].bitCount, raw_[next].value);
            next++;
        }
        if (j < arithBitCount_) writer.Bit(arithBits_[j >> 3] >> (7 - (j & 7)));
    }
    assert(next == raw_.size());
    writer.Close();

    low_ = 0;
    high_ = 0xFFFF;
    pending_ = 0;
    shifts_ = 0;
    arithBits_.clear();
    arithBitCount_ = 0;
    raw_.clear();
    rawBitCount_ = 0;
}
