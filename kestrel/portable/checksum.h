// checksum.h: the package checksum.
//
// A 32-bit accumulator, 0 at the start, fed with every covered byte in order.
// Its low 16 bits are CRC-16 with polynomial 0x1021, initial value 0, no
// reflection and no final XOR (the XMODEM variant); the accumulator is never
// cut to 16 bits, so its high half holds the last 16 bits shifted out of bit
// 15, the oldest in bit 31. The text form is "%08x".
#pragma once

#include <cstddef>
#include <cstdint>

const uint32_t checksumPolynomial = 0x1021;
// Progress is shown once per this many bytes of a file (after byte 1001,
// 2001, ... of each file of the payload range).
const uint32_t checksumProgressBytes = 1000;
// "%08x" and a NUL.
const size_t checksumDigitChars = 9;

// The accumulator after one more byte. Only bit 15 of the shifted byte is
// ever tested, so a byte passed as a signed char gives the same result.
uint32_t ChecksumStep(uint32_t accumulator, int byte, uint32_t polynomial);

// Called with the current accumulator when a progress text falls due.
typedef void (*ChecksumProgressFn)(uint32_t accumulator, void* context);

// One computation: the accumulator and the byte counter of the current file.
struct ChecksumRun {
    uint32_t accumulator;
    uint32_t bytesSinceProgress;
};

// accumulator 0, counter 0.
void ChecksumBegin(ChecksumRun* run);
// The counter starts at 0 at the beginning of each file of the payload range.
void ChecksumBeginFile(ChecksumRun* run);
// Feeds count bytes in order. With a progress function, after each byte's
// step: when the counter is checksumProgressBytes or more, progress is called
// with the accumulator and the counter returns to 0; then the counter grows
// by 1. Feeding a file in blocks of any size gives the same calls at the same
// bytes as feeding it byte by byte.
void ChecksumFeed(ChecksumRun* run, const unsigned char* bytes, size_t count,
                  ChecksumProgressFn progress, void* context);

// Writes "%08x" of accumulator into digits (at least checksumDigitChars).
void FormatChecksum(uint32_t accumulator, char* digits);
