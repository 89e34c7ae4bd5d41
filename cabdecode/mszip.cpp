// mszip.cpp: placeholder so the library links while the MSZIP decompressor is
// being written; every block fails.
#include "mszip.h"

int MszipCreate(uint32_t* maxBlockSize, CabAllocFn, CabFreeFn, uint32_t* inputBufferSize, MszipContext** handle) {
    if (*maxBlockSize == 0 || *maxBlockSize > 32768) *maxBlockSize = 32768;
    *inputBufferSize = *maxBlockSize + 12;
    if (handle) *handle = nullptr;
    return handle ? MszipNoMemory : MszipOk;
}
int MszipDecompress(MszipContext*, const uint8_t*, uint32_t, uint8_t*, uint32_t*) { return MszipBadContext; }
int MszipReset(MszipContext*) { return MszipBadContext; }
int MszipDestroy(MszipContext*) { return MszipBadContext; }
