// qenc_support.h: inputs and host callbacks for the Quantum encoder's tests.
//
// The decoder is reached only through its public API (quantum.h) and the
// cabinet decoder's CabDecoderExtract. The host heap can refuse allocations
// of one size, so that the decoder's window cannot be allocated and its
// paged store takes over, and the scratch file of that store lives in
// memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cabdecode.h"
#include "quantum.h"
#include "quantum_encoder.h"

using Bytes = std::vector<uint8_t>;

// Sample data, fixed by seed.
Bytes QencRandom(uint32_t seed, size_t count);
// Words with a few likely successors, punctuation and line breaks.
Bytes QencText(uint32_t seed, size_t count);
// x86-like code and tables of records.
Bytes QencBinary(uint32_t seed, size_t count);

enum class QencData { Random, Text, Binary };
const char* QencDataName(QencData kind);
Bytes QencMake(QencData kind, uint32_t seed, size_t count);

// One folder's blocks as the writer cuts them (32768 bytes but the last).
struct QencFolder {
    std::vector<Bytes> blocks;       // stored bytes
    std::vector<uint32_t> sizes;     // bytes each block yields
    std::vector<QuantumItem> items;  // every item coded, in order
    std::vector<size_t> itemEnds;    // items.size() after each block
};

// Encodes data as one folder with a fresh compressor; blockBytes cuts it
// (at most 32768). Fails the current test on a compressor error.
QencFolder QencEncode(uint32_t windowBits, const Bytes& data, uint32_t blockBytes = cabMaxBlockBytes,
                      QuantumMatchFinderLimits limits = QuantumMatchFinderLimits());

// The host heap of the decoder. Allocations of exactly failSize bytes are
// refused (0: none); the count of live blocks shows leaks.
struct QencHeap {
    uint32_t failSize = 0;
    int liveBlocks = 0;
    int refusals = 0;
    int pageBuffersGiven = 0;
};
extern QencHeap qencHeap;
// When above 0, at most this many page buffers of the paged store are
// granted (the store works with as few as 3); QencResetHost clears it.
extern int qencPageBufferLimit;
void* QencAlloc(uint32_t size);
void QencFree(void* block);

// The in-memory scratch file of the paged store: open accepts only the name
// "*" (then NUL and the window size) and keeps one file.
struct QencScratch {
    int opens = 0;
    int reads = 0;
    int writes = 0;
    Bytes bytes;
    int64_t position = 0;
    bool open = false;
};
extern QencScratch qencScratch;
const int32_t qencScratchHandle = 7000;
int32_t QencScratchOpen(const char* path, int32_t flags, int32_t mode);
int32_t QencScratchRead(int32_t handle, void* buffer, uint32_t count);
int32_t QencScratchWrite(int32_t handle, const void* buffer, uint32_t count);
int32_t QencScratchClose(int32_t handle);
int32_t QencScratchSeek(int32_t handle, int32_t offset, int32_t origin);
void QencResetHost();

// Decodes every folder through one Quantum context (QuantumReset between
// folders) and appends the output of each folder to outputs. Returns the
// first status other than QuantumOk, else QuantumOk.
int QencDecode(uint32_t windowBits, const std::vector<QencFolder>& folders, std::vector<Bytes>* outputs);
