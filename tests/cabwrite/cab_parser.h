// cab_parser.h: an independent reader of cabinet files for the writer's
// layout tests. It reads every field through a bounds-checked little-endian
// reader and keeps the raw values, so a test can check the writer's layout
// field by field without going through the decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ParsedBlock {
    uint32_t offset = 0;  // of the block header in the file
    uint32_t checksum = 0;
    uint16_t packedSize = 0;
    uint16_t unpackedSize = 0;
    std::vector<uint8_t> reserve;
    std::vector<uint8_t> stored;
};

struct ParsedFolder {
    uint32_t dataOffset = 0;
    uint16_t blockCount = 0;
    uint16_t compression = 0;
    std::vector<uint8_t> reserve;
    std::vector<ParsedBlock> blocks;
};

struct ParsedFile {
    uint32_t size = 0;
    uint32_t folderOffset = 0;
    uint16_t folderIndex = 0;
    uint16_t date = 0, time = 0, attributes = 0;
    std::string name;
};

struct ParsedCabinet {
    uint32_t cabinetSize = 0;
    uint32_t filesOffset = 0;
    uint16_t version = 0;
    uint16_t folderCount = 0, fileCount = 0, flags = 0, setId = 0, cabinetIndex = 0;
    uint32_t reserved4 = 0, reserved12 = 0, reserved20 = 0;
    uint16_t cabinetReserveSize = 0;
    uint8_t folderReserveSize = 0, blockReserveSize = 0;
    std::vector<uint8_t> cabinetReserve;
    std::string previousName, previousDisk, nextName, nextDisk;
    uint32_t folderEntriesOffset = 0;
    std::vector<ParsedFolder> folders;
    std::vector<ParsedFile> files;
    uint32_t endOfData = 0;  // where the last folder's last block ends
};

// False, with *problem, for anything that is not a well-formed cabinet.
bool ParseCabinet(const std::vector<uint8_t>& bytes, ParsedCabinet* cabinet, std::string* problem);

// The checksum of a block as the format defines it, computed from scratch.
uint32_t ReferenceBlockChecksum(const ParsedBlock& block);
