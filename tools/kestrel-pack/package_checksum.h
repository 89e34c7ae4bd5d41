// package_checksum.h: the package checksum that kestrel tests at start.
//
// A 32-bit accumulator, 0 at the start, fed with every covered byte in order
// by ChecksumStep with polynomial 0x1021. The accumulator is never cut to 16
// bits: its low half is the XMODEM CRC-16 of the bytes, its high half the last
// 16 bits shifted out of bit 15. The text form is "%08x" (lowercase).
//
// The covered bytes are, in order: the package file's first stubSize bytes
// (or all of it when shorter), the last payloadSize bytes of the file, and
// every split part file in number order. The marker and any bytes between
// stubSize and the marker are not covered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

const uint32_t packagePolynomial = 0x1021;

// The accumulator after feeding one byte.
uint32_t ChecksumStep(uint32_t accumulator, uint8_t byte, uint32_t polynomial);

// The accumulator after feeding count bytes with packagePolynomial.
uint32_t ChecksumBytes(uint32_t accumulator, const uint8_t* data, size_t count);

// "%08x" of the accumulator: 8 lowercase hexadecimal digits.
std::string ChecksumText(uint32_t accumulator);

// The package checksum over a package file held in memory and its parts.
// stubSize and payloadSize are the numbers as kestrel reads them; returns false
// (and leaves *accumulator alone) when payloadSize is negative or larger than
// the file, where kestrel's position F - payloadSize would lie before the file.
// A stubSize of 0 or less covers no image bytes.
bool ComputePackageChecksum(const std::vector<uint8_t>& packageFile, int64_t stubSize, int64_t payloadSize,
                            const std::vector<const std::vector<uint8_t>*>& parts, uint32_t* accumulator);
