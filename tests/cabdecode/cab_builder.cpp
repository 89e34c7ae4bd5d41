// cab_builder.cpp: lays out a CabinetSpec as cabinet bytes. The checksum is
// computed here independently of the decoder's CabChecksum, so a fault in one
// does not hide a fault in the other.
#include "cab_builder.h"

#include <algorithm>

namespace {

// XOR of little-endian 32-bit groups; the 0-3 bytes left over form one value
// with the first byte most significant.
uint32_t ReferenceChecksum(const Bytes& bytes, uint32_t seed) {
    uint32_t value = seed;
    size_t i = 0;
    for (; i + 4 <= bytes.size(); i += 4)
        value ^= uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8 | uint32_t(bytes[i + 2]) << 16 |
                 uint32_t(bytes[i + 3]) << 24;
    uint32_t tail = 0;
    for (; i < bytes.size(); i++) tail = (tail << 8) | bytes[i];
    return value ^ tail;
}

Bytes Padded(const Bytes& bytes, size_t size) {
    Bytes out(bytes.begin(), bytes.begin() + std::min(bytes.size(), size));
    out.resize(size, 0);
    return out;
}

}  // namespace

uint32_t BlockChecksumOf(const Bytes& stored, uint16_t packedSize, uint16_t unpackedSize, const Bytes& reserve) {
    ByteWriter tail;
    tail.Put16(packedSize);
    tail.Put16(unpackedSize);
    tail.PutBytes(reserve);
    return ReferenceChecksum(tail.Get(), ReferenceChecksum(stored, 0));
}

Bytes BuildCabinet(const CabinetSpec& spec) {
    ByteWriter w;
    uint16_t flags = spec.extraFlags;
    if (spec.hasPrevious) flags |= 0x0001;
    if (spec.hasNext) flags |= 0x0002;
    if (spec.hasReserve) flags |= 0x0004;

    // CabinetHeader, 36 bytes.
    w.PutString(spec.signature.substr(0, 4), false);       // 0: signature
    for (size_t i = spec.signature.size(); i < 4; i++) w.Put8(0);
    w.Put32(0);                                            // 4: reserved
    size_t cabinetSizeAt = w.Size();
    w.Put32(0);                                            // 8: cabinetSize, patched below
    w.Put32(0);                                            // 12: reserved
    size_t filesOffsetAt = w.Size();
    w.Put32(0);                                            // 16: filesOffset, patched below
    w.Put32(0);                                            // 20: reserved
    w.Put16(spec.versionWord);                             // 24: versionMinor, versionMajor
    w.Put16(spec.folderCountOverride >= 0 ? uint16_t(spec.folderCountOverride)
                                          : uint16_t(spec.folders.size()));  // 26: folderCount
    w.Put16(spec.fileCountOverride >= 0 ? uint16_t(spec.fileCountOverride)
                                        : uint16_t(spec.files.size()));      // 28: fileCount
    w.Put16(flags);                                        // 30: flags
    w.Put16(spec.setId);                                   // 32: setId
    w.Put16(spec.cabinetIndex);                            // 34: cabinetIndex

    if (spec.hasReserve) {
        uint16_t storedSize = spec.cabinetReserveSizeOverride >= 0 ? uint16_t(spec.cabinetReserveSizeOverride)
                                                                   : uint16_t(spec.cabinetReserve.size());
        w.Put16(storedSize);               // cabinetReserveSize
        w.Put8(spec.folderReserveSize);    // folderReserveSize
        w.Put8(spec.blockReserveSize);     // blockReserveSize
        w.PutBytes(spec.cabinetReserve);   // the cabinet reserve area
    }
    if (spec.hasPrevious) {
        w.PutString(spec.prevCabinet);     // previous cabinet's file name
        w.PutString(spec.prevDisk);        // its disk
    }
    if (spec.hasNext) {
        w.PutString(spec.nextCabinet);     // next cabinet's file name
        w.PutString(spec.nextDisk);        // its disk
    }
    uint8_t folderReserve = spec.hasReserve ? spec.folderReserveSize : 0;
    uint8_t blockReserve = spec.hasReserve ? spec.blockReserveSize : 0;

    // FolderEntry records; dataOffset is patched once the blocks are placed.
    std::vector<size_t> dataOffsetAt;
    for (const CabFolderSpec& folder : spec.folders) {
        dataOffsetAt.push_back(w.Size());
        w.Put32(0);                                          // dataOffset
        w.Put16(folder.blockCountOverride >= 0 ? uint16_t(folder.blockCountOverride)
                                               : uint16_t(folder.blocks.size()));  // blockCount
        w.Put16(folder.compression);                         // compression word
        w.PutBytes(Padded(folder.reserve, folderReserve));   // reserved bytes
    }

    // FileEntry records.
    w.Patch32(filesOffsetAt, spec.filesOffsetOverride >= 0 ? uint32_t(spec.filesOffsetOverride)
                                                           : uint32_t(w.Size()));
    for (const CabFileSpec& file : spec.files) {
        w.Put32(file.fileSize);       // fileSize
        w.Put32(file.folderOffset);   // folderOffset
        w.Put16(file.folderIndex);    // folderIndex
        w.Put16(file.date);           // date
        w.Put16(file.time);           // time
        w.Put16(file.attributes);     // attributes
        w.PutString(file.name, !file.nameUnterminated);
    }

    // Data blocks, folder after folder.
    for (size_t f = 0; f < spec.folders.size(); f++) {
        const CabFolderSpec& folder = spec.folders[f];
        w.Patch32(dataOffsetAt[f], folder.dataOffsetOverride >= 0 ? uint32_t(folder.dataOffsetOverride)
                                                                  : uint32_t(w.Size()));
        for (const CabBlockSpec& block : folder.blocks) {
            Bytes reserve = Padded(block.reserve, blockReserve);
            uint16_t packedSize = block.packedSizeOverride >= 0 ? uint16_t(block.packedSizeOverride)
                                                                : uint16_t(block.stored.size());
            uint32_t checksum = 0;
            if (block.checksum == BlockChecksum::Computed)
                checksum = BlockChecksumOf(block.stored, packedSize, block.unpackedSize, reserve);
            else if (block.checksum == BlockChecksum::Given)
                checksum = block.checksumValue;
            w.Put32(checksum);             // checksum
            w.Put16(packedSize);           // packedSize
            w.Put16(block.unpackedSize);   // unpackedSize
            w.PutBytes(reserve);           // reserved bytes
            w.PutBytes(block.stored);      // stored bytes
        }
    }
    w.Patch32(cabinetSizeAt, uint32_t(w.Size()));
    return w.Get();
}

Bytes PatternBytes(size_t n, uint32_t seed) {
    Bytes bytes(n);
    uint32_t x = seed * 2654435761u + 12345;
    for (size_t i = 0; i < n; i++) {
        x = x * 1103515245u + 12345;
        bytes[i] = uint8_t(x >> 16);
    }
    return bytes;
}

CabBlockSpec StoredBlock(const Bytes& bytes) {
    CabBlockSpec block;
    block.stored = bytes;
    block.unpackedSize = uint16_t(bytes.size());
    return block;
}

CabBlockSpec SplitFirstPart(const Bytes& whole, size_t firstPartBytes) {
    CabBlockSpec block;
    block.stored.assign(whole.begin(), whole.begin() + firstPartBytes);
    block.unpackedSize = 0;
    return block;
}

CabBlockSpec SplitSecondPart(const Bytes& whole, size_t firstPartBytes) {
    CabBlockSpec block;
    block.stored.assign(whole.begin() + firstPartBytes, whole.end());
    block.unpackedSize = uint16_t(whole.size());
    return block;
}
