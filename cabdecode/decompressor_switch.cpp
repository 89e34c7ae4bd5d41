// decompressor_switch.cpp: the decompressor that follows the compression word
// of the folder being read (stored, MSZIP or Quantum), and its two buffers.
//
// inBuffer and outBuffer exist exactly while compressionType is not
// CompressionUnset. outBuffer doubles as the MSZIP window, so it is kept (not
// cleared, not replaced) for as long as the compression word stays the same.
#include <cstring>

#include "byte_reader.h"
#include "engine_steps.h"
#include "mszip.h"
#include "quantum.h"

static uint16_t CompressionTypeOf(uint16_t word) { return static_cast<uint16_t>(word & cabCompressionTypeMask); }

static QuantumConfig QuantumConfigOf(uint16_t word) {
    QuantumConfig config;
    config.windowBits = (word >> 8) & 0x1F;
    return config;
}

static void FreeBlockBuffers(CabDecoder* decoder) {
    if (decoder->inBuffer != nullptr) decoder->free(decoder->inBuffer);
    if (decoder->outBuffer != nullptr) decoder->free(decoder->outBuffer);
    decoder->inBuffer = nullptr;
    decoder->outBuffer = nullptr;
}

uint16_t BlockPackedSize(const CabDecoder* decoder) {
    return CabField16(decoder->blockHeader, static_cast<uint32_t>(decoder->blockHeaderSize), blockPackedSizeAt);
}

uint16_t BlockUnpackedSize(const CabDecoder* decoder) {
    return CabField16(decoder->blockHeader, static_cast<uint32_t>(decoder->blockHeaderSize), blockUnpackedSizeAt);
}

bool SetDecompressor(CabDecoder* decoder, uint16_t word) {
    if (word == decoder->compressionType) return true;
    if (!ReleaseDecompressor(decoder)) {
        SetCabError(decoder, CabErrDecompress);
        return false;
    }
    decoder->compressionType = word;
    return CreateDecompressor(decoder);
}

bool ReleaseDecompressor(CabDecoder* decoder) {
    uint16_t word = decoder->compressionType;
    if (word == CompressionUnset) return true;
    int status = 0;
    switch (CompressionTypeOf(word)) {
        case CompressionMszip:
            status = MszipDestroy(static_cast<MszipContext*>(decoder->decompressor));
            break;
        case CompressionQuantum:
            status = QuantumDestroy(static_cast<QuantumContext*>(decoder->decompressor));
            break;
        default:
            break;
    }
    if (status != 0) {
        // The context is still alive, so its buffers stay with it.
        SetCabError(decoder, CabErrDecompress);
        return false;
    }
    decoder->decompressor = nullptr;
    FreeBlockBuffers(decoder);
    decoder->compressionType = CompressionUnset;
    return true;
}

// Sizes first (a query that allocates nothing), then the two buffers, then
// the context that works on them.
bool CreateDecompressor(CabDecoder* decoder) {
    uint16_t word = decoder->compressionType;
    uint16_t type = CompressionTypeOf(word);
    QuantumConfig quantumConfig = QuantumConfigOf(word);
    decoder->decompressor = nullptr;
    decoder->outBufferSize = cabMaxBlockBytes;
    int sizeStatus = 0;
    if (type == CompressionNone) {
        decoder->inBufferSize = cabMaxBlockBytes;
    } else if (type == CompressionMszip) {
        sizeStatus = MszipCreate(&decoder->outBufferSize, nullptr, nullptr, &decoder->inBufferSize, nullptr);
    } else if (type == CompressionQuantum) {
        sizeStatus = QuantumCreate(&decoder->outBufferSize, &quantumConfig, nullptr, nullptr, &decoder->inBufferSize,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    } else {
        sizeStatus = -1;
    }
    // The engine indexes outBuffer by a block's unpackedSize (at most 32768)
    // and keeps packedSize in 16 bits, so sizes outside those bounds are
    // refused rather than trusted.
    if (sizeStatus != 0 || decoder->outBufferSize == 0 || decoder->outBufferSize > cabMaxBlockBytes ||
        decoder->inBufferSize == 0 || decoder->inBufferSize > 0xFFFF) {
        decoder->compressionType = CompressionUnset;
        SetCabError(decoder, CabErrDecompress);
        return false;
    }

    decoder->inBuffer = static_cast<uint8_t*>(decoder->alloc(decoder->inBufferSize));
    decoder->outBuffer =
        decoder->inBuffer != nullptr ? static_cast<uint8_t*>(decoder->alloc(decoder->outBufferSize)) : nullptr;
    if (decoder->inBuffer == nullptr || decoder->outBuffer == nullptr) {
        FreeBlockBuffers(decoder);
        decoder->compressionType = CompressionUnset;
        SetCabError(decoder, CabErrMemory);
        return false;
    }

    int status = 0;
    if (type == CompressionMszip) {
        MszipContext* context = nullptr;
        status = MszipCreate(&decoder->outBufferSize, decoder->alloc, decoder->free, &decoder->inBufferSize, &context);
        decoder->decompressor = context;
    } else if (type == CompressionQuantum) {
        QuantumContext* context = nullptr;
        status = QuantumCreate(&decoder->outBufferSize, &quantumConfig, decoder->alloc, decoder->free,
                               &decoder->inBufferSize, &context, decoder->open, decoder->read, decoder->write,
                               decoder->close, decoder->seek);
        decoder->decompressor = context;
    }
    if (status != 0) {
        decoder->decompressor = nullptr;
        FreeBlockBuffers(decoder);
        decoder->compressionType = CompressionUnset;
        SetCabError(decoder, status == 1 ? CabErrMemory : CabErrDecompress);
        return false;
    }
    return true;
}

bool ResetDecompressor(CabDecoder* decoder) {
    uint16_t word = decoder->compressionType;
    if (word == CompressionUnset) return true;
    int status = 0;
    switch (CompressionTypeOf(word)) {
        case CompressionMszip:
            status = MszipReset(static_cast<MszipContext*>(decoder->decompressor));
            break;
        case CompressionQuantum:
            status = QuantumReset(static_cast<QuantumContext*>(decoder->decompressor));
            break;
        default:
            break;
    }
    if (status != 0) {
        SetCabError(decoder, CabErrDecompress);
        return false;
    }
    return true;
}

bool DecompressBlock(CabDecoder* decoder, uint32_t unpackedSize) {
    uint32_t packedSize = BlockPackedSize(decoder);
    uint16_t word = decoder->compressionType;
    // A block can never yield more than outBuffer holds; refusing it here
    // keeps a decompressor that writes exactly unpackedSize bytes inside it.
    if (word == CompressionUnset || unpackedSize > decoder->outBufferSize || packedSize > decoder->inBufferSize) {
        SetCabError(decoder, CabErrDecompress);
        return false;
    }
    uint32_t yield = 0;
    int status = 0;
    switch (CompressionTypeOf(word)) {
        case CompressionNone:
            if (packedSize > decoder->outBufferSize) {
                status = -1;
                break;
            }
            std::memcpy(decoder->outBuffer, decoder->inBuffer, packedSize);
            yield = packedSize;
            break;
        case CompressionMszip:
            yield = decoder->outBufferSize;
            status = MszipDecompress(static_cast<MszipContext*>(decoder->decompressor), decoder->inBuffer, packedSize,
                                     decoder->outBuffer, &yield);
            break;
        case CompressionQuantum:
            yield = unpackedSize;
            status = QuantumDecompress(static_cast<QuantumContext*>(decoder->decompressor), decoder->inBuffer,
                                       packedSize, decoder->outBuffer, &yield);
            break;
        default:
            status = -1;
            break;
    }
    if (status != 0 || yield != unpackedSize) {
        SetCabError(decoder, CabErrDecompress);
        return false;
    }
    return true;
}

void DiscardDecompressor(CabDecoder* decoder) {
    uint16_t type = decoder->compressionType == CompressionUnset ? static_cast<uint16_t>(CompressionUnset)
                                                                  : CompressionTypeOf(decoder->compressionType);
    switch (type) {
        case CompressionMszip:
            MszipDestroy(static_cast<MszipContext*>(decoder->decompressor));
            break;
        case CompressionQuantum:
            QuantumDestroy(static_cast<QuantumContext*>(decoder->decompressor));
            break;
        default:
            break;
    }
    decoder->decompressor = nullptr;
    FreeBlockBuffers(decoder);
    decoder->compressionType = CompressionUnset;
}
