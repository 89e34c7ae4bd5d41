// cab_layout.cpp: fills cabinets with folders, file entries and data blocks,
// and decides where a set moves on to its next cabinet.
//
// The engine streams: files are read in order into a pending block of up to
// 32 KB, a full block is compressed and placed in the cabinet at hand, and a
// cabinet is serialized and handed to the sink as soon as it is closed. Every
// part is charged against the size limit as it is added; the header of a set
// member is charged with both neighbour names, so a cabinet never outgrows its
// budget when its names are filled in.
//
// Which files continue into the next cabinet follows from how the decoder
// walks a folder: a file needs the next cabinet when its bytes reach past the
// last whole block of the folder in this cabinet, and every file of a folder
// whose only block here is the first part of a split block needs it (selecting
// the folder reads that block). Those files, and only those, are marked
// FolderToNext (or FolderPrevAndNext), listed last here and first in the next
// cabinet; the decoder relies on that when it skips entries after a change of
// cabinet.
#include <algorithm>
#include <memory>

#include "cab_serialize.h"
#include "cab_writer.h"
#include "cabdecode.h"

namespace {

const uint64_t singleCabinetLimitBytes = 0x7FFFFFFF;  // CabInfo reports the size as signed 32-bit
const uint64_t folderStreamLimitBytes = 0xFFFFFFFF;   // folderOffset is 32-bit
const size_t maxFileEntries = 0xFFFF;
const size_t maxFolderEntries = FolderFromPrevious - 1;
const size_t maxBlocksPerFolder = 0xFFFF;
const size_t maxCabinetsInSet = 0xFFFF;

// A file of the folder in progress that is listed in the cabinet at hand.
struct FolderFile {
    size_t entryIndex;  // into CabOutCabinet::files
    uint64_t offset;
    uint32_t size;
    bool fromPrevious;  // listed with FolderFromPrevious: it began in an earlier cabinet
};

// Place of an entry in a cabinet's file list: continued files first, files
// that go on into the next cabinet last.
int ListingRank(uint16_t folderIndex) {
    if (folderIndex == FolderFromPrevious) return 0;
    if (folderIndex == FolderToNext || folderIndex == FolderPrevAndNext) return 2;
    return 1;
}

class CabinetLayout {
public:
    CabinetLayout(const CabWriteRequest& request, CabContentSource* source, CabCabinetSink* sink)
        : request_(request), source_(source), sink_(sink) {}

    CabWriteResult Run();

private:
    bool Fail(CabWriteStatus status, const std::string& message);
    bool Validate();
    std::string CabinetName(uint32_t index) const;
    std::string DiskName(uint32_t index) const;
    bool Room(uint64_t bytes) const { return used_ + bytes <= limit_; }

    bool OpenCabinet();
    bool CloseCabinet(bool hasNext);
    bool NextCabinet();

    bool BeginFile(uint32_t fileIndex);
    bool FeedFile(uint32_t fileIndex);
    bool StartFolder(uint32_t requestFolder);
    bool EndFolder();
    bool FlushBlock();
    bool PlaceBlock(CabOutBlock block);
    void AppendBlock(CabOutBlock block);
    bool ContinueFolder(const std::vector<FolderFile>& spanning);
    bool MoveFolderToNextCabinet();

    const CabWriteRequest& request_;
    CabContentSource* source_;
    CabCabinetSink* sink_;
    CabWriteStatus status_ = CabWriteOk;
    std::string message_;

    bool isSet_ = false;
    uint64_t limit_ = 0;
    uint32_t cabinetIndex_ = 0;
    uint32_t cabinetsWritten_ = 0;
    CabOutCabinet cabinet_;
    uint64_t used_ = 0;

    // The folder in progress.
    bool folderOpen_ = false;
    uint32_t requestFolder_ = 0;
    std::unique_ptr<CabBlockCompressor> compressor_;
    uint16_t compressionWord_ = 0;
    size_t outFolder_ = 0;             // its index in cabinet_.folders
    bool folderContinued_ = false;     // it began in an earlier cabinet
    bool folderHasWholeBlock_ = false; // it has a block here that is not a split block's first part
    uint64_t streamBytes_ = 0;         // uncompressed bytes fed to it so far
    uint64_t pendingStart_ = 0;        // folder offset of pending_[0]
    std::vector<uint8_t> pending_;
    std::vector<FolderFile> folderFiles_;
};

bool CabinetLayout::Fail(CabWriteStatus status, const std::string& message) {
    if (status_ == CabWriteOk) {
        status_ = status;
        message_ = message;
    }
    return false;
}

std::string CabinetLayout::CabinetName(uint32_t index) const {
    return request_.cabinetName ? request_.cabinetName(index) : CabSetMemberName("cabinet.cab", index);
}

std::string CabinetLayout::DiskName(uint32_t index) const {
    return request_.diskName ? request_.diskName(index) : std::string();
}

bool CabinetLayout::Validate() {
    uint32_t lastFolder = 0;
    for (const CabWriteFile& file : request_.files) {
        if (file.name.empty() || file.name.size() > cabMaxStringChars ||
            file.name.find('\0') != std::string::npos) {
            return Fail(CabWriteBadRequest, "file name \"" + file.name + "\" must be 1 to 255 characters without NUL");
        }
        if (file.folder >= request_.folders.size() || file.folder < lastFolder) {
            return Fail(CabWriteBadRequest, "file \"" + file.name + "\" names folder " + std::to_string(file.folder) +
                                                ", out of range or out of order");
        }
        lastFolder = file.folder;
    }
    for (const CabWriteFolder& folder : request_.folders) {
        std::string error;
        if (!CreateBlockCompressor(folder.method, &error)) {
            return Fail(CabWriteBadRequest, error);
        }
    }
    if (request_.reserve.cabinetReserve.size() > 0xFFFF) {
        return Fail(CabWriteBadRequest, "the cabinet reserve area is limited to 65535 bytes");
    }
    if (!request_.reserve.present && (!request_.reserve.cabinetReserve.empty() ||
                                      request_.reserve.folderReserveBytes || request_.reserve.blockReserveBytes)) {
        return Fail(CabWriteBadRequest, "reserve sizes need reserve.present");
    }
    return true;
}

CabWriteResult CabinetLayout::Run() {
    isSet_ = request_.maxCabinetBytes != 0;
    limit_ = isSet_ ? std::min<uint64_t>(request_.maxCabinetBytes, singleCabinetLimitBytes) : singleCabinetLimitBytes;
    bool ok = Validate() && OpenCabinet();
    for (uint32_t i = 0; ok && i < request_.files.size(); ++i) {
        ok = BeginFile(i) && FeedFile(i);
    }
    ok = ok && EndFolder() && CloseCabinet(false);
    CabWriteResult result;
    result.status = ok ? CabWriteOk : status_;
    result.message = ok ? std::string() : message_;
    result.cabinetCount = cabinetsWritten_;
    return result;
}

// ---------------------------------------------------------------------------
// Cabinets.

bool CabinetLayout::OpenCabinet() {
    if (cabinetIndex_ >= maxCabinetsInSet) {
        return Fail(CabWriteSetTooSmall, "a set holds at most 65535 cabinets");
    }
    cabinet_ = CabOutCabinet();
    cabinet_.setId = request_.setId;
    cabinet_.cabinetIndex = static_cast<uint16_t>(cabinetIndex_);
    if (cabinetIndex_ > 0) {
        cabinet_.hasPrevious = true;
        cabinet_.previousName = CabinetName(cabinetIndex_ - 1);
        cabinet_.previousDisk = DiskName(cabinetIndex_ - 1);
    }
    if (isSet_) {
        // Charged now, dropped again if this turns out to be the last cabinet.
        cabinet_.hasNext = true;
        cabinet_.nextName = CabinetName(cabinetIndex_ + 1);
        cabinet_.nextDisk = DiskName(cabinetIndex_ + 1);
    }
    for (const std::string* name : {&cabinet_.previousName, &cabinet_.previousDisk, &cabinet_.nextName,
                                    &cabinet_.nextDisk}) {
        if (name->size() > cabMaxStringChars) {
            return Fail(CabWriteBadRequest, "cabinet or disk name \"" + *name + "\" is longer than 255 characters");
        }
    }
    used_ = CabPrefixBytes(cabinet_, request_.reserve);
    if (!Room(0)) {
        return Fail(CabWriteSetTooSmall, "the cabinet size limit is smaller than a cabinet header");
    }
    return true;
}

bool CabinetLayout::CloseCabinet(bool hasNext) {
    cabinet_.hasNext = hasNext;
    if (!hasNext) {
        cabinet_.nextName.clear();
        cabinet_.nextDisk.clear();
    }
    std::stable_sort(cabinet_.files.begin(), cabinet_.files.end(), [](const CabOutFile& a, const CabOutFile& b) {
        return ListingRank(a.folderIndex) < ListingRank(b.folderIndex);
    });
    std::vector<uint8_t> bytes;
    if (!SerializeCabinet(cabinet_, request_.reserve, request_.withChecksums, &bytes)) {
        return Fail(CabWriteTooLarge, "cabinet " + CabinetName(cabinetIndex_) + " exceeds the format's limits");
    }
    if (bytes.size() > limit_) {
        return Fail(CabWriteTooLarge, "cabinet " + CabinetName(cabinetIndex_) + " outgrew its size limit");
    }
    if (!sink_->TakeCabinet(cabinetIndex_, CabinetName(cabinetIndex_), bytes)) {
        return Fail(CabWriteSinkFailed, "cabinet " + CabinetName(cabinetIndex_) + " could not be stored");
    }
    ++cabinetIndex_;
    ++cabinetsWritten_;
    return true;
}

bool CabinetLayout::NextCabinet() {
    if (!isSet_) {
        return Fail(CabWriteTooLarge, "the files do not fit one cabinet (2 GB); write a set instead");
    }
    return CloseCabinet(true) && OpenCabinet();
}

// ---------------------------------------------------------------------------
// Files and folders.

bool CabinetLayout::BeginFile(uint32_t fileIndex) {
    const CabWriteFile& file = request_.files[fileIndex];
    const uint32_t entryBytes = CabFileEntryBytes(file.name);
    const uint32_t headerBytes = CabBlockHeaderBytes(request_.reserve);
    const uint32_t folderBytes = CabFolderEntryBytes(request_.reserve);

    // A folder ends with its request folder, with the file that carried it
    // into this cabinet, before its offsets pass 32 bits, or when this file's
    // entry would leave no room for a part of the pending block.
    if (folderOpen_ && (requestFolder_ != file.folder || folderContinued_ ||
                        streamBytes_ + file.size > folderStreamLimitBytes || !Room(entryBytes + headerBytes + 1) ||
                        cabinet_.files.size() >= maxFileEntries)) {
        if (!EndFolder()) return false;
    }
    if (!folderOpen_) {
        const uint64_t needBytes = folderBytes + entryBytes + headerBytes + 1;
        if (!Room(needBytes) || cabinet_.folders.size() >= maxFolderEntries ||
            cabinet_.files.size() >= maxFileEntries) {
            if (cabinet_.folders.empty() && cabinet_.files.empty()) {
                return Fail(CabWriteSetTooSmall, "the cabinet size limit cannot hold the entry of \"" + file.name + "\"");
            }
            if (!NextCabinet()) return false;
            if (!Room(needBytes)) {
                return Fail(CabWriteSetTooSmall, "the cabinet size limit cannot hold the entry of \"" + file.name + "\"");
            }
        }
        if (!StartFolder(file.folder)) return false;
    }

    CabOutFile entry;
    entry.name = file.name;
    entry.size = file.size;
    entry.folderOffset = static_cast<uint32_t>(streamBytes_);
    entry.folderIndex = static_cast<uint16_t>(outFolder_);
    entry.date = file.date;
    entry.time = file.time;
    entry.attributes = file.attributes;
    folderFiles_.push_back(FolderFile{cabinet_.files.size(), streamBytes_, file.size, false});
    cabinet_.files.push_back(entry);
    used_ += entryBytes;
    return true;
}

bool CabinetLayout::FeedFile(uint32_t fileIndex) {
    uint32_t left = request_.files[fileIndex].size;
    while (left > 0) {
        const uint32_t count = std::min<uint32_t>(left, cabMaxBlockBytes - static_cast<uint32_t>(pending_.size()));
        const size_t at = pending_.size();
        pending_.resize(at + count);
        if (!source_->ReadContent(fileIndex, pending_.data() + at, count)) {
            return Fail(CabWriteReadFailed, "the content of \"" + request_.files[fileIndex].name + "\" could not be read");
        }
        left -= count;
        streamBytes_ += count;
        if (pending_.size() == cabMaxBlockBytes && !FlushBlock()) {
            return false;
        }
    }
    return true;
}

bool CabinetLayout::StartFolder(uint32_t requestFolder) {
    const CabMethod& method = request_.folders[requestFolder].method;
    std::string error;
    compressor_ = CreateBlockCompressor(method, &error);
    if (!compressor_) {
        return Fail(CabWriteCompressFailed, error);
    }
    compressionWord_ = CabCompressionWord(method);
    requestFolder_ = requestFolder;
    CabOutFolder folder;
    folder.compressionWord = compressionWord_;
    cabinet_.folders.push_back(folder);
    outFolder_ = cabinet_.folders.size() - 1;
    used_ += CabFolderEntryBytes(request_.reserve);
    folderOpen_ = true;
    folderContinued_ = false;
    folderHasWholeBlock_ = false;
    streamBytes_ = 0;
    pendingStart_ = 0;
    pending_.clear();
    folderFiles_.clear();
    return true;
}

bool CabinetLayout::EndFolder() {
    if (!folderOpen_) {
        return true;
    }
    if (streamBytes_ == 0) {
        // A folder of empty files still needs one block: the decoder reads the
        // first block of every folder it selects, and a block of unpackedSize
        // 0 would mark a split. One padding byte that no file claims.
        pending_.assign(1, 0);
        streamBytes_ = 1;
    }
    if (!pending_.empty() && !FlushBlock()) {
        return false;
    }
    folderOpen_ = false;
    compressor_.reset();
    folderFiles_.clear();
    return true;
}

// ---------------------------------------------------------------------------
// Blocks.

bool CabinetLayout::FlushBlock() {
    CabOutBlock block;
    const CabCompressStatus status =
        compressor_->CompressBlock(pending_.data(), static_cast<uint32_t>(pending_.size()), &block.stored);
    if (status != CabCompressOk || block.stored.size() > compressor_->MaxStoredBytes()) {
        return Fail(CabWriteCompressFailed, "a block could not be compressed with method " +
                                                CabMethodName(request_.folders[requestFolder_].method));
    }
    block.unpackedSize = static_cast<uint16_t>(pending_.size());
    if (!PlaceBlock(std::move(block))) {
        return false;
    }
    pendingStart_ += pending_.size();
    pending_.clear();
    return true;
}

void CabinetLayout::AppendBlock(CabOutBlock block) {
    used_ += CabBlockHeaderBytes(request_.reserve) + block.stored.size();
    if (block.unpackedSize != 0) {
        folderHasWholeBlock_ = true;
    }
    cabinet_.folders[outFolder_].blocks.push_back(std::move(block));
}

bool CabinetLayout::PlaceBlock(CabOutBlock block) {
    const uint32_t headerBytes = CabBlockHeaderBytes(request_.reserve);
    const uint64_t storedBytes = block.stored.size();
    const bool blockSlotFree = cabinet_.folders[outFolder_].blocks.size() < maxBlocksPerFolder - 1;
    if (blockSlotFree && Room(headerBytes + storedBytes)) {
        AppendBlock(std::move(block));
        return true;
    }
    if (!isSet_) {
        return Fail(CabWriteTooLarge, "the files do not fit one cabinet (2 GB or 65535 blocks); write a set instead");
    }

    // The files that will need the next cabinet, whichever way the block goes:
    // the block starts at pendingStart_, the end of the last whole block here.
    std::vector<FolderFile> spanning;
    uint64_t spanningEntryBytes = 0;
    for (const FolderFile& file : folderFiles_) {
        if (!folderHasWholeBlock_ || (file.size > 0 && file.offset + file.size > pendingStart_)) {
            spanning.push_back(file);
            spanningEntryBytes += CabFileEntryBytes(cabinet_.files[file.entryIndex].name);
        }
    }
    // What a continuation cabinet holds before this block's bytes.
    CabOutCabinet probe;
    probe.hasPrevious = true;
    probe.previousName = CabinetName(cabinetIndex_);
    probe.previousDisk = DiskName(cabinetIndex_);
    probe.hasNext = true;
    probe.nextName = CabinetName(cabinetIndex_ + 2);
    probe.nextDisk = DiskName(cabinetIndex_ + 2);
    const uint64_t freshBaseBytes = CabPrefixBytes(probe, request_.reserve) + CabFolderEntryBytes(request_.reserve) +
                                    spanningEntryBytes + headerBytes;
    const uint64_t firstPartBytes = Room(headerBytes) ? limit_ - used_ - headerBytes : 0;

    if (blockSlotFree && firstPartBytes >= 1 && freshBaseBytes + (storedBytes - firstPartBytes) <= limit_) {
        // Split: the first part ends this cabinet, the second part opens the next.
        CabOutBlock firstPart;
        firstPart.stored.assign(block.stored.begin(), block.stored.begin() + static_cast<ptrdiff_t>(firstPartBytes));
        firstPart.unpackedSize = 0;
        AppendBlock(std::move(firstPart));
        block.stored.erase(block.stored.begin(), block.stored.begin() + static_cast<ptrdiff_t>(firstPartBytes));
        if (!ContinueFolder(spanning)) return false;
        AppendBlock(std::move(block));
        return true;
    }
    if (folderHasWholeBlock_) {
        // The folder ends here on a block boundary and goes on with whole
        // blocks in the next cabinet.
        if (freshBaseBytes + storedBytes > limit_) {
            return Fail(CabWriteSetTooSmall, "the cabinet size limit cannot hold a data block of " +
                                                 std::to_string(storedBytes) + " bytes and its file entries");
        }
        if (!ContinueFolder(spanning)) return false;
        AppendBlock(std::move(block));
        return true;
    }
    // Nothing of the folder is here yet: it begins in the next cabinet.
    if (cabinet_.folders.size() == 1 && folderFiles_.size() == cabinet_.files.size()) {
        return Fail(CabWriteSetTooSmall, "the cabinet size limit cannot hold a data block of " +
                                             std::to_string(storedBytes) + " bytes and its file entries");
    }
    if (!MoveFolderToNextCabinet()) return false;
    return PlaceBlock(std::move(block));
}

bool CabinetLayout::ContinueFolder(const std::vector<FolderFile>& spanning) {
    for (const FolderFile& file : spanning) {
        cabinet_.files[file.entryIndex].folderIndex = file.fromPrevious ? FolderPrevAndNext : FolderToNext;
    }
    std::vector<CabOutFile> carried;
    for (const FolderFile& file : spanning) {
        carried.push_back(cabinet_.files[file.entryIndex]);
    }
    if (!CloseCabinet(true) || !OpenCabinet()) {
        return false;
    }
    CabOutFolder folder;
    folder.compressionWord = compressionWord_;
    cabinet_.folders.push_back(folder);
    outFolder_ = 0;
    used_ += CabFolderEntryBytes(request_.reserve);
    folderFiles_.clear();
    for (size_t i = 0; i < carried.size(); ++i) {
        CabOutFile entry = carried[i];
        entry.folderIndex = FolderFromPrevious;
        folderFiles_.push_back(FolderFile{cabinet_.files.size(), spanning[i].offset, spanning[i].size, true});
        used_ += CabFileEntryBytes(entry.name);
        cabinet_.files.push_back(entry);
    }
    folderContinued_ = true;
    // The decoder reaches this folder here only by continuation, never by
    // selecting it afresh, so the first-part rule does not apply to it.
    folderHasWholeBlock_ = true;
    return true;
}

bool CabinetLayout::MoveFolderToNextCabinet() {
    // The open folder and its files are the last entries of the cabinet.
    std::vector<CabOutFile> moved(cabinet_.files.end() - static_cast<ptrdiff_t>(folderFiles_.size()),
                                  cabinet_.files.end());
    cabinet_.files.resize(cabinet_.files.size() - folderFiles_.size());
    cabinet_.folders.pop_back();
    if (!CloseCabinet(true) || !OpenCabinet()) {
        return false;
    }
    CabOutFolder folder;
    folder.compressionWord = compressionWord_;
    cabinet_.folders.push_back(folder);
    outFolder_ = 0;
    used_ += CabFolderEntryBytes(request_.reserve);
    for (size_t i = 0; i < moved.size(); ++i) {
        moved[i].folderIndex = 0;
        folderFiles_[i].entryIndex = cabinet_.files.size();
        used_ += CabFileEntryBytes(moved[i].name);
        cabinet_.files.push_back(moved[i]);
    }
    folderHasWholeBlock_ = false;
    return true;
}

}  // namespace

CabWriteResult WriteCabinets(const CabWriteRequest& request, CabContentSource* source, CabCabinetSink* sink) {
    CabinetLayout layout(request, source, sink);
    return layout.Run();
}
