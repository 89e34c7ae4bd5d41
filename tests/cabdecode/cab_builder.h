// cab_builder.h: builds cabinet files byte by byte for the decoder's tests.
//
// A CabinetSpec describes one cabinet: header fields, reserve areas, the
// names of its neighbours, its folders with their data blocks, and its file
// entries. BuildCabinet lays them out in the order a cabinet is read (header,
// reserve, names, folder entries, file entries, data blocks) and computes the
// offsets and checksums, unless a spec overrides a field to make it wrong on
// purpose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

enum class BlockChecksum {
    Computed,  // the correct CabChecksum of the block
    None,      // 0: no checksum
    Given,     // checksumValue as it stands
};

struct CabBlockSpec {
    Bytes stored;                   // the stored bytes that follow the header
    uint16_t unpackedSize = 0;      // 0 marks the first part of a split block
    BlockChecksum checksum = BlockChecksum::Computed;
    uint32_t checksumValue = 0;     // with BlockChecksum::Given
    Bytes reserve;                  // block reserve bytes; padded with 0 to blockReserveSize
    int32_t packedSizeOverride = -1;  // >= 0: written as packedSize instead of stored.size()
};

struct CabFolderSpec {
    uint16_t compression = 0;        // the compression word
    Bytes reserve;                   // folder reserve bytes; padded with 0 to folderReserveSize
    std::vector<CabBlockSpec> blocks;
    int32_t blockCountOverride = -1;   // >= 0: written as blockCount instead of blocks.size()
    int64_t dataOffsetOverride = -1;   // >= 0: written as dataOffset
};

struct CabFileSpec {
    std::string name;
    uint32_t fileSize = 0;
    uint32_t folderOffset = 0;
    uint16_t folderIndex = 0;
    uint16_t date = 0x5A21;   // 2025-01-01
    uint16_t time = 0x6000;   // 12:00:00
    uint16_t attributes = 0x20;
    bool nameUnterminated = false;  // write the name without its NUL
};

struct CabinetSpec {
    std::string signature = "MSCF";
    uint16_t versionWord = 0x0103;
    uint16_t setId = 0x1234;
    uint16_t cabinetIndex = 0;
    // Reserve: with hasReserve, FlagHasReserve and the three sizes are
    // written; cabinetReserveSizeOverride >= 0 writes another stored size
    // than cabinetReserve.size().
    bool hasReserve = false;
    Bytes cabinetReserve;
    int32_t cabinetReserveSizeOverride = -1;
    uint8_t folderReserveSize = 0;
    uint8_t blockReserveSize = 0;
    bool hasPrevious = false;
    std::string prevCabinet, prevDisk;
    bool hasNext = false;
    std::string nextCabinet, nextDisk;
    std::vector<CabFolderSpec> folders;
    std::vector<CabFileSpec> files;
    int32_t folderCountOverride = -1;  // >= 0: written as folderCount
    int32_t fileCountOverride = -1;    // >= 0: written as fileCount
    int64_t filesOffsetOverride = -1;  // >= 0: written as filesOffset
    uint16_t extraFlags = 0;           // ORed into flags (bits the decoder ignores)
};

// Little-endian byte writer.
class ByteWriter {
public:
    void Put8(uint8_t value) { bytes_.push_back(value); }
    void Put16(uint16_t value) {
        Put8(static_cast<uint8_t>(value));
        Put8(static_cast<uint8_t>(value >> 8));
    }
    void Put32(uint32_t value) {
        Put16(static_cast<uint16_t>(value));
        Put16(static_cast<uint16_t>(value >> 16));
    }
    void PutBytes(const Bytes& bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
    // The text followed by its NUL, unless terminate is false.
    void PutString(const std::string& text, bool terminate = true) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        if (terminate) Put8(0);
    }
    void Patch32(size_t at, uint32_t value) {
        for (int i = 0; i < 4; i++) bytes_[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    size_t Size() const { return bytes_.size(); }
    const Bytes& Get() const { return bytes_; }

private:
    Bytes bytes_;
};

Bytes BuildCabinet(const CabinetSpec& spec);

// n bytes of a recognisable pattern that differs with seed.
Bytes PatternBytes(size_t n, uint32_t seed);
// A whole stored block: packedSize = unpackedSize = the bytes' length.
CabBlockSpec StoredBlock(const Bytes& bytes);
// A block's bytes cut in two parts: the first (unpackedSize 0) ends one
// cabinet's last folder, the second (unpackedSize = the whole) begins the next
// cabinet's folder 0.
CabBlockSpec SplitFirstPart(const Bytes& whole, size_t firstPartBytes);
CabBlockSpec SplitSecondPart(const Bytes& whole, size_t firstPartBytes);
// The checksum a block header must carry for these stored bytes and this
// header tail (packedSize, unpackedSize and reserve bytes as stored).
uint32_t BlockChecksumOf(const Bytes& stored, uint16_t packedSize, uint16_t unpackedSize, const Bytes& reserve);
