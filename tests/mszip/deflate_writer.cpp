// deflate_writer.cpp: see deflate_writer.h.
#include "deflate_writer.h"

#include <stdexcept>

void BitWriter::Put(uint32_t value, uint32_t bits) {
    for (uint32_t i = 0; i < bits; i++) {
        if (bitCount_ % 8 == 0) bytes_.push_back(0);
        if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(1u << (bitCount_ % 8));
        bitCount_++;
    }
}

void BitWriter::PutCode(uint32_t code, uint32_t length) {
    for (uint32_t i = length; i-- > 0;) Put((code >> i) & 1, 1);
}

void BitWriter::Align() {
    while (bitCount_ % 8 != 0) Put(0, 1);
}

std::vector<uint8_t> BitWriter::Bytes() const { return bytes_; }

std::vector<uint8_t> BitWriter::MszipBlock() const {
    std::vector<uint8_t> block(2 + bytes_.size());
    block[0] = 'C';
    block[1] = 'K';
    for (size_t i = 0; i < bytes_.size(); i++) block[2 + i] = bytes_[i];
    return block;
}

HuffCode::HuffCode(const std::vector<uint8_t>& codeLengths) : lengths(codeLengths), codes(codeLengths.size(), 0) {
    uint32_t count[16] = {};
    for (uint8_t length : lengths) count[length]++;
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (uint32_t bits = 1; bits < 16; bits++) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    for (size_t symbol = 0; symbol < lengths.size(); symbol++) {
        if (lengths[symbol] != 0) codes[symbol] = next[lengths[symbol]]++;
    }
}

void HuffCode::Put(BitWriter& writer, uint32_t symbol) const {
    if (symbol >= lengths.size() || lengths[symbol] == 0) throw std::logic_error("symbol has no code");
    writer.PutCode(codes[symbol], lengths[symbol]);
}

void PutBlockHeader(BitWriter& writer, bool final, uint32_t type) {
    writer.Put(final ? 1 : 0, 1);  // BFINAL
    writer.Put(type, 2);           // BTYPE
}

void PutStoredBlock(BitWriter& writer, bool final, const std::vector<uint8_t>& data) {
    PutBlockHeader(writer, final, 0);
    writer.Align();
    writer.Put(static_cast<uint32_t>(data.size()), 16);           // LEN
    writer.Put(static_cast<uint32_t>(data.size()) ^ 0xFFFF, 16);  // NLEN
    for (uint8_t byte : data) writer.PutByte(byte);
}

HuffCode FixedLitCode() {
    std::vector<uint8_t> lengths(288);
    for (uint32_t s = 0; s < 288; s++) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    return HuffCode(lengths);
}

HuffCode FixedDistCode() { return HuffCode(std::vector<uint8_t>(32, 5)); }

namespace {
const uint32_t lengthBases[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint32_t lengthExtras[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint32_t distBases[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,    65,    97,    129,
                                193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint32_t distExtras[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
}  // namespace

CodedValue LengthSymbol(uint32_t length) {
    if (length < 3 || length > 258) throw std::logic_error("bad match length");
    if (length == 258) return {285, 0, 0};
    for (uint32_t i = 28; i-- > 0;) {
        if (length >= lengthBases[i]) return {257 + i, lengthExtras[i], length - lengthBases[i]};
    }
    throw std::logic_error("unreachable");
}

CodedValue DistanceSymbol(uint32_t distance) {
    if (distance < 1 || distance > 32768) throw std::logic_error("bad distance");
    for (uint32_t i = 30; i-- > 0;) {
        if (distance >= distBases[i]) return {i, distExtras[i], distance - distBases[i]};
    }
    throw std::logic_error("unreachable");
}

void PutMatch(BitWriter& writer, const HuffCode& lit, const HuffCode& dist, uint32_t length, uint32_t distance) {
    CodedValue len = LengthSymbol(length);
    lit.Put(writer, len.symbol);
    writer.Put(len.extraValue, len.extraBits);
    CodedValue d = DistanceSymbol(distance);
    dist.Put(writer, d.symbol);
    writer.Put(d.extraValue, d.extraBits);
}

std::vector<uint8_t> FullCodeLengthLengths() {
    // 13 codes of 4 bits and 6 of 5 bits: 13/16 + 6/32 = 1, a complete code.
    std::vector<uint8_t> lengths(19, 4);
    for (uint32_t s = 13; s < 19; s++) lengths[s] = 5;
    return lengths;
}

void PutDynamicHeaderRaw(BitWriter& writer, uint32_t hlitField, uint32_t hdistField,
                         const std::vector<uint8_t>& codeLenLengths, const std::vector<CodeLengthSymbol>& symbols) {
    static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    writer.Put(hlitField, 5);   // HLIT - 257
    writer.Put(hdistField, 5);  // HDIST - 1
    writer.Put(19 - 4, 4);      // HCLEN - 4: all 19 code-length lengths follow
    for (uint32_t i = 0; i < 19; i++) writer.Put(codeLenLengths[order[i]], 3);
    HuffCode codeLenCode(codeLenLengths);
    for (const CodeLengthSymbol& s : symbols) {
        codeLenCode.Put(writer, s.symbol);
        if (s.symbol == 16) writer.Put(s.extra, 2);
        if (s.symbol == 17) writer.Put(s.extra, 3);
        if (s.symbol == 18) writer.Put(s.extra, 7);
    }
}

void PutDynamicHeader(BitWriter& writer, const std::vector<uint8_t>& litLengths,
                      const std::vector<uint8_t>& distLengths) {
    std::vector<CodeLengthSymbol> symbols;
    for (uint8_t length : litLengths) symbols.push_back({length, 0});
    for (uint8_t length : distLengths) symbols.push_back({length, 0});
    PutDynamicHeaderRaw(writer, static_cast<uint32_t>(litLengths.size() - 257),
                        static_cast<uint32_t>(distLengths.size() - 1), FullCodeLengthLengths(), symbols);
}
