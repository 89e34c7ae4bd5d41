// quantum.cpp: placeholder so the library links while the Quantum decompressor
// is being written; every folder fails.
#include "quantum.h"

int QuantumCreate(uint32_t*, const QuantumConfig*, CabAllocFn, CabFreeFn, uint32_t*, QuantumContext**, CabOpenFn,
                  CabReadFn, CabWriteFn, CabCloseFn, CabSeekFn) {
    return QuantumBadWindow;
}
int QuantumDecompress(QuantumContext*, const uint8_t*, uint32_t, uint8_t*, const uint32_t*) { return QuantumBadContext; }
int QuantumReset(QuantumContext*) { return QuantumBadContext; }
int QuantumDestroy(QuantumContext*) { return QuantumBadContext; }
