// file_walk.cpp: the extraction call, the walk over a cabinet's file list and
// the copying of one accepted file from its folder's blocks to its output.
//
// An extraction handles every file that begins in the cabinet it was given,
// including the rest of files that continue into later cabinets; files that
// began in an earlier cabinet are only announced (NoticeContinuedFile), and
// files that begin in a later cabinet are left to a call for that cabinet.
#include "byte_reader.h"
#include "engine_steps.h"
#include "text_buffer.h"

static bool IsFromPrevious(uint16_t folderIndex) {
    return folderIndex == FolderFromPrevious || folderIndex == FolderPrevAndNext;
}

static bool IsToNext(uint16_t folderIndex) { return folderIndex == FolderToNext || folderIndex == FolderPrevAndNext; }

static void FillFileNotice(CabDecoder* decoder) {
    CabNotice* notice = &decoder->notice;
    notice->size = static_cast<int32_t>(decoder->fileEntry.fileSize);
    notice->text1 = decoder->fileName;
    notice->text2 = decoder->prevCabinet;
    notice->text3 = decoder->prevDisk;
    notice->date = decoder->fileEntry.date;
    notice->time = decoder->fileEntry.time;
    notice->attributes = decoder->fileEntry.attributes;
}

// Handles one FileEntry just read: announce it, offer it, or pass it over.
static bool WalkFileEntry(CabDecoder* decoder) {
    FillFileNotice(decoder);
    uint16_t folderIndex = decoder->fileEntry.folderIndex;
    bool fromPrevious = IsFromPrevious(folderIndex);
    if (decoder->continuing == 0 && fromPrevious) {
        if (SendNotice(decoder, NoticeContinuedFile) == -1) {
            SetCabError(decoder, CabErrAborted);
            return false;
        }
        return true;
    }
    // In a cabinet entered by continuation only the files continued from the
    // previous one are ours; those that begin here belong to a later call.
    if (decoder->continuing != 0 && !fromPrevious) return true;

    int32_t answer = SendNotice(decoder, NoticeOpenOutput);
    if (answer == -1) {
        SetCabError(decoder, CabErrAborted);
        return false;
    }
    if (answer == 0) {
        if (IsToNext(folderIndex)) decoder->declinedSpanning++;
        return true;
    }
    decoder->outputHandle = answer;
    return CopyFileData(decoder);
}

int CabDecoderExtract(CabDecoder* decoder, const char* cabinetName, const char* cabinetDir, CabNotify notify,
                      CabBlockHook hook, void* user) {
    if (decoder == nullptr) return 0;
    decoder->notify = notify;
    decoder->hook = hook;
    decoder->user = user;
    decoder->declinedSpanning = 0;
    decoder->continuing = 0;
    decoder->currentFolder = cabNoFolder;
    decoder->outputHandle = cabNoHandle;

    int result = 0;
    // A folder or a name that does not fit the path buffer is refused before
    // anything is opened, rather than opened cut short.
    if (cabinetName == nullptr ||
        !CabCopyText(decoder->cabinetDir, cabNameBufferBytes, cabMaxPathChars, cabinetDir ? cabinetDir : "")) {
        SetCabError(decoder, CabErrOpen);
    } else if (OpenCabinet(decoder, cabinetName, false, 0, 0)) {
        decoder->continuing = 0;
        decoder->currentFolder = cabNoFolder;
        result = 1;
        while (decoder->filesLeft > 0) {
            decoder->filesLeft--;
            if (!ReadFileEntry(decoder) || !WalkFileEntry(decoder)) {
                result = 0;
                break;
            }
        }
    }
    CloseCabinetHandles(decoder, true);
    return result;
}

bool ReadFileEntry(CabDecoder* decoder) {
    uint8_t bytes[cabFileEntryBytes];
    if (!ReadExact(decoder, decoder->listHandle, bytes, cabFileEntryBytes)) {
        SetCabError(decoder, CabErrCorrupt);
        return false;
    }
    CabByteReader reader = CabReaderOver(bytes, cabFileEntryBytes);
    CabFileEntry* entry = &decoder->fileEntry;
    entry->fileSize = CabRead32(&reader);
    entry->folderOffset = CabRead32(&reader);
    entry->folderIndex = CabRead16(&reader);
    entry->date = CabRead16(&reader);
    entry->time = CabRead16(&reader);
    entry->attributes = CabRead16(&reader);
    return ReadCabString(decoder, decoder->fileName);
}

// The uncompressed offset just behind the block at hand, in 64 bits so that
// a folder running up to 4 GiB cannot wrap round.
static uint64_t BlockEnd(const CabDecoder* decoder) {
    return static_cast<uint64_t>(decoder->blockStart) + BlockUnpackedSize(decoder);
}

// Writes the bytes [pos, pos + left) of the current folder to outputHandle,
// reading blocks forward as needed. A file that ends exactly at the end of a
// block reads no further block.
static bool WriteFolderBytes(CabDecoder* decoder, uint64_t pos, uint64_t left) {
    while (left > 0) {
        while (pos >= BlockEnd(decoder)) {
            if (!NextDataBlock(decoder)) return false;
        }
        uint32_t k = static_cast<uint32_t>(pos - decoder->blockStart);
        uint32_t n = BlockUnpackedSize(decoder) - k;
        if (n > left) n = static_cast<uint32_t>(left);
        int32_t written = decoder->write(decoder->outputHandle, decoder->outBuffer + k, n);
        if (written < 0 || static_cast<uint32_t>(written) != n) {
            SetCabError(decoder, CabErrWrite);
            return false;
        }
        pos += n;
        left -= n;
    }
    return true;
}

static bool SendCloseOutput(CabDecoder* decoder) {
    CabNotice* notice = &decoder->notice;
    uint16_t attributes = decoder->fileEntry.attributes;
    notice->text1 = decoder->fileName;
    notice->handle = decoder->outputHandle;
    notice->date = decoder->fileEntry.date;
    notice->time = decoder->fileEntry.time;
    notice->size = (attributes & AttrNoticeFlag) ? 1 : 0;
    notice->attributes = static_cast<uint16_t>(attributes & ~AttrNoticeFlag);
    int32_t answer = SendNotice(decoder, NoticeCloseOutput);
    if (answer == -1) {
        SetCabError(decoder, CabErrAborted);
        return false;  // the handle is still ours to close
    }
    decoder->outputHandle = cabNoHandle;  // from here on it is the callback's
    if (answer == 0) {
        SetCabError(decoder, CabErrWrite);
        return false;
    }
    return true;
}

bool CopyFileData(CabDecoder* decoder) {
    const CabFileEntry& entry = decoder->fileEntry;
    uint64_t pos = entry.folderOffset;
    uint64_t left = entry.fileSize;
    bool copied = false;
    // A file must lie inside the 4 GiB that 32-bit folder offsets address.
    if (pos + left > 0x100000000ull) {
        SetCabError(decoder, CabErrCorrupt);
    } else if (SelectFolder(decoder, entry.folderIndex)) {
        if (left == 0) {
            copied = true;
        } else if (pos < decoder->blockStart) {
            // The walk only moves forward. In the cabinet the call was given
            // the folder can be read again from its start; after a change of
            // cabinet its start is no longer reachable.
            if (decoder->continuing != 0) {
                SetCabError(decoder, CabErrCorrupt);
            } else {
                copied = RestartFolder(decoder) && WriteFolderBytes(decoder, pos, left);
            }
        } else {
            copied = WriteFolderBytes(decoder, pos, left);
        }
    }
    if (copied && SendCloseOutput(decoder)) return true;
    if (decoder->outputHandle != cabNoHandle) {
        decoder->close(decoder->outputHandle);
        decoder->outputHandle = cabNoHandle;
    }
    return false;
}
