// mszip.h: the MSZIP decompressor of cabinet folders of type 1.
//
// Each data block is "CK" followed by a Deflate stream (RFC 1951). The blocks
// of a folder share one history, which lives in the caller's output buffer:
// the engine passes the same 32768-byte buffer for every block and never
// touches it in between, so the buffer is a circular 32 KB window.
#pragma once

#include <cstdint>

#include "cabdecode.h"

enum MszipStatus : int {
    MszipOk = 0,
    MszipNoMemory = 1,
    MszipBadContext = 2,
    MszipInputTooBig = 3,
    MszipDataError = 4,
};

struct MszipContext;

// With handle null: only reports the sizes (maxBlockSize clamped to 1..32768,
// inputBufferSize = maxBlockSize + 12) and allocates nothing.
int MszipCreate(uint32_t* maxBlockSize, CabAllocFn alloc, CabFreeFn free, uint32_t* inputBufferSize,
                MszipContext** handle);
// Decodes one block; *outputSize is the room on entry, the bytes produced on return.
int MszipDecompress(MszipContext* handle, const uint8_t* input, uint32_t inputSize, uint8_t* output,
                    uint32_t* outputSize);
int MszipReset(MszipContext* handle);
int MszipDestroy(MszipContext* handle);
