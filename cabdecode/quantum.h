// quantum.h: the Quantum decompressor of cabinet folders of type 2.
//
// Literals and matches coded with nine adaptive frequency models and a 16-bit
// arithmetic decoder; a window of 2^windowBits bytes (10 to 21) kept in memory,
// or, when it cannot be allocated, in a paged scratch file opened through the
// host's open callback under the name "*". The working state exists once per
// process: at most one context may be alive at a time, and QuantumCreate
// answers QuantumNoMemory while another one is. The other three calls accept
// only the live context.
#pragma once

#include <cstdint>

#include "cabdecode.h"

enum QuantumStatus : int {
    QuantumOk = 0,
    QuantumNoMemory = 1,
    QuantumBadContext = 2,
    QuantumBlockTooBig = 3,
    QuantumDataError = 4,
    QuantumBadWindow = 5,
};

struct QuantumConfig {
    int32_t windowBits;
};

struct QuantumContext;

// With handle null: only reports the sizes (inputBufferSize = maxBlockSize +
// 10240). The window test comes first, also for a size query.
int QuantumCreate(uint32_t* maxBlockSize, const QuantumConfig* config, CabAllocFn alloc, CabFreeFn free,
                  uint32_t* inputBufferSize, QuantumContext** handle, CabOpenFn open, CabReadFn read,
                  CabWriteFn write, CabCloseFn close, CabSeekFn seek);
// Decodes one block producing exactly *outputSize bytes (not written back).
int QuantumDecompress(QuantumContext* handle, const uint8_t* input, uint32_t inputSize, uint8_t* output,
                      const uint32_t* outputSize);
int QuantumReset(QuantumContext* handle);
int QuantumDestroy(QuantumContext* handle);
