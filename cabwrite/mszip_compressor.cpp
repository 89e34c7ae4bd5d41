// mszip_compressor.cpp: MSZIP blocks from zlib's raw Deflate.
//
// Each block is a separate Deflate stream: the stream is reset, the previous
// 32 KB of the folder are set as dictionary, and the block is compressed with
// Z_FINISH, so it ends with a final block on its own. Incompressible data can
// come out of zlib a few bytes larger than the decoder's input buffer
// (32768 + 12 bytes, "CK" included); such a block is written instead as one
// stored Deflate block of 5 header bytes, which always fits.
#include "mszip_compressor.h"

#include <cstring>

#include "cabdecode.h"

namespace {

const uint32_t mszipSignatureBytes = 2;         // "CK"
const uint32_t mszipInputSlackBytes = 12;       // the decoder's input buffer is block + 12
const uint32_t deflateStoredHeaderBytes = 5;    // BFINAL/BTYPE byte, LEN, NLEN
const int rawDeflateWindowBits = -15;           // negative: no zlib header or trailer
const int deflateMemLevel = 8;

static_assert(mszipSignatureBytes + deflateStoredHeaderBytes + cabMaxBlockBytes <=
                  cabMaxBlockBytes + mszipInputSlackBytes,
              "a stored Deflate block must always fit the decoder's input buffer");

// One final stored Deflate block (RFC 1951, 3.2.4):
//   byte 0: bit 0 BFINAL = 1, bits 1-2 BTYPE = 00, the rest padding
//   LEN (16-bit LE), NLEN = LEN ^ 0xFFFF, then LEN bytes.
void AppendStoredDeflateBlock(const uint8_t* data, uint32_t size, std::vector<uint8_t>* out) {
    out->push_back(0x01);
    out->push_back(static_cast<uint8_t>(size));
    out->push_back(static_cast<uint8_t>(size >> 8));
    out->push_back(static_cast<uint8_t>(~size));
    out->push_back(static_cast<uint8_t>(~size >> 8));
    out->insert(out->end(), data, data + size);
}

}  // namespace

MszipCompressor::MszipCompressor(int level) {
    std::memset(&stream_, 0, sizeof stream_);
    if (level < 1 || level > 9) {
        return;
    }
    ready_ = deflateInit2(&stream_, level, Z_DEFLATED, rawDeflateWindowBits, deflateMemLevel,
                          Z_DEFAULT_STRATEGY) == Z_OK;
}

MszipCompressor::~MszipCompressor() {
    if (ready_) {
        deflateEnd(&stream_);
    }
}

uint32_t MszipCompressor::MaxStoredBytes() const {
    return cabMaxBlockBytes + mszipInputSlackBytes;
}

CabCompressStatus MszipCompressor::CompressBlock(const uint8_t* data, uint32_t size,
                                                 std::vector<uint8_t>* stored) {
    if (!ready_) {
        return CabCompressFailed;
    }
    if (size == 0 || size > cabMaxBlockBytes) {
        return CabCompressTooLarge;
    }
    if (deflateReset(&stream_) != Z_OK) {
        return CabCompressFailed;
    }
    if (!history_.empty() &&
        deflateSetDictionary(&stream_, history_.data(), static_cast<uInt>(history_.size())) != Z_OK) {
        return CabCompressFailed;
    }
    scratch_.resize(deflateBound(&stream_, size));
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = size;
    stream_.next_out = scratch_.data();
    stream_.avail_out = static_cast<uInt>(scratch_.size());
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) {
        return CabCompressFailed;
    }
    const uint32_t deflatedBytes = static_cast<uint32_t>(scratch_.size() - stream_.avail_out);

    stored->clear();
    stored->push_back('C');
    stored->push_back('K');
    if (deflatedBytes <= size + deflateStoredHeaderBytes) {
        stored->insert(stored->end(), scratch_.begin(), scratch_.begin() + deflatedBytes);
    } else {
        AppendStoredDeflateBlock(data, size, stored);
    }

    // The next block sees the last 32 KB of the folder; since every block but
    // the last is a full 32 KB, that is this block.
    if (size >= cabMaxBlockBytes) {
        history_.assign(data + size - cabMaxBlockBytes, data + size);
    } else {
        history_.insert(history_.end(), data, data + size);
        if (history_.size() > cabMaxBlockBytes) {
            history_.erase(history_.begin(), history_.end() - cabMaxBlockBytes);
        }
    }
    return CabCompressOk;
}
