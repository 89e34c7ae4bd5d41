// block_compressor.h: the interface between the folder layer and a
// compression method.
//
// A folder's uncompressed data is cut into blocks of cabMaxBlockBytes; every
// block but the folder's last is exactly that long. One compressor object
// serves one folder from its first block to its last, so a method whose
// history runs across blocks (MSZIP's 32 KB dictionary, Quantum's models and
// window) keeps it in the object. Whether a block is later split between two
// cabinets is no concern of the compressor: it sees whole blocks only.
#pragma once

#include <cstdint>
#include <vector>

enum CabCompressStatus : int {
    CabCompressOk = 0,
    CabCompressFailed = 1,    // the method's library reported an error
    CabCompressTooLarge = 2,  // the stored bytes would exceed maxStoredBytes()
};

class CabBlockCompressor {
public:
    virtual ~CabBlockCompressor() = default;

    // Compresses the next block of the folder, 1 to cabMaxBlockBytes bytes, and
    // replaces *stored with the bytes to store. Blocks arrive in folder order.
    virtual CabCompressStatus CompressBlock(const uint8_t* data, uint32_t size,
                                            std::vector<uint8_t>* stored) = 0;

    // The largest number of stored bytes one block can take: the decoder's
    // input buffer for this method. The writer never stores a larger block.
    virtual uint32_t MaxStoredBytes() const = 0;
};
