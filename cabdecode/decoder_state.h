// decoder_state.h: the CabDecoder record, the whole state of one decoder.
//
// The record is allocated through the caller's alloc callback and holds no
// pointer to anything the decoder does not own, apart from the caller's error
// record and callbacks. It is plain data: CabDecoderCreate fills every field
// explicitly, so no constructor runs.
#pragma once

#include <cstdint>

#include "cabdecode.h"

// The parsed CabinetHeader of the open cabinet (36 bytes on disk):
//
// | offset | bytes | field          |
// |--------|-------|----------------|
// | 0      | 4     | signature      | "MSCF"
// | 4      | 4     | reserved       |
// | 8      | 4     | cabinetSize    |
// | 12     | 4     | reserved       |
// | 16     | 4     | filesOffset    |
// | 20     | 4     | reserved       |
// | 24     | 2     | versionWord    | minor byte, then major byte: 0x0103
// | 26     | 2     | folderCount    |
// | 28     | 2     | fileCount      |
// | 30     | 2     | flags          | FlagHasPrevious, FlagHasNext, FlagHasReserve
// | 32     | 2     | setId          |
// | 34     | 2     | cabinetIndex   |
struct CabinetHeader {
    uint8_t signature[4];
    uint32_t cabinetSize;
    uint32_t filesOffset;
    uint16_t versionWord;
    uint16_t folderCount;
    uint16_t fileCount;
    uint16_t flags;
    uint16_t setId;
    uint16_t cabinetIndex;
};

// The 16 fixed bytes of a FileEntry, parsed; the name follows on disk and is
// read into CabDecoder::fileName.
//
// | offset | bytes | field        |
// |--------|-------|--------------|
// | 0      | 4     | fileSize     |
// | 4      | 4     | folderOffset | first byte within the folder's uncompressed data
// | 8      | 2     | folderIndex  | or FolderFromPrevious / FolderToNext / FolderPrevAndNext
// | 10     | 2     | date         | MS-DOS date
// | 12     | 2     | time         | MS-DOS time
// | 14     | 2     | attributes   |
struct CabFileEntry {
    uint32_t fileSize;
    uint32_t folderOffset;
    uint16_t folderIndex;
    uint16_t date;
    uint16_t time;
    uint16_t attributes;
};

const uint32_t cabFileEntryBytes = 16;
const uint32_t cabFolderEntryFixedBytes = 8;  // dataOffset, blockCount, compression
const uint32_t cabBlockHeaderFixedBytes = 8;  // checksum, packedSize, unpackedSize
const uint32_t cabReserveSizesBytes = 4;      // cabinetReserveSize, folderReserveSize, blockReserveSize
const int32_t cabNoHandle = -1;
const int32_t cabNoFolder = 0xFFFF;
const int32_t cabSizeUnfixed = 0xFFFF;  // entry sizes before the first cabinet fixes them
// The cabinet reserve size before the first cabinet fixes it. Not 0xFFFF:
// that is a size a cabinet may store, and taking it for "not fixed yet" would
// allocate the area again at every cabinet and lose the earlier one.
const int32_t cabReserveUnfixed = -1;

// Field offsets inside the FolderEntry and DataBlockHeader buffers, which keep
// the bytes as stored so that the hook can see their reserved tails.
const uint32_t folderDataOffsetAt = 0;    // 32-bit
const uint32_t folderBlockCountAt = 4;    // 16-bit
const uint32_t folderCompressionAt = 6;   // 16-bit
const uint32_t blockChecksumAt = 0;       // 32-bit
const uint32_t blockPackedSizeAt = 4;     // 16-bit
const uint32_t blockUnpackedSizeAt = 6;   // 16-bit

struct CabDecoder {
    CabError* error;    // the caller's error record
    int32_t lastError;  // the code most recently recorded, also when error is null

    // The caller's CabIo callbacks.
    CabAllocFn alloc;
    CabFreeFn free;
    CabOpenFn open;
    CabReadFn read;
    CabWriteFn write;
    CabCloseFn close;
    CabSeekFn seek;

    // Callbacks of the extraction in progress.
    CabNotify notify;
    CabBlockHook hook;

    int32_t folderEntriesOffset;  // position of the first FolderEntry in the open cabinet
    uint32_t blockStart;          // folder offset of the first byte in outBuffer
    void* decompressor;           // MszipContext or QuantumContext, by compressionType
    void* user;                   // the caller's value for this extraction

    uint8_t* inBuffer;     // stored bytes of the block at hand (both parts of a split block)
    uint8_t* outBuffer;    // what they decompress to; also the MSZIP window
    uint8_t* folderEntry;  // folderEntrySize bytes: the current FolderEntry as stored
    uint8_t* blockHeader;  // blockHeaderSize bytes: the current DataBlockHeader as stored
    uint8_t* cabinetReserve;  // cabinetReserveSize bytes, or null

    CabinetHeader header;    // the open cabinet's header
    CabFileEntry fileEntry;  // the FileEntry at hand

    int32_t dataHandle;    // folder entries and data blocks; -1 when closed
    int32_t listHandle;    // header, strings and file entries; -1 when closed
    int32_t outputHandle;  // from NoticeOpenOutput for the file being written; -1 when none
    int32_t currentFolder;  // index of the folder being read; cabNoFolder when none

    uint32_t outBufferSize;
    uint32_t inBufferSize;

    int32_t continuing;  // 1 once the walk has entered a cabinet by continuation

    // Fixed by the first cabinet this decoder opens; cabReserveUnfixed and
    // cabSizeUnfixed until then.
    int32_t cabinetReserveSize;
    int32_t folderEntrySize;  // 8 + folderReserveSize
    int32_t blockHeaderSize;  // 8 + blockReserveSize

    uint16_t filesLeft;         // FileEntry records of the open cabinet not read yet
    uint16_t declinedSpanning;  // declined files that continue into the next cabinet
    uint16_t blocksLeft;        // blocks of the current folder in the open cabinet not read yet
    uint16_t compressionType;   // word of the existing decompressor; CompressionUnset when none

    char fileName[cabNameBufferBytes];
    char prevCabinet[cabNameBufferBytes];
    char prevDisk[cabNameBufferBytes];
    char nextCabinet[cabNameBufferBytes];
    char nextDisk[cabNameBufferBytes];
    char cabinetDir[cabNameBufferBytes];  // the folder in which cabinets are opened
    char openPath[cabNameBufferBytes];    // cabinetDir followed by the cabinet being opened

    // The names of a NoticeNextCabinet request. They are kept apart from
    // nextCabinet and nextDisk because a failed attempt reads the offered
    // cabinet's own names into those, while a repeated request must carry the
    // names of the request before it (as the callback may have rewritten them).
    char requestCabinet[cabNameBufferBytes];
    char requestDisk[cabNameBufferBytes];

    CabNotice notice;
    CabHookRecord hookRecord;
};
