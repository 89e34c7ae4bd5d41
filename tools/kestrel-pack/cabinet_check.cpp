// cabinet_check.cpp: CabIo callbacks over one cabinet in memory, output
// handles that count and discard.
#include "cabinet_check.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "cabdecode.h"

namespace {

const char* const cabinetName = "payload.cab";
const int maxCabinetHandles = 4;  // the decoder holds two on one cabinet
const int32_t outputHandle = 100;
const int32_t seekFromEnd = 2;

// The cabinet being checked and the state of its handles; set up and torn
// down by each CheckPayloadCabinet call.
struct MemoryCabinet {
    const std::vector<uint8_t>* bytes = nullptr;
    bool open[maxCabinetHandles] = {};
    int64_t position[maxCabinetHandles] = {};
    CabinetCheck totals;
    bool wantedNextCabinet = false;
};
MemoryCabinet current;

// Index of an open cabinet handle, or -1.
int HandleIndex(int32_t handle) {
    const int index = handle - 1;
    return index >= 0 && index < maxCabinetHandles && current.open[index] ? index : -1;
}

void* Alloc(uint32_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void Free(void* block) { std::free(block); }

int32_t Open(const char* path, int32_t flags, int32_t) {
    if (std::strcmp(path, cabinetName) != 0 || (flags & (CabOpenWriteOnly | CabOpenReadWrite)) != 0) return -1;
    for (int i = 0; i < maxCabinetHandles; ++i) {
        if (!current.open[i]) {
            current.open[i] = true;
            current.position[i] = 0;
            return i + 1;
        }
    }
    return -1;
}

int32_t Read(int32_t handle, void* buffer, uint32_t count) {
    const int index = HandleIndex(handle);
    if (index < 0) return -1;
    const int64_t size = static_cast<int64_t>(current.bytes->size());
    const int64_t got = std::min<int64_t>(count, size - current.position[index]);
    if (got <= 0) return 0;
    std::memcpy(buffer, current.bytes->data() + current.position[index], static_cast<size_t>(got));
    current.position[index] += got;
    return static_cast<int32_t>(got);
}

int32_t Write(int32_t handle, const void*, uint32_t count) {
    if (handle != outputHandle) return -1;
    current.totals.fileBytes += count;
    return static_cast<int32_t>(count);
}

int32_t Close(int32_t handle) {
    if (handle == outputHandle) return 0;
    const int index = HandleIndex(handle);
    if (index < 0) return -1;
    current.open[index] = false;
    return 0;
}

int32_t Seek(int32_t handle, int32_t offset, int32_t origin) {
    const int index = HandleIndex(handle);
    if (index < 0) return -1;
    const int64_t size = static_cast<int64_t>(current.bytes->size());
    const int64_t base = origin == cabSeekFromStart ? 0
                         : origin == cabSeekFromCurrent ? current.position[index]
                         : origin == seekFromEnd        ? size
                                                        : -1;
    const int64_t target = base + offset;
    if (base < 0 || target < 0 || target > size) return -1;
    current.position[index] = target;
    return static_cast<int32_t>(target);
}

int32_t Notify(int32_t type, CabNotice*) {
    switch (type) {
    case NoticeOpenOutput:
        ++current.totals.fileCount;
        return outputHandle;
    case NoticeCloseOutput:
        return 1;
    case NoticeNextCabinet:
        current.wantedNextCabinet = true;
        return -1;
    default:
        return 0;
    }
}

std::string Reason(const CabError& error) {
    switch (error.code) {
    case CabErrNotCabinet: return "it is not a cabinet";
    case CabErrVersion: return "its cabinet version is not 1.3";
    case CabErrCorrupt: return "it is damaged (a checksum, a size or a name does not hold)";
    case CabErrMemory: return "the decoder ran out of memory";
    case CabErrCompression: return "a folder uses an unknown compression";
    case CabErrDecompress: return "a data block does not decompress";
    case CabErrOpen: return "it cannot be opened";
    default: return "the decoder failed with code " + std::to_string(error.code);
    }
}

}  // namespace

bool CheckPayloadCabinet(const std::vector<uint8_t>& cabinet, CabinetCheck* check, std::string* error) {
    if (cabinet.size() > 0x7FFFFFFF) {
        *error = "the cabinet is larger than the decoder's 2 GB limit";
        return false;
    }
    current = MemoryCabinet();
    current.bytes = &cabinet;
    CabError cabError = {};
    CabDecoder* decoder = CabDecoderCreate(Alloc, Free, Open, Read, Write, Close, Seek, &cabError);
    if (decoder == nullptr) {
        *error = "the decoder could not be created";
        return false;
    }
    const int32_t probeHandle = Open(cabinetName, cabCabinetOpenFlags, cabCabinetOpenMode);
    CabInfo info = {};
    const bool isCabinet = CabDecoderProbe(decoder, probeHandle, &info) != 0;
    Close(probeHandle);
    bool ok = false;
    if (!isCabinet) {
        *error = cabError.failed ? Reason(cabError) : "it is not a cabinet";
    } else if (info.hasPrevious || info.hasNext) {
        *error = "it belongs to a set of cabinets; the payload must be one whole cabinet";
    } else if (CabDecoderExtract(decoder, cabinetName, "", Notify, nullptr, nullptr) == 0) {
        *error = current.wantedNextCabinet ? "a file continues into another cabinet" : Reason(cabError);
    } else {
        ok = true;
        *check = current.totals;
    }
    CabDecoderDestroy(decoder);
    current = MemoryCabinet();
    return ok;
}
