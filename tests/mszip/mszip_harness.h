// mszip_harness.h: what the MSZIP tests share: a context wrapper with a
// counting allocator, zlib as the encoder of real MSZIP folders and as the
// reference inflater, and deterministic test data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mszip.h"

using Bytes = std::vector<uint8_t>;

const uint32_t windowBytes = 32768;

// Counts the calls of the allocator used by MszipDecoder, and can make the
// n-th allocation fail (0 = none).
struct AllocLog {
    int allocs = 0;
    int frees = 0;
    int failAt = 0;
    // Keeps freed blocks allocated so that a test may look at them.
    bool keepFreed = false;
    std::vector<void*> freed;
};
extern AllocLog allocLog;
void* TestAlloc(uint32_t size);
void TestFree(void* block);

// One context and one window buffer: the decoder as the engine drives it
// for a folder.
class MszipDecoder {
public:
    explicit MszipDecoder(uint32_t maxBlockSize = 32768);
    ~MszipDecoder();
    MszipDecoder(const MszipDecoder&) = delete;
    MszipDecoder& operator=(const MszipDecoder&) = delete;

    // Decodes one block (copied to an allocation of exactly its size, so that
    // a sanitizer sees any read past it). On MszipOk, `output` is the bytes
    // produced; `room` is the output size passed in.
    int Decode(const Bytes& block, Bytes* output, uint32_t room = windowBytes);

    MszipContext* context = nullptr;
    Bytes window;  // the caller's 32768-byte buffer, kept across blocks
};

// Splits `data` into 32768-byte pieces and compresses each into one MSZIP
// block with zlib: a raw Deflate stream ending in a final block, primed with
// the previous 32 KB of the folder as preset dictionary.
std::vector<Bytes> CompressFolder(const Bytes& data, int level = 6, int strategy = 0 /* Z_DEFAULT_STRATEGY */);

// zlib's inflate of one MSZIP block ("CK" stripped) with `dictionary` as
// history. Returns false unless the stream ends properly within `maxOutput`.
bool ZlibInflateBlock(const Bytes& block, const Bytes& dictionary, uint32_t maxOutput, Bytes* output);

// Decodes a folder's blocks in order; returns false at the first failure.
bool DecodeFolder(const std::vector<Bytes>& blocks, Bytes* output);

// Deterministic data.
Bytes RandomBytes(size_t size, uint32_t seed);
Bytes TextLikeBytes(size_t size, uint32_t seed);
// A mix that exercises stored, fixed and dynamic blocks and long matches.
Bytes MixedBytes(size_t size, uint32_t seed);

// 32-bit xorshift, for test data and mutations.
struct TestRandom {
    uint32_t state;
    explicit TestRandom(uint32_t seed) : state(seed ? seed : 1) {}
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};
