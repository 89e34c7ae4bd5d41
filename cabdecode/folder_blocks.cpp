// folder_blocks.cpp: selecting a folder, reading its data blocks forward, and
// following it into the next cabinet of a set.
//
// DataBlockHeader, 8 + blockReserveSize bytes, kept as stored in blockHeader:
//
// | offset | bytes | field        |
// |--------|-------|--------------|
// | 0      | 4     | checksum     | CabChecksum of the block; 0 = none
// | 4      | 2     | packedSize   | stored bytes that follow the header
// | 6      | 2     | unpackedSize | bytes the block yields; 0 = first part of a split block
// | 8      | n     | reserved     | blockReserveSize bytes, for the hook
//
// FolderEntry, 8 + folderReserveSize bytes, kept as stored in folderEntry:
// dataOffset (4), blockCount (2), compression (2), reserved bytes.
#include "byte_reader.h"
#include "engine_steps.h"
#include "text_buffer.h"

static int32_t LastFolder(const CabDecoder* decoder) { return static_cast<int32_t>(decoder->header.folderCount) - 1; }

// Reads folder i from its first block: the decompressor starts afresh and
// blockStart counts from the folder's first byte.
static bool StartFolder(CabDecoder* decoder, int32_t i) {
    if (!ResetDecompressor(decoder) || !ReadFolderEntry(decoder, i, false)) return false;
    // Nothing of an earlier folder's block may count towards this one.
    decoder->blockStart = 0;
    CabPutField16(decoder->blockHeader, static_cast<uint32_t>(decoder->blockHeaderSize), blockUnpackedSizeAt, 0);
    // A folder without blocks (one that holds only empty files) leaves an
    // empty block at hand; a file with bytes in it then asks for the next
    // block, which either continues in the next cabinet or fails.
    if (decoder->blocksLeft == 0) return true;
    if (!NextDataBlock(decoder)) return false;
    decoder->blockStart = 0;
    return true;
}

bool SelectFolder(CabDecoder* decoder, uint16_t folderIndex) {
    if (decoder->continuing != 0) return true;
    int32_t i = folderIndex;
    if (folderIndex == FolderToNext || folderIndex == FolderPrevAndNext) i = LastFolder(decoder);
    // Checked before the comparison with currentFolder: with no folders at
    // all the last folder would be -1, and an index out of range must never
    // pass for the folder at hand.
    if (i < 0 || i >= decoder->header.folderCount) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    if (i == decoder->currentFolder) return true;
    return StartFolder(decoder, i);
}

bool RestartFolder(CabDecoder* decoder) { return StartFolder(decoder, decoder->currentFolder); }

bool ReadFolderEntry(CabDecoder* decoder, int32_t i, bool continuation) {
    decoder->currentFolder = i;
    if (i < 0 || i >= decoder->header.folderCount) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    uint32_t entrySize = static_cast<uint32_t>(decoder->folderEntrySize);
    uint64_t entryAt = static_cast<uint64_t>(decoder->folderEntriesOffset) + static_cast<uint64_t>(i) * entrySize;
    if (!SeekTo(decoder, decoder->dataHandle, entryAt) ||
        !ReadExact(decoder, decoder->dataHandle, decoder->folderEntry, entrySize) ||
        !SeekTo(decoder, decoder->dataHandle, CabField32(decoder->folderEntry, entrySize, folderDataOffsetAt))) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    decoder->blocksLeft = CabField16(decoder->folderEntry, entrySize, folderBlockCountAt);
    uint16_t word = CabField16(decoder->folderEntry, entrySize, folderCompressionAt);
    uint16_t type = static_cast<uint16_t>(word & cabCompressionTypeMask);
    if (type != CompressionNone && type != CompressionMszip && type != CompressionQuantum) {
        SetCabError(decoder, CabErrCompression);
        return false;
    }
    // A folder continued into this cabinet keeps its decompressor and the
    // first part of a split block in inBuffer; another compression word here
    // means the cabinet offered is not the continuation of this folder.
    if (continuation && word != decoder->compressionType) {
        SetCabError(decoder, CabErrWrongCabinet);
        return false;
    }
    if (!SetDecompressor(decoder, word)) return false;
    decoder->hookRecord.folderIndex = static_cast<uint16_t>(i);
    if (CallHook(decoder, HookFolder, decoder->folderEntry + cabFolderEntryFixedBytes,
                 static_cast<uint16_t>(entrySize - cabFolderEntryFixedBytes)) == -1) {
        SetCabError(decoder, CabErrAborted);
        return false;
    }
    return true;
}

// Whether the folder at hand may go on in the next cabinet: only a cabinet's
// last folder continues there. Running out of blocks anywhere else means the
// file claims more data than its folder has.
static bool MayContinue(CabDecoder* decoder) {
    if (decoder->currentFolder == LastFolder(decoder)) return true;
    SetCabError(decoder, CabErrCorrupt);
    return false;
}

bool NextDataBlock(CabDecoder* decoder) {
    uint64_t nextStart = static_cast<uint64_t>(decoder->blockStart) + BlockUnpackedSize(decoder);
    if (nextStart > 0xFFFFFFFFull) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    decoder->blockStart = static_cast<uint32_t>(nextStart);
    if (decoder->blocksLeft == 0 && !(MayContinue(decoder) && ContinueInNextCabinet(decoder))) return false;
    decoder->blocksLeft--;
    if (!ReadDataBlock(decoder, 0)) return false;

    if (BlockUnpackedSize(decoder) == 0) {
        // The first part of a split block: it must be the last block of the
        // last folder, and its second part is the first block of folder 0 in
        // the next cabinet, which that cabinet's blockCount includes.
        if (decoder->blocksLeft != 0 || !MayContinue(decoder)) {
            SetCabError(decoder, CabErrCorrupt);
            return false;
        }
        uint16_t firstPartSize = BlockPackedSize(decoder);
        if (!ContinueInNextCabinet(decoder)) return false;
        decoder->blocksLeft--;
        if (!ReadDataBlock(decoder, firstPartSize)) return false;
    }
    return DecompressBlock(decoder, BlockUnpackedSize(decoder));
}

bool ReadDataBlock(CabDecoder* decoder, uint32_t offset) {
    uint32_t headerSize = static_cast<uint32_t>(decoder->blockHeaderSize);
    if (!ReadExact(decoder, decoder->dataHandle, decoder->blockHeader, headerSize)) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    uint32_t packedSize = BlockPackedSize(decoder);
    if (offset > decoder->inBufferSize || packedSize > decoder->inBufferSize - offset) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    uint8_t* data = decoder->inBuffer + offset;
    if (packedSize > 0 && !ReadExact(decoder, decoder->dataHandle, data, packedSize)) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    uint32_t stored = CabField32(decoder->blockHeader, headerSize, blockChecksumAt);
    if (stored != 0) {
        // Over the stored bytes, then over the header from packedSize to its
        // end (reserved bytes included), as read.
        uint32_t check = CabChecksum(data, packedSize, 0);
        check = CabChecksum(decoder->blockHeader + blockPackedSizeAt, headerSize - blockPackedSizeAt, check);
        if (check != stored) {
            SetCabError(decoder, CabErrCorrupt);
            return false;
        }
    }
    // From here on packedSize counts every stored byte of the block in inBuffer.
    uint32_t wholeSize = offset + packedSize;  // at most inBufferSize, which fits 16 bits
    CabPutField16(decoder->blockHeader, headerSize, blockPackedSizeAt, static_cast<uint16_t>(wholeSize));

    CabHookRecord* record = &decoder->hookRecord;
    record->data = data;
    record->dataSize = static_cast<uint16_t>(wholeSize);
    record->split = (offset != 0 || BlockUnpackedSize(decoder) == 0) ? 1 : 0;
    record->partOffset = static_cast<uint16_t>(offset);
    if (CallHook(decoder, HookDataBlock, decoder->blockHeader + cabBlockHeaderFixedBytes,
                 static_cast<uint16_t>(headerSize - cabBlockHeaderFixedBytes)) == -1) {
        SetCabError(decoder, CabErrAborted);
        return false;
    }
    return true;
}

// Fills the NoticeNextCabinet request from the record's own buffers. Called
// before every request, because a failed attempt may have filled the notice
// for NoticeCabinetOpened in between.
static void FillNextCabinetRequest(CabDecoder* decoder, uint16_t setId, int32_t cabinetIndex, int32_t error) {
    CabNotice* notice = &decoder->notice;
    notice->text1 = decoder->requestCabinet;
    notice->text2 = decoder->requestDisk;
    notice->text3 = decoder->cabinetDir;
    notice->setId = setId;
    notice->cabinetIndex = static_cast<uint16_t>(cabinetIndex);
    notice->error = error;
}

// Passes over the entries of the new cabinet's list that belong to files
// already handled: the declined continuing files and the file being copied,
// which the new cabinet lists first, in the same order.
static bool SkipHandledEntries(CabDecoder* decoder) {
    uint32_t handled = static_cast<uint32_t>(decoder->declinedSpanning) + 1;
    decoder->declinedSpanning = 0;
    for (uint32_t n = 0; n < handled; n++) {
        if (decoder->filesLeft == 0) {
            SetCabError(decoder, CabErrCorrupt);  // the cabinet does not list the continued files
            return false;
        }
        decoder->filesLeft--;
        if (!ReadFileEntry(decoder)) return false;
    }
    return true;
}

bool ContinueInNextCabinet(CabDecoder* decoder) {
    CabCopyText(decoder->requestCabinet, cabNameBufferBytes, cabMaxStringChars, decoder->nextCabinet);
    CabCopyText(decoder->requestDisk, cabNameBufferBytes, cabMaxStringChars, decoder->nextDisk);
    uint16_t setId = decoder->header.setId;
    int32_t cabinetIndex = static_cast<int32_t>(decoder->header.cabinetIndex) + 1;
    int32_t lastAttempt = 0;
    // Retried until a cabinet fits or the callback answers -1; every round
    // sends a notice, so the callback alone decides how long this goes on.
    for (;;) {
        if (!CloseCabinetHandles(decoder, false)) {
            SetCabError(decoder, CabErrCorrupt);
            return false;
        }
        FillNextCabinetRequest(decoder, setId, cabinetIndex, lastAttempt);
        if (SendNotice(decoder, NoticeNextCabinet) == -1) {
            SetCabError(decoder, CabErrAborted);
            return false;
        }
        // The callback may have rewritten both buffers; they stay terminated.
        decoder->requestCabinet[cabNameBufferBytes - 1] = '\0';
        decoder->cabinetDir[cabNameBufferBytes - 1] = '\0';

        bool fits = OpenCabinet(decoder, decoder->requestCabinet, true, setId, cabinetIndex) &&
                    ReadFolderEntry(decoder, 0, true);
        if (fits && decoder->blocksLeft == 0) {
            SetCabError(decoder, CabErrCorrupt);  // nothing of the folder in this cabinet
            fits = false;
        }
        if (fits) break;
        if (decoder->lastError == CabErrAborted) return false;
        lastAttempt = decoder->lastError;
    }
    if (!SkipHandledEntries(decoder)) return false;
    decoder->continuing = 1;
    return true;
}
