// cab_serialize.cpp: writes the records of cab_records.h as a cabinet file.
#include "cab_serialize.h"

#include "byte_writer.h"
#include "cab_checksum.h"
#include "cabdecode.h"

uint32_t CabPrefixBytes(const CabOutCabinet& cabinet, const CabReserveLayout& reserve) {
    uint32_t bytes = cabHeaderBytes;
    if (reserve.present) {
        bytes += cabReserveSizesBytes + static_cast<uint32_t>(reserve.cabinetReserve.size());
    }
    if (cabinet.hasPrevious) {
        bytes += static_cast<uint32_t>(cabinet.previousName.size() + 1 + cabinet.previousDisk.size() + 1);
    }
    if (cabinet.hasNext) {
        bytes += static_cast<uint32_t>(cabinet.nextName.size() + 1 + cabinet.nextDisk.size() + 1);
    }
    return bytes;
}

uint32_t CabFolderEntryBytes(const CabReserveLayout& reserve) {
    return cabFolderEntryFixedBytes + reserve.folderReserveBytes;
}

uint32_t CabFileEntryBytes(const std::string& name) {
    return cabFileEntryFixedBytes + static_cast<uint32_t>(name.size()) + 1;
}

uint32_t CabBlockHeaderBytes(const CabReserveLayout& reserve) {
    return cabBlockHeaderFixedBytes + reserve.blockReserveBytes;
}

uint64_t CabTotalBytes(const CabOutCabinet& cabinet, const CabReserveLayout& reserve) {
    uint64_t bytes = CabPrefixBytes(cabinet, reserve);
    bytes += static_cast<uint64_t>(cabinet.folders.size()) * CabFolderEntryBytes(reserve);
    for (const CabOutFile& file : cabinet.files) {
        bytes += CabFileEntryBytes(file.name);
    }
    for (const CabOutFolder& folder : cabinet.folders) {
        for (const CabOutBlock& block : folder.blocks) {
            bytes += CabBlockHeaderBytes(reserve) + block.stored.size();
        }
    }
    return bytes;
}

bool SerializeCabinet(const CabOutCabinet& cabinet, const CabReserveLayout& reserve, bool withChecksums,
                      std::vector<uint8_t>* bytes) {
    const uint64_t totalBytes = CabTotalBytes(cabinet, reserve);
    // CabInfo reports the size as a signed 32-bit number.
    if (totalBytes > 0x7FFFFFFF || cabinet.files.size() > 0xFFFF || cabinet.folders.size() >= FolderFromPrevious ||
        reserve.cabinetReserve.size() > 0xFFFF) {
        return false;
    }
    for (const CabOutFolder& folder : cabinet.folders) {
        if (folder.blocks.size() > 0xFFFF) {
            return false;
        }
    }

    bytes->clear();
    bytes->reserve(static_cast<size_t>(totalBytes));
    ByteWriter out(bytes);

    const uint32_t folderEntriesOffset = CabPrefixBytes(cabinet, reserve);
    const uint32_t filesOffset =
        folderEntriesOffset + static_cast<uint32_t>(cabinet.folders.size()) * CabFolderEntryBytes(reserve);
    uint32_t dataOffset = filesOffset;
    for (const CabOutFile& file : cabinet.files) {
        dataOffset += CabFileEntryBytes(file.name);
    }

    uint16_t flags = 0;
    if (cabinet.hasPrevious) flags |= FlagHasPrevious;
    if (cabinet.hasNext) flags |= FlagHasNext;
    if (reserve.present) flags |= FlagHasReserve;

    out.Bytes(reinterpret_cast<const uint8_t*>("MSCF"), 4);
    out.U32(0);                                      // reserved
    out.U32(static_cast<uint32_t>(totalBytes));      // cabinetSize
    out.U32(0);                                      // reserved
    out.U32(filesOffset);                            // filesOffset
    out.U32(0);                                      // reserved
    out.U16(cabVersionWord);                         // versionMinor 3, versionMajor 1
    out.U16(static_cast<uint32_t>(cabinet.folders.size()));
    out.U16(static_cast<uint32_t>(cabinet.files.size()));
    out.U16(flags);
    out.U16(cabinet.setId);
    out.U16(cabinet.cabinetIndex);

    if (reserve.present) {
        out.U16(static_cast<uint32_t>(reserve.cabinetReserve.size()));  // cabinetReserveSize
        out.U8(reserve.folderReserveBytes);
        out.U8(reserve.blockReserveBytes);
        out.Bytes(reserve.cabinetReserve.data(), reserve.cabinetReserve.size());
    }
    if (cabinet.hasPrevious) {
        out.CString(cabinet.previousName);
        out.CString(cabinet.previousDisk);
    }
    if (cabinet.hasNext) {
        out.CString(cabinet.nextName);
        out.CString(cabinet.nextDisk);
    }

    for (const CabOutFolder& folder : cabinet.folders) {
        out.U32(dataOffset);
        out.U16(static_cast<uint32_t>(folder.blocks.size()));
        out.U16(folder.compressionWord);
        out.Fill(reserve.fillByte, reserve.folderReserveBytes);
        for (const CabOutBlock& block : folder.blocks) {
            dataOffset += CabBlockHeaderBytes(reserve) + static_cast<uint32_t>(block.stored.size());
        }
    }

    for (const CabOutFile& file : cabinet.files) {
        out.U32(file.size);
        out.U32(file.folderOffset);
        out.U16(file.folderIndex);
        out.U16(file.date);
        out.U16(file.time);
        out.U16(file.attributes);
        out.CString(file.name);
    }

    std::vector<uint8_t> headerTail;
    for (const CabOutFolder& folder : cabinet.folders) {
        for (const CabOutBlock& block : folder.blocks) {
            // The checksum covers the header from packedSize on, reserve included.
            headerTail.clear();
            ByteWriter tail(&headerTail);
            tail.U16(static_cast<uint32_t>(block.stored.size()));  // packedSize
            tail.U16(block.unpackedSize);
            tail.Fill(reserve.fillByte, reserve.blockReserveBytes);
            const uint32_t checksum =
                withChecksums ? CabWriteBlockChecksum(block.stored.data(), static_cast<uint32_t>(block.stored.size()),
                                                      headerTail.data(), static_cast<uint32_t>(headerTail.size()))
                              : 0;
            out.U32(checksum);
            out.Bytes(headerTail.data(), headerTail.size());
            out.Bytes(block.stored.data(), block.stored.size());
        }
    }
    return out.Size() == totalBytes;
}
