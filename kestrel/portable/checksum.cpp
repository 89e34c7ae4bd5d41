// checksum.cpp: the package checksum accumulator.
#include "checksum.h"

uint32_t ChecksumStep(uint32_t accumulator, int byte, uint32_t polynomial) {
    uint32_t shifted = static_cast<uint32_t>(byte) << 8;
    for (int bit = 0; bit < 8; ++bit) {
        if (((accumulator ^ shifted) & 0x8000u) != 0) {
            accumulator = (accumulator << 1) ^ polynomial;
        } else {
            accumulator <<= 1;
        }
        shifted <<= 1;
    }
    return accumulator;
}

namespace {

// Eight steps at once: a step is linear in the accumulator and the byte, and
// only bits 8 to 15 of the accumulator and the byte decide which multiples of
// the polynomial are added, so
//   step8(a, b) = (a << 8) ^ byteSteps[((a >> 8) ^ b) & 0xff]
// with byteSteps[i] = step8(0, i). Built on first use rather than stored, so
// that it costs the program no file size.
uint32_t byteSteps[256];

void BuildByteSteps() {
    if (byteSteps[1] != 0) return;
    for (int i = 0; i < 256; ++i) byteSteps[i] = ChecksumStep(0, i, checksumPolynomial);
}

}  // namespace

void ChecksumBegin(ChecksumRun* run) {
    BuildByteSteps();
    run->accumulator = 0;
    run->bytesSinceProgress = 0;
}

void ChecksumBeginFile(ChecksumRun* run) {
    run->bytesSinceProgress = 0;
}

void ChecksumFeed(ChecksumRun* run, const unsigned char* bytes, size_t count,
                  ChecksumProgressFn progress, void* context) {
    uint32_t accumulator = run->accumulator;
    for (size_t i = 0; i < count; ++i) {
        accumulator = (accumulator << 8) ^ byteSteps[((accumulator >> 8) ^ bytes[i]) & 0xffu];
        if (progress != nullptr) {
            if (run->bytesSinceProgress >= checksumProgressBytes) {
                progress(accumulator, context);
                run->bytesSinceProgress = 0;
            }
            ++run->bytesSinceProgress;
        }
    }
    run->accumulator = accumulator;
}

void FormatChecksum(uint32_t accumulator, char* digits) {
    static const char hexDigits[] = "0123456789abcdef";
    for (int i = 7; i >= 0; --i) {
        digits[i] = hexDigits[accumulator & 0xfu];
        accumulator >>= 4;
    }
    digits[8] = '\0';
}
