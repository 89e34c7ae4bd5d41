// cabinet_open.cpp: opening a cabinet and reading everything in front of its
// folder entries: header, reserve areas, the names of the neighbouring
// cabinets, and the positions of the folder and file lists.
//
// Layout after the 36-byte header, each part present only with its flag:
//
// | part                          | flag            |
// |-------------------------------|-----------------|
// | ReserveSizes (2 + 1 + 1)      | FlagHasReserve  |
// | cabinet reserve area          | FlagHasReserve  |
// | previous cabinet, its disk    | FlagHasPrevious |
// | next cabinet, its disk        | FlagHasNext     |
// | FolderEntry records           | always          |
//
// No header field gives the position of the folder entries; it is where the
// parts above end.
#include <cstring>

#include "byte_reader.h"
#include "engine_steps.h"
#include "text_buffer.h"

static bool ParseHeader(const uint8_t* bytes, CabinetHeader* header) {
    CabByteReader reader = CabReaderOver(bytes, cabHeaderBytes);
    CabReadBytes(&reader, header->signature, 4);
    CabRead32(&reader);  // reserved
    header->cabinetSize = CabRead32(&reader);
    CabRead32(&reader);  // reserved
    header->filesOffset = CabRead32(&reader);
    CabRead32(&reader);  // reserved
    header->versionWord = CabRead16(&reader);
    header->folderCount = CabRead16(&reader);
    header->fileCount = CabRead16(&reader);
    header->flags = CabRead16(&reader);
    header->setId = CabRead16(&reader);
    header->cabinetIndex = CabRead16(&reader);
    return !reader.overrun;
}

// Allocates a zeroed buffer through the caller's alloc.
static uint8_t* AllocZeroed(CabDecoder* decoder, uint32_t bytes) {
    uint8_t* buffer = static_cast<uint8_t*>(decoder->alloc(bytes));
    if (buffer != nullptr) std::memset(buffer, 0, bytes);
    return buffer;
}

// The cabinet reserve area: its size is fixed by the first cabinet opened
// (0 for one without FlagHasReserve) and every later cabinet must agree, as
// its folder and block reserve sizes must.
static bool ReadCabinetReserve(CabDecoder* decoder, uint16_t storedSize) {
    if (decoder->cabinetReserveSize == cabReserveUnfixed) {
        if (storedSize != 0) {
            decoder->cabinetReserve = AllocZeroed(decoder, storedSize);
            if (decoder->cabinetReserve == nullptr) {
                SetCabError(decoder, CabErrMemory);
                return false;  // the size stays unfixed, so no later read goes into a missing buffer
            }
        }
        decoder->cabinetReserveSize = storedSize;
    } else if (decoder->cabinetReserveSize != storedSize) {
        SetCabError(decoder, CabErrReserve);
        return false;
    }
    if (decoder->cabinetReserveSize != 0 &&
        !ReadExact(decoder, decoder->listHandle, decoder->cabinetReserve,
                   static_cast<uint32_t>(decoder->cabinetReserveSize))) {
        SetCabError(decoder, CabErrNotCabinet);
        return false;
    }
    return true;
}

// Fixes an entry size at the first cabinet (allocating its buffer) or checks
// that a later cabinet has the same.
static bool FixEntrySize(CabDecoder* decoder, uint8_t** buffer, int32_t* fixedSize, int32_t size) {
    if (*buffer == nullptr) {
        *buffer = AllocZeroed(decoder, static_cast<uint32_t>(size));
        if (*buffer == nullptr) {
            SetCabError(decoder, CabErrMemory);
            return false;
        }
        *fixedSize = size;
        return true;
    }
    if (*fixedSize != size) {
        SetCabError(decoder, CabErrReserve);
        return false;
    }
    return true;
}

static bool ReadNamePair(CabDecoder* decoder, bool present, char* name, char* disk) {
    if (!present) {
        name[0] = '\0';
        disk[0] = '\0';
        return true;
    }
    return ReadCabString(decoder, name) && ReadCabString(decoder, disk);
}

bool OpenCabinet(CabDecoder* decoder, const char* name, bool expectSet, uint16_t expectedSetId,
                 int32_t expectedIndex) {
    if (!CabJoinText(decoder->openPath, cabNameBufferBytes, cabMaxPathChars, decoder->cabinetDir, name)) {
        SetCabError(decoder, CabErrOpen);
        return false;
    }
    decoder->listHandle = decoder->open(decoder->openPath, cabCabinetOpenFlags, cabCabinetOpenMode);
    if (decoder->listHandle == cabNoHandle) {
        SetCabError(decoder, CabErrOpen);
        return false;
    }
    decoder->dataHandle = decoder->open(decoder->openPath, cabCabinetOpenFlags, cabCabinetOpenMode);
    if (decoder->dataHandle == cabNoHandle) {
        SetCabError(decoder, CabErrOpen);
        return false;
    }

    uint8_t headerBytes[cabHeaderBytes];
    CabinetHeader header;
    if (!ReadExact(decoder, decoder->listHandle, headerBytes, cabHeaderBytes) || !ParseHeader(headerBytes, &header) ||
        std::memcmp(header.signature, "MSCF", 4) != 0) {
        SetCabError(decoder, CabErrNotCabinet);
        return false;
    }
    if (header.versionWord != cabVersionWord) {
        SetCabError(decoder, CabErrVersion, header.versionWord);
        return false;
    }
    if (expectSet && (header.setId != expectedSetId || header.cabinetIndex != expectedIndex)) {
        SetCabError(decoder, CabErrWrongCabinet);
        return false;
    }
    decoder->header = header;

    uint16_t cabinetReserveSize = 0;
    uint8_t folderReserveSize = 0;
    uint8_t blockReserveSize = 0;
    if (header.flags & FlagHasReserve) {
        uint8_t sizes[cabReserveSizesBytes];
        if (!ReadExact(decoder, decoder->listHandle, sizes, cabReserveSizesBytes)) {
            SetCabError(decoder, CabErrNotCabinet);
            return false;
        }
        CabByteReader reader = CabReaderOver(sizes, cabReserveSizesBytes);
        cabinetReserveSize = CabRead16(&reader);
        folderReserveSize = CabRead8(&reader);
        blockReserveSize = CabRead8(&reader);
    }
    if (!ReadCabinetReserve(decoder, cabinetReserveSize)) return false;
    if (!FixEntrySize(decoder, &decoder->folderEntry, &decoder->folderEntrySize,
                      static_cast<int32_t>(cabFolderEntryFixedBytes + folderReserveSize)))
        return false;
    if (!FixEntrySize(decoder, &decoder->blockHeader, &decoder->blockHeaderSize,
                      static_cast<int32_t>(cabBlockHeaderFixedBytes + blockReserveSize)))
        return false;

    if (!ReadNamePair(decoder, (header.flags & FlagHasPrevious) != 0, decoder->prevCabinet, decoder->prevDisk))
        return false;
    if (!ReadNamePair(decoder, (header.flags & FlagHasNext) != 0, decoder->nextCabinet, decoder->nextDisk))
        return false;

    decoder->folderEntriesOffset = decoder->seek(decoder->listHandle, 0, cabSeekFromCurrent);
    if (decoder->folderEntriesOffset < 0 || !SeekTo(decoder, decoder->listHandle, header.filesOffset)) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    decoder->filesLeft = header.fileCount;
    return NotifyCabinetOpened(decoder);
}

bool ReadCabString(CabDecoder* decoder, char* buffer) {
    const uint32_t maxBytes = cabMaxStringChars + 1;  // the string and its NUL
    buffer[0] = '\0';
    buffer[cabNameBufferBytes - 1] = '\0';
    int32_t start = decoder->seek(decoder->listHandle, 0, cabSeekFromCurrent);
    if (start < 0) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    // Fewer bytes than asked are fine here: a string may end near the end of
    // a small cabinet. Its NUL must lie within what was actually read.
    int32_t got = decoder->read(decoder->listHandle, buffer, maxBytes);
    if (got <= 0 || static_cast<uint32_t>(got) > maxBytes) {
        buffer[0] = '\0';
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    uint32_t length = 0;
    while (length < static_cast<uint32_t>(got) && buffer[length] != '\0') length++;
    if (length == static_cast<uint32_t>(got)) {
        buffer[0] = '\0';
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    if (!SeekTo(decoder, decoder->listHandle, static_cast<uint64_t>(start) + length + 1)) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    return true;
}

bool NotifyCabinetOpened(CabDecoder* decoder) {
    CabNotice* notice = &decoder->notice;
    notice->text1 = decoder->nextCabinet;
    notice->text2 = decoder->nextDisk;
    notice->text3 = decoder->cabinetDir;
    notice->setId = decoder->header.setId;
    notice->cabinetIndex = decoder->header.cabinetIndex;
    if (SendNotice(decoder, NoticeCabinetOpened) == -1) {
        SetCabError(decoder, CabErrAborted);
        return false;
    }
    // The hook is never handed a size without its buffer.
    bool haveReserve = decoder->cabinetReserve != nullptr && decoder->cabinetReserveSize > 0;
    decoder->hookRecord.setId = decoder->header.setId;
    decoder->hookRecord.cabinetIndex = decoder->header.cabinetIndex;
    if (CallHook(decoder, HookCabinet, haveReserve ? decoder->cabinetReserve : nullptr,
                 haveReserve ? static_cast<uint16_t>(decoder->cabinetReserveSize) : 0) == -1) {
        SetCabError(decoder, CabErrAborted);
        return false;
    }
    return true;
}
