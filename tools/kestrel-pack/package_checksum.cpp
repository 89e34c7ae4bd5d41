// package_checksum.cpp: the ranges the package checksum covers, fed to kestrel's
// own accumulator.
#include "package_checksum.h"

#include <cstdio>

uint32_t ChecksumBytes(uint32_t accumulator, const uint8_t* data, size_t count) {
    ChecksumRun run;
    ChecksumBegin(&run);
    run.accumulator = accumulator;
    ChecksumFeed(&run, data, count, nullptr, nullptr);
    return run.accumulator;
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
