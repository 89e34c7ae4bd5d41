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
bool ReadCabString(CabDecoder* decoder, char* buffer);
bool NotifyCabinetOpened(CabDecoder* decoder);

// file_walk.cpp
bool ReadFileEntry(CabDecoder* decoder);
bool CopyFileData(CabDecoder* decoder);

// folder_blocks.cpp
bool SelectFolder(CabDecoder* decoder, uint16_t folderIndex);
// Reads the current folder again from its first block (files out of order).
bool RestartFolder(CabDecoder* decoder);
// Reads FolderEntry i and sets up its decompressor. With continuation set,
// the entry must continue the folder at hand: same compression word.
bool ReadFolderEntry(CabDecoder* decoder, int32_t i, bool continuation);
bool NextDataBlock(CabDecoder* decoder);
bool ReadDataBlock(CabDecoder* decoder, uint32_t offset);
bool ContinueInNextCabinet(CabDecoder* decoder);

// decompressor_switch.cpp
bool SetDecompressor(CabDecoder* decoder, uint16_t word);
bool ReleaseDecompressor(CabDecoder* decoder);
bool CreateDecompressor(CabDecoder* decoder);
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
