// quantum.cpp: the four calls of the Quantum decompressor and the window
// setup.
//
// The working state is quantumState, once per process; a context is the
// handle that carries the host's callbacks and the block limit. Only the
// context that is alive is accepted by the other three calls: a handle is
// checked against the live context before any of its bytes are read, so a
// stale or foreign pointer is refused without being touched, and a second
// QuantumCreate while a context is alive is refused instead of taking over
// (and later freeing) the first one's window.
#include <cstring>

#include "quantum.h"
#include "quantum_block.h"
#include "quantum_models.h"
#include "quantum_state.h"
#include "quantum_window.h"

QuantumState quantumState = {};

static const char quantumSignature[4] = {'Q', 'D', 'I', 'C'};

// True for the live context with its signature intact.
static bool IsLiveContext(const QuantumContext* handle) {
    return handle && handle == quantumState.currentContext &&
           std::memcmp(handle->signature, quantumSignature, sizeof(quantumSignature)) == 0;
}

// Sets up the window of 2^windowBits bytes for the current context: in
// memory when it can be allocated, else the paged store. Then puts every
// model in its initial state. Returns false when neither window is available.
static bool SetUpWindow(int32_t windowBits) {
    QuantumState& state = quantumState;
    const QuantumContext* context = state.currentContext;
    state.windowBits = windowBits;
    state.windowSize = 1u << windowBits;
    state.windowMask = state.windowSize - 1;
    state.windowPos = 0;
    state.storeFailed = 0;
    state.windowBuffer = static_cast<uint8_t*>(context->alloc(state.windowSize));
    if (state.windowBuffer) {
        // Zeroed so a reach-back before the first window is filled reads
        // zeros, never stale heap memory.
        std::memset(state.windowBuffer, 0, state.windowSize);
        state.windowOps = &quantumMemoryWindow;
    } else {
        if (!OpenPagedWindow()) return false;
        state.windowOps = &quantumPagedWindow;
    }
    InitModels(windowBits);
    return true;
}

int QuantumCreate(uint32_t* maxBlockSize, const QuantumConfig* config, CabAllocFn alloc, CabFreeFn free,
                  uint32_t* inputBufferSize, QuantumContext** handle, CabOpenFn open, CabReadFn read,
                  CabWriteFn write, CabCloseFn close, CabSeekFn seek) {
    if (!config || config->windowBits < quantumMinWindowBits || config->windowBits > quantumMaxWindowBits) {
        return QuantumBadWindow;
    }
    if (*maxBlockSize == 0 || *maxBlockSize > quantumMaxBlockBytes) *maxBlockSize = quantumMaxBlockBytes;
    *inputBufferSize = *maxBlockSize + quantumInputSlackBytes;
    if (!handle) return QuantumOk;

    *handle = nullptr;
    // The state serves one context at a time, and memory only comes from the
    // host.
    if (quantumState.currentContext || !alloc || !free) return QuantumNoMemory;
    QuantumContext* context = static_cast<QuantumContext*>(alloc(sizeof(QuantumContext)));
    if (!context) return QuantumNoMemory;
    context->alloc = alloc;
    context->free = free;
    context->open = open;
    context->read = read;
    context->write = write;
    context->close = close;
    context->seek = seek;
    context->maxBlockSize = *maxBlockSize;
    std::memcpy(context->signature, quantumSignature, sizeof(quantumSignature));
    quantumState.currentContext = context;

    if (!SetUpWindow(config->windowBits)) {
        std::memset(context->signature, 0, sizeof(context->signature));
        quantumState.currentContext = nullptr;
        free(context);
        return QuantumNoMemory;
    }
    *handle = context;
    return QuantumOk;
}

int QuantumDecompress(QuantumContext* handle, const uint8_t* input, uint32_t inputSize, uint8_t* output,
                      const uint32_t* outputSize) {
    if (!IsLiveContext(handle)) return QuantumBadContext;
    quantumState.currentContext = handle;
    if (*outputSize > handle->maxBlockSize) return QuantumBlockTooBig;
    return DecodeBlock(input, inputSize, output, *outputSize) ? QuantumOk : QuantumDataError;
}

int QuantumReset(QuantumContext* handle) {
    if (!IsLiveContext(handle)) return QuantumBadContext;
    QuantumState& state = quantumState;
    state.currentContext = handle;
    state.windowPos = 0;
    state.storeFailed = 0;
    if (!state.windowBuffer) ResetPagedWindow();
    InitModels(state.windowBits);
    return QuantumOk;
}

int QuantumDestroy(QuantumContext* handle) {
    if (!IsLiveContext(handle)) return QuantumBadContext;
    QuantumState& state = quantumState;
    state.currentContext = handle;
    if (state.windowBuffer) {
        handle->free(state.windowBuffer);
        state.windowBuffer = nullptr;
    } else {
        ClosePagedWindow();
    }
    state.windowOps = nullptr;
    std::memset(handle->signature, 0, sizeof(handle->signature));
    state.currentContext = nullptr;
    handle->free(handle);
    return QuantumOk;
}
