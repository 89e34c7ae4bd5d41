// mszip_compressor.h: folders of compression type 1 (MSZIP).
//
// A block's stored bytes are "CK" and a raw Deflate stream that ends with a
// final Deflate block. The blocks of a folder share history: each block is
// compressed with the folder's previous 32 KB as preset dictionary, which is
// exactly what the decoder keeps in its window.
#pragma once

#include <vector>

#include <zlib.h>

#include "block_compressor.h"

class MszipCompressor : public CabBlockCompressor {
public:
    explicit MszipCompressor(int level);
    ~MszipCompressor() override;
    MszipCompressor(const MszipCompressor&) = delete;
    MszipCompressor& operator=(const MszipCompressor&) = delete;

    // False when zlib could not set up its stream; CompressBlock then fails.
    bool Ready() const { return ready_; }

    CabCompressStatus CompressBlock(const uint8_t* data, uint32_t size, std::vector<uint8_t>* stored) override;
    uint32_t MaxStoredBytes() const override;

private:
    z_stream stream_;
    bool ready_ = false;
    std::vector<uint8_t> history_;  // the folder's last (up to) 32 KB
    std::vector<uint8_t> scratch_;
};
