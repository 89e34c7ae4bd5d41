// package_checksum.h: the package checksum that kestrel tests at start.
//
// The accumulator is kestrel's own (checksum.h of the front end's portable
// rules): 0 at the start, fed with every covered byte in order. The text form
// is "%08x" (lowercase).
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

#include "checksum.h"

// The accumulator after feeding count bytes.
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
