// cab_parser.cpp: the layout tests' own cabinet reader.
#include "cab_parser.h"

namespace {

class Reader {
public:
    Reader(const std::vector<uint8_t>& bytes, size_t position) : bytes_(bytes), position_(position) {}
    bool Ok() const { return ok_; }
    size_t Position() const { return position_; }
    uint32_t U8() { return Take(1) ? bytes_[position_ - 1] : 0; }
    uint32_t U16() { return U8() | U8() << 8; }
    uint32_t U32() { return U16() | U16() << 16; }
    std::vector<uint8_t> Bytes(size_t count) {
        if (!Take(count)) return {};
        return std::vector<uint8_t>(bytes_.begin() + static_cast<long>(position_ - count),
                                    bytes_.begin() + static_cast<long>(position_));
    }
    std::string CString() {
        std::string text;
        for (size_t i = 0; i < 256; ++i) {
            uint32_t c = U8();
            if (!ok_) return text;
            if (c == 0) return text;
            text += static_cast<char>(c);
        }
        ok_ = false;
        return text;
    }

private:
    bool Take(size_t count) {
        if (!ok_ || position_ + count > bytes_.size()) {
            ok_ = false;
            return false;
        }
        position_ += count;
        return true;
    }
    const std::vector<uint8_t>& bytes_;
    size_t position_;
    bool ok_ = true;
};

uint32_t Fold(const std::vector<uint8_t>& data, uint32_t seed) {
    uint32_t value = seed;
    size_t i = 0;
    for (; i + 4 <= data.size(); i += 4) {
        value ^= data[i] | data[i + 1] << 8 | data[i + 2] << 16 | static_cast<uint32_t>(data[i + 3]) << 24;
    }
    const size_t rest = data.size() - i;
    if (rest == 3) value ^= data[i] << 16 | data[i + 1] << 8 | data[i + 2];
    if (rest == 2) value ^= data[i] << 8 | data[i + 1];
    if (rest == 1) value ^= data[i];
    return value;
}

}  // namespace

uint32_t ReferenceBlockChecksum(const ParsedBlock& block) {
    std::vector<uint8_t> tail = {static_cast<uint8_t>(block.packedSize), static_cast<uint8_t>(block.packedSize >> 8),
                                 static_cast<uint8_t>(block.unpackedSize),
                                 static_cast<uint8_t>(block.unpackedSize >> 8)};
    tail.insert(tail.end(), block.reserve.begin(), block.reserve.end());
    return Fold(tail, Fold(block.stored, 0));
}

bool ParseCabinet(const std::vector<uint8_t>& bytes, ParsedCabinet* cab, std::string* problem) {
    Reader in(bytes, 0);
    std::vector<uint8_t> signature = in.Bytes(4);
    if (!in.Ok() || signature != std::vector<uint8_t>{'M', 'S', 'C', 'F'}) {
        *problem = "no MSCF signature";
        return false;
    }
    cab->reserved4 = in.U32();
    cab->cabinetSize = in.U32();
    cab->reserved12 = in.U32();
    cab->filesOffset = in.U32();
    cab->reserved20 = in.U32();
    cab->version = static_cast<uint16_t>(in.U16());
    cab->folderCount = static_cast<uint16_t>(in.U16());
    cab->fileCount = static_cast<uint16_t>(in.U16());
    cab->flags = static_cast<uint16_t>(in.U16());
    cab->setId = static_cast<uint16_t>(in.U16());
    cab->cabinetIndex = static_cast<uint16_t>(in.U16());
    if (cab->flags & 4) {
        cab->cabinetReserveSize = static_cast<uint16_t>(in.U16());
        cab->folderReserveSize = static_cast<uint8_t>(in.U8());
        cab->blockReserveSize = static_cast<uint8_t>(in.U8());
        cab->cabinetReserve = in.Bytes(cab->cabinetReserveSize);
    }
    if (cab->flags & 1) {
        cab->previousName = in.CString();
        cab->previousDisk = in.CString();
    }
    if (cab->flags & 2) {
        cab->nextName = in.CString();
        cab->nextDisk = in.CString();
    }
    cab->folderEntriesOffset = static_cast<uint32_t>(in.Position());
    for (uint32_t i = 0; i < cab->folderCount; ++i) {
        ParsedFolder folder;
        folder.dataOffset = in.U32();
        folder.blockCount = static_cast<uint16_t>(in.U16());
        folder.compression = static_cast<uint16_t>(in.U16());
        folder.reserve = in.Bytes(cab->folderReserveSize);
        cab->folders.push_back(folder);
    }
    if (!in.Ok() || in.Position() != cab->filesOffset) {
        *problem = "the file entries do not follow the folder entries";
        return false;
    }
    for (uint32_t i = 0; i < cab->fileCount; ++i) {
        ParsedFile file;
        file.size = in.U32();
        file.folderOffset = in.U32();
        file.folderIndex = static_cast<uint16_t>(in.U16());
        file.date = static_cast<uint16_t>(in.U16());
        file.time = static_cast<uint16_t>(in.U16());
        file.attributes = static_cast<uint16_t>(in.U16());
        file.name = in.CString();
        cab->files.push_back(file);
    }
    if (!in.Ok()) {
        *problem = "truncated header or entries";
        return false;
    }
    size_t expectedData = in.Position();
    for (ParsedFolder& folder : cab->folders) {
        if (folder.dataOffset != expectedData) {
            *problem = "a folder's data does not start where the previous one ends";
            return false;
        }
        Reader blocks(bytes, folder.dataOffset);
        for (uint32_t b = 0; b < folder.blockCount; ++b) {
            ParsedBlock block;
            block.offset = static_cast<uint32_t>(blocks.Position());
            block.checksum = blocks.U32();
            block.packedSize = static_cast<uint16_t>(blocks.U16());
            block.unpackedSize = static_cast<uint16_t>(blocks.U16());
            block.reserve = blocks.Bytes(cab->blockReserveSize);
            block.stored = blocks.Bytes(block.packedSize);
            folder.blocks.push_back(block);
        }
        if (!blocks.Ok()) {
            *problem = "truncated data block";
            return false;
        }
        expectedData = blocks.Position();
    }
    cab->endOfData = static_cast<uint32_t>(expectedData);
    return true;
}
