// quantum_state.h: the records of the Quantum decompressor and its working
// state, which exists once per process.
//
// A QuantumContext is only a handle that carries the host's callbacks and the
// block limit; everything the decoder works on lives in the one QuantumState,
// quantumState. That is why at most one context may be alive at a time: a
// second QuantumCreate is refused while one exists. Tests read quantumState
// directly to follow the coder registers and the models.
#pragma once

#include <cstdint>

#include "quantum.h"

// Window sizes are 2^windowBits bytes.
const int32_t quantumMinWindowBits = 10;  // 1 KB
const int32_t quantumMaxWindowBits = 21;  // 2 MB
// One block yields at most this many bytes; outputLeft is 16 bits wide, which
// this limit keeps safe.
const uint32_t quantumMaxBlockBytes = 32768;
static_assert(quantumMaxBlockBytes <= 0xFFFF, "outputLeft is a 16-bit count");
// The caller's input buffer is maxBlockSize plus this many bytes: room for a
// block that codes worse than stored.
const uint32_t quantumInputSlackBytes = 10240;

// Models.
const int32_t quantumMaxSymbols = 64;         // literal models are the largest
const int32_t quantumSelectorSymbols = 7;
const int32_t quantumLiteralModels = 4;       // model k codes bytes 64k..64k+63
const int32_t quantumLengthSlots = 27;
const int32_t quantumPositionSlots = 42;      // distances up to 2^21
const uint32_t quantumFrequencyStep = 8;      // added per decoded symbol
const uint32_t quantumRescaleTotal = 3800;    // a total above this is rescaled
const int32_t quantumFirstRebuild = 4;        // the 4th rescale rebuilds
const int32_t quantumRebuildInterval = 50;    // then every 50th
// 3-byte matches reach at most 4096 bytes back, 4-byte matches 262144.
const uint32_t quantumMatch3Reach = 4096;
const uint32_t quantumMatch4Reach = 262144;
const uint32_t quantumMinLongMatch = 5;

// Paged store.
const uint32_t quantumPageBytes = 4096;
const uint32_t quantumMinPageBuffers = 3;
// Name bytes of the scratch file: "*", NUL, the window size little-endian.
const uint32_t quantumScratchNameBytes = 6;
// Read and write, create if missing, binary (CabOpenFlag encoding); owner
// read and write.
const int32_t quantumScratchOpenFlags = CabOpenBinary | CabOpenCreate | CabOpenReadWrite;  // 0x8102
const int32_t quantumScratchOpenMode = CabModeRead | CabModeWrite;                          // 0x180
static_assert(quantumScratchOpenFlags == 0x8102, "scratch open flags");

// The context behind a QuantumCreate handle, allocated through its alloc.
struct QuantumContext {
    char signature[4];  // "QDIC" while alive; zeroed by QuantumDestroy
    CabAllocFn alloc;
    CabFreeFn free;
    CabOpenFn open;
    CabReadFn read;
    CabWriteFn write;
    CabCloseFn close;
    CabSeekFn seek;
    uint32_t maxBlockSize;  // 1 to quantumMaxBlockBytes
};

// One entry of a model. cumFreq is the sum of the frequencies of this entry
// and all entries after it, so it falls strictly to 0 at the terminating entry.
struct QuantumModelEntry {
    uint32_t cumFreq;
    uint32_t symbol;
};

// An adaptive frequency model. The order of the entries is the model's own
// order of symbols; a symbol is found by its place, never by its value.
struct AdaptiveModel {
    int32_t symbolCount;       // 1 to quantumMaxSymbols
    int32_t rebuildCountdown;  // rescales left until the next rebuild
    QuantumModelEntry entries[quantumMaxSymbols + 1];  // + the terminating entry
};

// One window page held in memory, on the LRU list of the paged store.
struct PageBuffer {
    PageBuffer* prev;   // towards the most recently used end; null at the head
    PageBuffer* next;   // towards the least recently used end; null at the tail
    int32_t pageIndex;  // the window page held, or -1 when free
    int32_t dirty;      // taken for writing since it was loaded
    uint8_t data[quantumPageBytes];
};

// The page table entry of one window page.
struct PageSlot {
    PageBuffer* buffer;  // the buffer holding the page, or null
    int32_t onDisk;      // written to the scratch file since the last reset
};

// The paged window store, used when the window cannot be allocated whole.
struct QuantumPagedStore {
    int32_t scratchHandle;  // -1 while closed
    uint32_t pageCount;     // windowSize / quantumPageBytes, at least 3
    PageSlot* pageTable;    // pageCount entries
    PageBuffer* mruHead;
    PageBuffer* lruTail;
    PageBuffer* currentPage;  // the page being written
    uint8_t* pageCursor;      // next byte to write in currentPage->data
    uint8_t* pageEnd;         // end of the page's positions in its data
};

// The pair of window operations in use, chosen at window setup.
struct QuantumWindowOps {
    // Produces one byte. Called only while outputLeft is above 0.
    void (*putLiteral)(uint8_t byte);
    // Produces length bytes copied from distance bytes back; sets matchOverrun
    // (and copies nothing) when fewer than length bytes are left in the block.
    void (*copyMatch)(uint16_t length, uint32_t distance);
};

struct QuantumState {
    // The context of the API call in progress; null while no context is alive.
    QuantumContext* currentContext;

    // Window. The write position of the next byte is windowPos & windowMask.
    int32_t windowBits;
    uint32_t windowSize;
    uint32_t windowMask;
    uint32_t windowPos;     // bytes produced since creation or the last reset
    uint8_t* windowBuffer;  // the in-memory window, or null when paged
    const QuantumWindowOps* windowOps;

    // Output of the current block.
    uint8_t* outputCursor;
    uint16_t outputLeft;

    // Bit reader: bytes most significant bit first.
    const uint8_t* inputCursor;
    uint32_t inputLeft;  // bytes of the block not yet read
    uint32_t bitBuffer;  // the byte being consumed
    uint32_t bitsLeft;   // its bits not yet consumed, 0 to 7

    // Arithmetic decoder registers.
    uint16_t low;
    uint16_t high;
    uint16_t code;

    // Failure flags.
    int32_t inputExhausted;
    int32_t matchOverrun;
    int32_t storeFailed;  // set only by the paged store; cleared by reset

    AdaptiveModel selectorModel;
    AdaptiveModel literalModels[quantumLiteralModels];
    AdaptiveModel lengthModel;
    AdaptiveModel posModel3;
    AdaptiveModel posModel4;
    AdaptiveModel posModel5;
    uint32_t lengthBase[quantumLengthSlots];
    uint32_t positionBase[quantumPositionSlots];

    QuantumPagedStore paged;
};

// The one working state of the process.
extern QuantumState quantumState;
