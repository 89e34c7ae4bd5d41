// engine_steps.h: the steps of the extraction walk, shared by the engine's files.
//
// Every step returns true on success and false on failure; a failure has
// already recorded its code through SetCabError. Nothing here is part of the
// public interface.
#pragma once

#include <cstdint>

#include "decoder_state.h"

// Records a failure in the caller's error record: code, detail and failed = 1.
void SetCabError(CabDecoder* decoder, int32_t code, int32_t detail = 0);

// Cabinet I/O through the callbacks (cabinet_io.cpp). A read that returns
// another count than asked, and a seek that returns a negative position,
// are failures; these helpers record nothing, their callers pick the code.
bool ReadExact(CabDecoder* decoder, int32_t handle, void* buffer, uint32_t count);
bool SeekTo(CabDecoder* decoder, int32_t handle, uint64_t position);
// Closes both cabinet handles that are open (listHandle first when listFirst,
// else dataHandle first) and sets both to -1. Returns false when a close
// failed; both are attempted either way, so nothing stays open.
bool CloseCabinetHandles(CabDecoder* decoder, bool listFirst);

// Sends a notice with the record as filled by the caller (user is set here).
// Without a notification callback every notice is answered with 0.
int32_t SendNotice(CabDecoder* decoder, int32_t type);
// Calls the hook, if any, with kind, user and the reserve area filled here
// (null when reserveSize is 0) and the kind's fields as filled by the caller.
// Returns 0 without a hook.
int32_t CallHook(CabDecoder* decoder, int32_t kind, uint8_t* reserve, uint16_t reserveSize);

// cabinet_open.cpp
// Opens cabinetDir + name and reads its header, reserve area, names and
// positions; with expectSet, the header must carry expectedSetId and
// expectedIndex (code 10). Handles opened so far stay open on failure.
bool OpenCabinet(CabDecoder* decoder, const char* name, bool expectSet, uint16_t expectedSetId,
                 int32_t expectedIndex);
// Reads a NUL-terminated string of at most 255 characters at listHandle's
// position into buffer (cabNameBufferBytes) and leaves the position just
// behind its NUL. Code 4 when nothing could be read or no NUL lies within the
// bytes read; buffer is then empty.
bool ReadCabString(CabDecoder* decoder, char* buffer);
// Sends NoticeCabinetOpened for the cabinet just read, then HookCabinet.
// Code 11 when either answers -1.
bool NotifyCabinetOpened(CabDecoder* decoder);

// file_walk.cpp
// Reads the next FileEntry and its name through listHandle (code 4).
bool ReadFileEntry(CabDecoder* decoder);
// Writes the file in fileEntry to outputHandle and sends NoticeCloseOutput.
// On every failure but a close answer of 0 the output handle is closed here;
// in all cases outputHandle is -1 afterwards.
bool CopyFileData(CabDecoder* decoder);

// folder_blocks.cpp
// Makes the file's folder the current one, reading its first block unless
// it is already current (or the walk continues a folder from the previous
// cabinet). An index outside the cabinet's folders is code 4.
bool SelectFolder(CabDecoder* decoder, uint16_t folderIndex);
// Reads the current folder again from its first block (files out of order).
bool RestartFolder(CabDecoder* decoder);
// Reads FolderEntry i and sets up its decompressor. With continuation set,
// the entry must continue the folder at hand: same compression word.
bool ReadFolderEntry(CabDecoder* decoder, int32_t i, bool continuation);
// Moves to the next block of the current folder, following it into the
// next cabinet when this cabinet has no more of it (only from the last
// folder; elsewhere code 4), joins the two parts of a split block, and
// decompresses the block into outBuffer.
bool NextDataBlock(CabDecoder* decoder);
// Reads one block header and its stored bytes to inBuffer + offset (offset:
// the first part's size when reading a split block's second part), checks
// the checksum, makes packedSize count every stored byte of the block, and
// calls the hook. Code 4 for short reads, oversized blocks and checksums.
bool ReadDataBlock(CabDecoder* decoder, uint32_t offset);
// Asks for the next cabinet of the set until one fits (the callback ends
// the requests with -1, code 11), opens it with its folder 0 as the current
// folder, and passes over the entries of files already handled.
bool ContinueInNextCabinet(CabDecoder* decoder);

// decompressor_switch.cpp
// Makes the decompressor match the compression word: nothing when it does
// (all 16 bits), else releases the old one and creates the new one.
bool SetDecompressor(CabDecoder* decoder, uint16_t word);
// Destroys the context and frees both buffers; a destroy that fails is code 7
// and leaves the buffers with the context.
bool ReleaseDecompressor(CabDecoder* decoder);
// Creates the decompressor for compressionType with its two buffers. On
// failure (code 5 for memory, else 7) nothing is left and compressionType is
// CompressionUnset.
bool CreateDecompressor(CabDecoder* decoder);
// Starts the decompressor afresh for another folder (code 7 on failure).
bool ResetDecompressor(CabDecoder* decoder);
// For CabDecoderDestroy: destroys the decompressor and frees both buffers
// whatever the destroy call answers, and records nothing.
void DiscardDecompressor(CabDecoder* decoder);
// Decompresses the stored bytes in inBuffer; unpackedSize is the block's
// expected yield. Fails with code 7 when the yield differs.
bool DecompressBlock(CabDecoder* decoder, uint32_t unpackedSize);

// Fields of the block header and folder entry at hand.
uint16_t BlockPackedSize(const CabDecoder* decoder);
uint16_t BlockUnpackedSize(const CabDecoder* decoder);
