// cab_records.h: one cabinet as the writer lays it out, before it becomes
// bytes, and the sizes of its parts.
//
// The layout engine fills these records and charges every part's size as it
// goes; the serializer turns a finished record into bytes with the same size
// functions, so the budget and the file agree to the byte.
//
//   CabinetHeader        36 bytes
//   ReserveSizes          4 bytes + cabinet reserve   (only with FlagHasReserve)
//   previous name, disk   two strings                 (only with FlagHasPrevious)
//   next name, disk       two strings                 (only with FlagHasNext)
//   FolderEntry          8 + folderReserve bytes each
//   FileEntry            16 bytes + name + NUL each
//   data blocks          8 + blockReserve + stored bytes each, folder by folder
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One data block, or one part of a block split between two cabinets: the
// first part has unpackedSize 0, the second the size of the whole block.
struct CabOutBlock {
    std::vector<uint8_t> stored;
    uint16_t unpackedSize = 0;
};

// A folder's entry and its blocks in this cabinet.
struct CabOutFolder {
    uint16_t compressionWord = 0;
    std::vector<CabOutBlock> blocks;
};

struct CabOutFile {
    std::string name;
    uint32_t size = 0;
    uint32_t folderOffset = 0;
    uint16_t folderIndex = 0;  // an index, or FolderFromPrevious/FolderToNext/FolderPrevAndNext
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attributes = 0;
};

// The reserve areas of every cabinet of a set; the sizes are the same in all.
struct CabReserveLayout {
    bool present = false;                // FlagHasReserve and the 4 ReserveSizes bytes
    std::vector<uint8_t> cabinetReserve; // the cabinet reserve area's content
    uint8_t folderReserveBytes = 0;
    uint8_t blockReserveBytes = 0;
    uint8_t fillByte = 0;                // content of folder and block reserve bytes
};

struct CabOutCabinet {
    uint16_t setId = 0;
    uint16_t cabinetIndex = 0;
    bool hasPrevious = false;
    bool hasNext = false;
    std::string previousName, previousDisk, nextName, nextDisk;
    std::vector<CabOutFolder> folders;
    std::vector<CabOutFile> files;
};

const uint32_t cabFolderEntryFixedBytes = 8;
const uint32_t cabFileEntryFixedBytes = 16;
const uint32_t cabBlockHeaderFixedBytes = 8;
const uint32_t cabReserveSizesBytes = 4;

// Bytes of the header and everything before the folder entries.
uint32_t CabPrefixBytes(const CabOutCabinet& cabinet, const CabReserveLayout& reserve);
uint32_t CabFolderEntryBytes(const CabReserveLayout& reserve);
uint32_t CabFileEntryBytes(const std::string& name);
uint32_t CabBlockHeaderBytes(const CabReserveLayout& reserve);
// Bytes of the whole cabinet file.
uint64_t CabTotalBytes(const CabOutCabinet& cabinet, const CabReserveLayout& reserve);
