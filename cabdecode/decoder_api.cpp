// decoder_api.cpp: creating, probing and destroying a decoder.
//
// The extraction itself is file_walk.cpp. None of these opens a file of its
// own; the probe reads from a handle the caller already holds.
#include <cstring>

#include "byte_reader.h"
#include "engine_steps.h"

static void RecordError(CabError* error, int32_t code, int32_t detail) {
    if (error == nullptr) return;
    error->code = code;
    error->detail = detail;
    error->failed = 1;
}

CabDecoder* CabDecoderCreate(CabAllocFn alloc, CabFreeFn free, CabOpenFn open, CabReadFn read, CabWriteFn write,
                             CabCloseFn close, CabSeekFn seek, CabError* error) {
    if (alloc == nullptr || free == nullptr || open == nullptr || read == nullptr || write == nullptr ||
        close == nullptr || seek == nullptr) {
        RecordError(error, CabErrMemory, 0);
        return nullptr;
    }
    CabDecoder* decoder = static_cast<CabDecoder*>(alloc(sizeof(CabDecoder)));
    if (decoder == nullptr) {
        RecordError(error, CabErrMemory, 0);
        return nullptr;
    }
    std::memset(decoder, 0, sizeof(CabDecoder));
    decoder->error = error;
    decoder->alloc = alloc;
    decoder->free = free;
    decoder->open = open;
    decoder->read = read;
    decoder->write = write;
    decoder->close = close;
    decoder->seek = seek;
    decoder->decompressor = nullptr;
    decoder->inBuffer = nullptr;
    decoder->outBuffer = nullptr;
    decoder->folderEntry = nullptr;
    decoder->blockHeader = nullptr;
    decoder->cabinetReserve = nullptr;
    decoder->compressionType = CompressionUnset;
    decoder->cabinetReserveSize = cabReserveUnfixed;
    decoder->folderEntrySize = cabSizeUnfixed;
    decoder->blockHeaderSize = cabSizeUnfixed;
    decoder->dataHandle = cabNoHandle;
    decoder->listHandle = cabNoHandle;
    decoder->outputHandle = cabNoHandle;
    decoder->currentFolder = cabNoFolder;
    return decoder;
}

int CabDecoderProbe(CabDecoder* decoder, int32_t handle, CabInfo* info) {
    if (decoder == nullptr || info == nullptr) return 0;
    uint8_t bytes[cabHeaderBytes];
    int32_t got = decoder->read(handle, bytes, cabHeaderBytes);
    // A file too short or with another signature is simply not a cabinet.
    if (got != static_cast<int32_t>(cabHeaderBytes)) return 0;
    if (std::memcmp(bytes, "MSCF", 4) != 0) return 0;

    CabByteReader reader = CabReaderOver(bytes, cabHeaderBytes);
    reader.pos = 8;
    uint32_t cabinetSize = CabRead32(&reader);
    reader.pos = 24;
    uint16_t versionWord = CabRead16(&reader);
    uint16_t folderCount = CabRead16(&reader);
    uint16_t fileCount = CabRead16(&reader);
    uint16_t flags = CabRead16(&reader);
    uint16_t setId = CabRead16(&reader);
    uint16_t cabinetIndex = CabRead16(&reader);
    if (versionWord != cabVersionWord) {
        // Written straight into the caller's record: the probe leaves every
        // field of the decoder as it was.
        RecordError(decoder->error, CabErrVersion, versionWord);
        return 0;
    }
    info->cabinetSize = static_cast<int32_t>(cabinetSize);
    info->folderCount = folderCount;
    info->fileCount = fileCount;
    info->setId = setId;
    info->cabinetIndex = cabinetIndex;
    info->hasReserve = (flags & FlagHasReserve) ? 1 : 0;
    info->hasPrevious = (flags & FlagHasPrevious) ? 1 : 0;
    info->hasNext = flags & FlagHasNext;
    return 1;
}

int CabDecoderDestroy(CabDecoder* decoder) {
    if (decoder == nullptr) return 1;
    // A decompressor that refuses to be destroyed still gives its buffers
    // back here: the record goes away, so nothing could free them later.
    DiscardDecompressor(decoder);
    if (decoder->cabinetReserve != nullptr) decoder->free(decoder->cabinetReserve);
    if (decoder->folderEntry != nullptr) decoder->free(decoder->folderEntry);
    if (decoder->blockHeader != nullptr) decoder->free(decoder->blockHeader);
    CloseCabinetHandles(decoder, true);
    CabFreeFn freeRecord = decoder->free;
    freeRecord(decoder);
    return 1;
}
