// cabdecode.h: the public interface of the cabinet decoder.
//
// The decoder reads Microsoft Cabinet files (signature "MSCF", version 1.3),
// with stored, MSZIP and Quantum folders, reserve areas and cabinet sets. It
// makes no operating-system call: every byte of memory and every file access
// goes through the caller's callbacks (CabIo), and every file found in a
// cabinet is reported to the caller's notification callback, which decides
// whether and where its bytes go.
//
// All four operations return 1 (or the record) on success and 0 (or null) on
// failure, leaving the reason in the caller's CabError. Nothing throws.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------
// Callbacks. Handles are integers; -1 is never a valid handle.

typedef void* (*CabAllocFn)(uint32_t sizeBytes);             // null on failure
typedef void (*CabFreeFn)(void* block);
typedef int32_t (*CabOpenFn)(const char* path, int32_t flags, int32_t mode);  // -1 on failure
typedef int32_t (*CabReadFn)(int32_t handle, void* buffer, uint32_t count);   // bytes, 0 at end, -1
typedef int32_t (*CabWriteFn)(int32_t handle, const void* buffer, uint32_t count);
typedef int32_t (*CabCloseFn)(int32_t handle);                               // 0, nonzero on failure
typedef int32_t (*CabSeekFn)(int32_t handle, int32_t offset, int32_t origin);  // new position or -1

// The seven callbacks in the order CabDecoderCreate takes them.
struct CabIo {
    CabAllocFn alloc;
    CabFreeFn free;
    CabOpenFn open;
    CabReadFn read;
    CabWriteFn write;
    CabCloseFn close;
    CabSeekFn seek;
};

// Open flags and modes, in the C runtime's encoding on Windows. A CabIo on
// another file interface maps them.
enum CabOpenFlag : int32_t {
    CabOpenReadOnly = 0x0000,
    CabOpenWriteOnly = 0x0001,
    CabOpenReadWrite = 0x0002,
    CabOpenAppend = 0x0008,
    CabOpenSequential = 0x0020,
    CabOpenTemporary = 0x0040,
    CabOpenCreate = 0x0100,
    CabOpenTruncate = 0x0200,
    CabOpenExclusive = 0x0400,
    CabOpenText = 0x4000,
    CabOpenBinary = 0x8000,
};
enum CabOpenMode : int32_t {
    CabModeWrite = 0x0080,
    CabModeRead = 0x0100,
};
// What the decoder passes when it opens a cabinet file.
const int32_t cabCabinetOpenFlags = CabOpenBinary | CabOpenReadOnly;  // 0x8000
const int32_t cabCabinetOpenMode = CabModeRead | CabModeWrite;        // 0x180
// Seek origins.
const int32_t cabSeekFromStart = 0;
const int32_t cabSeekFromCurrent = 1;

// ---------------------------------------------------------------------------
// Errors.

enum CabErrorCode : int32_t {
    CabErrNone = 0,           // never written by the decoder
    CabErrOpen = 1,           // open returned -1, or a path longer than the decoder's limit
    CabErrNotCabinet = 2,     // short header, bad signature, short reserve read
    CabErrVersion = 3,        // version word not 0x0103 (detail: the word)
    CabErrCorrupt = 4,        // short/failed seek, read or close; bad string; oversized block; checksum
    CabErrMemory = 5,         // alloc failed
    CabErrCompression = 6,    // unknown compression type
    CabErrDecompress = 7,     // the decompressor refused or failed; wrong block yield
    CabErrWrite = 8,          // short write; NoticeCloseOutput returned 0
    CabErrReserve = 9,        // a later cabinet's reserve sizes differ from the first one's
    CabErrWrongCabinet = 10,  // a next cabinet of another set or index
    CabErrAborted = 11,       // a callback returned -1
};

// Owned by the caller; written by the decoder at every failure. The decoder
// sets all three together and never clears them.
struct CabError {
    int32_t code;    // a CabErrorCode
    int32_t detail;  // the version word for CabErrVersion, else 0
    int32_t failed;  // 1 once any failure was recorded
};

// ---------------------------------------------------------------------------
// Format constants.

const uint32_t cabHeaderBytes = 36;
const uint32_t cabMaxStringChars = 255;        // a string's NUL lies within its first 256 bytes
const uint32_t cabNameBufferBytes = 257;       // the decoder's name buffers
const uint32_t cabMaxPathChars = 256;          // cabinetDir, and it joined with a name
const uint32_t cabMaxBlockBytes = 32768;       // uncompressed bytes of one data block
const uint16_t cabVersionWord = 0x0103;

enum CabHeaderFlag : uint16_t {
    FlagHasPrevious = 0x0001,
    FlagHasNext = 0x0002,
    FlagHasReserve = 0x0004,
};

enum CabFolderIndex : uint16_t {
    FolderFromPrevious = 0xFFFD,
    FolderToNext = 0xFFFE,
    FolderPrevAndNext = 0xFFFF,
};

enum CabCompression : uint16_t {
    CompressionNone = 0,
    CompressionMszip = 1,
    CompressionQuantum = 2,
    CompressionUnset = 15,
};
const uint16_t cabCompressionTypeMask = 0x000F;
// Quantum: bits 8-12 hold the window's base-2 logarithm.
inline uint16_t CabQuantumWord(int windowBits) {
    return static_cast<uint16_t>(CompressionQuantum | ((windowBits & 0x1F) << 8));
}

const uint16_t AttrNoticeFlag = 0x0040;

// ---------------------------------------------------------------------------
// Probe result.

struct CabInfo {
    int32_t cabinetSize;
    uint16_t folderCount;
    uint16_t fileCount;
    uint16_t setId;
    uint16_t cabinetIndex;
    int32_t hasReserve;   // 1 with FlagHasReserve, else 0
    int32_t hasPrevious;  // 1 with FlagHasPrevious, else 0
    int32_t hasNext;      // flags & FlagHasNext: 2 when set, else 0
};

// ---------------------------------------------------------------------------
// Notifications.

enum CabNoticeType : int32_t {
    NoticeCabinetOpened = 0,
    NoticeContinuedFile = 1,
    NoticeOpenOutput = 2,
    NoticeCloseOutput = 3,
    NoticeNextCabinet = 4,
};

// One record, reused for every notice; a field that a notice type does not
// fill keeps what an earlier notice left there. The texts point into the
// decoder and are valid during the call. For NoticeNextCabinet the callback
// may rewrite text1 and text3 (buffers of cabNameBufferBytes).
struct CabNotice {
    int32_t size;
    char* text1;
    char* text2;
    char* text3;
    void* user;
    int32_t handle;
    uint16_t date;
    uint16_t time;
    uint16_t attributes;
    uint16_t setId;
    uint16_t cabinetIndex;
    int32_t error;
};

// Results: -1 stops the whole extraction (CabErrAborted). For NoticeOpenOutput
// 0 skips the file and any other value is the output handle; for
// NoticeCloseOutput 0 is a failure (CabErrWrite) and any other value success.
typedef int32_t (*CabNotify)(int32_t type, CabNotice* notice);

// ---------------------------------------------------------------------------
// The optional block hook.

enum CabHookKind : int32_t {
    HookCabinet = 0,
    HookFolder = 1,
    HookDataBlock = 2,
};

struct CabHookRecord {
    int32_t kind;          // a CabHookKind
    void* user;
    uint8_t* reserve;      // reserved bytes of the cabinet, folder entry or block header, or null
    uint16_t reserveSize;
    // HookCabinet
    uint16_t setId;
    int32_t cabinetIndex;
    // HookFolder
    uint16_t folderIndex;
    // HookDataBlock: the stored bytes of the part just read (the hook may
    // change them in place). For a split block's second part, data points just
    // behind the first part and dataSize counts both parts.
    uint8_t* data;
    uint16_t dataSize;
    int32_t split;
    uint16_t partOffset;
};

// Result -1 stops the extraction (CabErrAborted); anything else goes on.
typedef int32_t (*CabBlockHook)(CabHookRecord* record);

// ---------------------------------------------------------------------------
// The decoder.

struct CabDecoder;  // defined in decoder_state.h; the caller holds it opaquely

// Allocates a decoder through alloc. Opens and reads nothing. On failure sets
// error to CabErrMemory and returns null.
CabDecoder* CabDecoderCreate(CabAllocFn alloc, CabFreeFn free, CabOpenFn open, CabReadFn read,
                             CabWriteFn write, CabCloseFn close, CabSeekFn seek, CabError* error);

// Reads 36 bytes from the handle's current position (no seek, no close) and
// reports the header. 0 for anything that is not a cabinet (error untouched),
// or for a wrong version (CabErrVersion with the word as detail).
int CabDecoderProbe(CabDecoder* decoder, int32_t handle, CabInfo* info);

// Extracts the cabinet cabinetDir + cabinetName (no separator inserted;
// cabinetDir ends in the host's separator or is empty), following the folder
// into later cabinets of its set where a file continues. hook may be null.
// Both cabinet handles are closed on every path. May be called again.
int CabDecoderExtract(CabDecoder* decoder, const char* cabinetName, const char* cabinetDir,
                      CabNotify notify, CabBlockHook hook, void* user);

// Releases the decompressor, the buffers, the open cabinet handles and the
// record. Leaves output handles alone. Always returns 1.
int CabDecoderDestroy(CabDecoder* decoder);

// The data-block checksum: XOR of little-endian 32-bit groups, with the 0-3
// remaining bytes folded in most significant first.
uint32_t CabChecksum(const void* data, uint32_t length, uint32_t seed);
