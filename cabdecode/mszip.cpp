// mszip.cpp: the MSZIP decompressor's interface: contexts, and the start of
// each block ("CK", then a fresh Deflate stream on a byte boundary).
#include "mszip.h"

#include <cstring>

#include "mszip_state.h"

namespace {

const char mszipSignature[4] = {'M', 'D', 'I', 'C'};
const uint32_t mszipMaxBlockBytes = 32768;
// Room for the "CK" marker and for Deflate's overhead on data that does not
// compress (stored blocks).
const uint32_t mszipInputSlackBytes = 12;

bool HasSignature(const MszipContext* context) {
    return context != nullptr && memcmp(context->signature, mszipSignature, sizeof mszipSignature) == 0;
}

// Prepares the state for one block. Returns 0 when the input does not begin
// with "CK" (or the fixed tables cannot be built).
int StartBlock(MszipContext* context, const uint8_t* input, uint32_t inputSize, uint8_t* output) {
    InflateState* state = context->state;
    if (!state->fixedBuilt) {
        if (!BuildFixedTables(state)) return 0;
        state->fixedBuilt = 1;
    }
    if (inputSize < 2 || input[0] != 'C' || input[1] != 'K') return 0;
    state->inputData = input + 2;
    state->inputLength = inputSize - 2;
    state->inputPos = 0;
    state->bitBuf = 0;
    state->bitCount = 0;
    state->outNext = output;
    state->outStart = output;
    state->outLimit = context->maxBlockSize;
    state->lastBlock = 0;
    return 1;
}

}  // namespace

int MszipCreate(uint32_t* maxBlockSize, CabAllocFn alloc, CabFreeFn free, uint32_t* inputBufferSize,
                MszipContext** handle) {
    if (*maxBlockSize == 0 || *maxBlockSize > mszipMaxBlockBytes) *maxBlockSize = mszipMaxBlockBytes;
    *inputBufferSize = *maxBlockSize + mszipInputSlackBytes;
    if (handle == nullptr) return MszipOk;

    *handle = nullptr;
    MszipContext* context = static_cast<MszipContext*>(alloc(sizeof(MszipContext)));
    if (context == nullptr) return MszipNoMemory;
    InflateState* state = static_cast<InflateState*>(alloc(sizeof(InflateState)));
    if (state == nullptr) {
        free(context);
        return MszipNoMemory;
    }
    memset(state, 0, sizeof *state);
    state->fixedLitBits = fixedLitRootBits;
    state->fixedDistBits = fixedDistRootBits;

    memset(context, 0, sizeof *context);
    context->alloc = alloc;
    context->free = free;
    context->maxBlockSize = *maxBlockSize;
    context->state = state;
    memcpy(context->signature, mszipSignature, sizeof mszipSignature);  // last: the context is now valid
    *handle = context;
    return MszipOk;
}

int MszipDecompress(MszipContext* handle, const uint8_t* input, uint32_t inputSize, uint8_t* output,
                    uint32_t* outputSize) {
    if (!HasSignature(handle)) return MszipBadContext;
    if (inputSize > handle->maxBlockSize + mszipInputSlackBytes) return MszipInputTooBig;
    if (!StartBlock(handle, input, inputSize, output)) return MszipDataError;

    InflateState* state = handle->state;
    state->outLeft = *outputSize < state->outLimit ? *outputSize : state->outLimit;
    uint32_t startLeft = state->outLeft;
    if (!InflateBlocks(state)) return MszipDataError;
    *outputSize = startLeft - state->outLeft;
    return MszipOk;
}

int MszipReset(MszipContext* handle) {
    // Nothing to reset: the fixed tables stay, and the history is the caller's buffer.
    return HasSignature(handle) ? MszipOk : MszipBadContext;
}

int MszipDestroy(MszipContext* handle) {
    if (!HasSignature(handle)) return MszipBadContext;
    memset(handle->signature, 0, sizeof handle->signature);
    CabFreeFn free = handle->free;
    free(handle->state);
    free(handle);
    return MszipOk;
}
