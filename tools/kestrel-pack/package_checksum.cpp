// package_checksum.cpp: ChecksumStep and the ranges it covers in a package.
#include "package_checksum.h"

#include <cstdio>

uint32_t ChecksumStep(uint32_t accumulator, uint8_t byte, uint32_t polynomial) {
    uint32_t data = static_cast<uint32_t>(byte) << 8;
    for (int bit = 0; bit < 8; ++bit) {
        // Only bit 15 of (accumulator XOR data) decides; bits shifted past 31 are lost.
        if ((accumulator ^ data) & 0x8000u) {
            accumulator = (accumulator << 1) ^ polynomial;
        } else {
            accumulator <<= 1;
        }
        data <<= 1;
    }
    return accumulator;
}

uint32_t ChecksumBytes(uint32_t accumulator, const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) accumulator = ChecksumStep(accumulator, data[i], packagePolynomial);
    return accumulator;
}

std::string ChecksumText(uint32_t accumulator) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(accumulator));
    return text;
}

bool ComputePackageChecksum(const std::vector<uint8_t>& packageFile, int64_t stubSize, int64_t payloadSize,
                            const std::vector<const std::vector<uint8_t>*>& parts, uint32_t* accumulator) {
    const int64_t fileBytes = static_cast<int64_t>(packageFile.size());
    if (payloadSize < 0 || payloadSize > fileBytes) return false;
    uint32_t value = 0;
    if (stubSize > 0) {
        const size_t first = static_cast<size_t>(stubSize < fileBytes ? stubSize : fileBytes);
        value = ChecksumBytes(value, packageFile.data(), first);
    }
    const size_t payloadStart = static_cast<size_t>(fileBytes - payloadSize);
    value = ChecksumBytes(value, packageFile.data() + payloadStart, static_cast<size_t>(payloadSize));
    for (const std::vector<uint8_t>* part : parts) value = ChecksumBytes(value, part->data(), part->size());
    *accumulator = value;
    return true;
}
