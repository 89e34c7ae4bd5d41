// deflate_writer.h: hand-built Deflate streams for the MSZIP tests.
//
// A BitWriter packs fields lowest bit first, as Deflate reads them; Huffman
// codes are written most significant bit first (RFC 1951, 3.1.1). On top of
// it, HuffCode makes canonical codes from lengths, and the Put* helpers write
// block headers, literals and matches, so that each test can spell out the
// exact fields of the stream it needs.
#pragma once

#include <cstdint>
#include <vector>

class BitWriter {
public:
    // Appends the low `bits` bits of value, lowest first.
    void Put(uint32_t value, uint32_t bits);
    // Appends a Huffman code of `length` bits, its most significant bit first.
    void PutCode(uint32_t code, uint32_t length);
    // Pads with zero bits to the next byte boundary.
    void Align();
    void PutByte(uint8_t byte) { Put(byte, 8); }
    // The stream so far, the last byte padded with zeros.
    std::vector<uint8_t> Bytes() const;
    // The stream with "CK" in front: one MSZIP block.
    std::vector<uint8_t> MszipBlock() const;

private:
    std::vector<uint8_t> bytes_;
    uint32_t bitCount_ = 0;  // bits used in total
};

// A canonical Huffman code (RFC 1951, 3.2.2) made from code lengths.
struct HuffCode {
    std::vector<uint8_t> lengths;
    std::vector<uint32_t> codes;

    explicit HuffCode(const std::vector<uint8_t>& codeLengths);
    void Put(BitWriter& writer, uint32_t symbol) const;
};

// Block header: final bit, then the 2-bit type (0 stored, 1 fixed, 2 dynamic, 3 reserved).
void PutBlockHeader(BitWriter& writer, bool final, uint32_t type);

// A whole stored block with the given bytes (aligns first, LEN and NLEN = ~LEN).
void PutStoredBlock(BitWriter& writer, bool final, const std::vector<uint8_t>& data);

// Fixed code (RFC 1951, 3.2.6).
HuffCode FixedLitCode();
HuffCode FixedDistCode();

// Symbol and extra bits of a match length (3..258) or distance (1..32768).
struct CodedValue {
    uint32_t symbol;
    uint32_t extraBits;
    uint32_t extraValue;
};
CodedValue LengthSymbol(uint32_t length);
CodedValue DistanceSymbol(uint32_t distance);

// A literal/length symbol, or a whole match (length symbol, extra, distance
// symbol, extra) with the given codes.
void PutMatch(BitWriter& writer, const HuffCode& lit, const HuffCode& dist, uint32_t length, uint32_t distance);

// The code-length code used by PutDynamicHeader: every one of the 19
// symbols gets a code (13 of 4 bits, 6 of 5 bits), so any sequence of
// code-length symbols can be written.
std::vector<uint8_t> FullCodeLengthLengths();

// One code-length symbol (0..18) with its repeat field.
struct CodeLengthSymbol {
    uint32_t symbol;
    uint32_t extra;  // repeat field of 16 (2 bits), 17 (3 bits), 18 (7 bits)
};

// Dynamic block header from raw fields: HLIT - 257 and HDIST - 1 as 5-bit
// fields, the 19 code-length code lengths (written in full, HCLEN 15), and
// the code-length symbols, written with that code.
void PutDynamicHeaderRaw(BitWriter& writer, uint32_t hlitField, uint32_t hdistField,
                         const std::vector<uint8_t>& codeLenLengths, const std::vector<CodeLengthSymbol>& symbols);

// Dynamic block header for the given literal/length and distance code
// lengths (each length written as its own symbol, no repeats).
void PutDynamicHeader(BitWriter& writer, const std::vector<uint8_t>& litLengths,
                      const std::vector<uint8_t>& distLengths);
