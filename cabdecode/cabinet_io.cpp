// cabinet_io.cpp: the error record, and every call that the engine makes to
// its caller: reads, seeks and closes on cabinet files, notices and the hook.
#include <cstdint>

#include "engine_steps.h"

void SetCabError(CabDecoder* decoder, int32_t code, int32_t detail) {
    decoder->lastError = code;
    if (decoder->error == nullptr) return;
    decoder->error->code = code;
    decoder->error->detail = detail;
    decoder->error->failed = 1;
}

bool ReadExact(CabDecoder* decoder, int32_t handle, void* buffer, uint32_t count) {
    if (handle == cabNoHandle) return false;
    int32_t got = decoder->read(handle, buffer, count);
    return got >= 0 && static_cast<uint32_t>(got) == count;
}

// Positions beyond what the callback's signed offset can carry are failures
// rather than wrapping round to a negative offset.
bool SeekTo(CabDecoder* decoder, int32_t handle, uint64_t position) {
    if (handle == cabNoHandle || position > 0x7FFFFFFFu) return false;
    int32_t offset = static_cast<int32_t>(position);
    int32_t reached = decoder->seek(handle, offset, cabSeekFromStart);
    return reached == offset;
}

static bool CloseOne(CabDecoder* decoder, int32_t* handle) {
    if (*handle == cabNoHandle) return true;
    bool closed = decoder->close(*handle) == 0;
    *handle = cabNoHandle;
    return closed;
}

bool CloseCabinetHandles(CabDecoder* decoder, bool listFirst) {
    bool closedAll = true;
    if (listFirst) {
        closedAll = CloseOne(decoder, &decoder->listHandle) && closedAll;
        closedAll = CloseOne(decoder, &decoder->dataHandle) && closedAll;
    } else {
        closedAll = CloseOne(decoder, &decoder->dataHandle) && closedAll;
        closedAll = CloseOne(decoder, &decoder->listHandle) && closedAll;
    }
    return closedAll;
}

int32_t SendNotice(CabDecoder* decoder, int32_t type) {
    decoder->notice.user = decoder->user;
    if (decoder->notify == nullptr) return 0;
    return decoder->notify(type, &decoder->notice);
}

int32_t CallHook(CabDecoder* decoder, int32_t kind, uint8_t* reserve, uint16_t reserveSize) {
    if (decoder->hook == nullptr) return 0;
    CabHookRecord* record = &decoder->hookRecord;
    record->kind = kind;
    record->user = decoder->user;
    record->reserve = reserveSize != 0 ? reserve : nullptr;
    record->reserveSize = reserveSize;
    return decoder->hook(record);
}
