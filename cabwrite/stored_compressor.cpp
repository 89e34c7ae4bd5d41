// stored_compressor.cpp: a stored block is the block's bytes, unchanged.
#include "stored_compressor.h"

#include "cabdecode.h"

CabCompressStatus StoredCompressor::CompressBlock(const uint8_t* data, uint32_t size,
                                                  std::vector<uint8_t>* stored) {
    if (size > cabMaxBlockBytes) {
        return CabCompressTooLarge;
    }
    stored->assign(data, data + size);
    return CabCompressOk;
}

uint32_t StoredCompressor::MaxStoredBytes() const {
    return cabMaxBlockBytes;
}
