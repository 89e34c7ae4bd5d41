// stored_compressor.h: folders of compression type 0, whose blocks hold the
// data as it is.
#pragma once

#include "block_compressor.h"

class StoredCompressor : public CabBlockCompressor {
public:
    CabCompressStatus CompressBlock(const uint8_t* data, uint32_t size, std::vector<uint8_t>* stored) override;
    uint32_t MaxStoredBytes() const override;
};
