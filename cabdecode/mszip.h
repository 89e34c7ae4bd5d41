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

// Reports the buffer sizes and, with a handle pointer, creates a context.
// *maxBlockSize: in, the largest output of one call (0 or above 32768 means
// 32768); out, the value used. *inputBufferSize: out, maxBlockSize + 12, the
// input room one block may need. With handle null only the sizes are
// reported and alloc/free may be null. Otherwise returns MszipNoMemory (and
// a null handle) when alloc fails; the context is freed by MszipDestroy.
int MszipCreate(uint32_t* maxBlockSize, CabAllocFn alloc, CabFreeFn free, uint32_t* inputBufferSize,
                MszipContext** handle);
// Decodes one block: "CK", then a Deflate stream that runs to its final
// block or until the output limit (*outputSize on entry, at most
// maxBlockSize) is reached; the rest of the input is then ignored.
// `output` must be the same 32768-byte buffer, untouched by the caller, for
// every block of a folder: it is the history window. On MszipOk,
// *outputSize is the number of bytes produced. Returns MszipBadContext,
// MszipInputTooBig (inputSize above maxBlockSize + 12) or MszipDataError
// (invalid data; the window may be partly overwritten, the context stays
// usable).
int MszipDecompress(MszipContext* handle, const uint8_t* input, uint32_t inputSize, uint8_t* output,
                    uint32_t* outputSize);
// Called when another folder is selected. Changes nothing (each block starts
// afresh and the history is the caller's buffer); checks the handle.
int MszipReset(MszipContext* handle);
// Clears the signature and frees the context through its free callback.
int MszipDestroy(MszipContext* handle);
