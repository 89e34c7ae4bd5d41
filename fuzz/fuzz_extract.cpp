// fuzz_extract.cpp: the extraction that every fuzz input goes through.
#include "fuzz_extract.h"

#include <cstdlib>
#include <cstring>

#include "cabdecode.h"
#include "fuzz_io.h"

namespace {

struct FuzzSession {
    const char* nextName;
    int nextRequests;
    bool acceptFiles;
};

int32_t FuzzNotify(int32_t type, CabNotice* notice) {
    FuzzSession* session = static_cast<FuzzSession*>(notice->user);
    switch (type) {
        case NoticeOpenOutput:
            return session->acceptFiles ? FuzzIoOpenOutput() : 0;
        case NoticeCloseOutput:
            return FuzzCabIo().close(notice->handle) == 0 ? 1 : 0;
        case NoticeNextCabinet: {
            if (session->nextRequests++ > 0) return -1;
            const size_t length = std::strlen(session->nextName);
            if (length >= cabNameBufferBytes) return -1;
            std::memcpy(notice->text1, session->nextName, length + 1);
            notice->text3[0] = '\0';
            return 0;
        }
        default:
            return 0;
    }
}

int32_t FuzzHook(CabHookRecord* record) {
    // Touch what the hook is given, so that a wrong pointer or size shows.
    volatile uint8_t sum = 0;
    for (uint16_t i = 0; record->reserve != nullptr && i < record->reserveSize; ++i) sum += record->reserve[i];
    if (record->kind == HookDataBlock && record->data != nullptr && record->dataSize > record->partOffset) {
        sum += record->data[0];
        sum += record->data[record->dataSize - record->partOffset - 1];
    }
    (void)sum;
    return 0;
}

}  // namespace

void FuzzExtractCabinet(const char* firstName, const char* nextName) {
    CabError error = {};
    CabIo io = FuzzCabIo();
    CabDecoder* decoder = CabDecoderCreate(io.alloc, io.free, io.open, io.read, io.write, io.close, io.seek, &error);
    if (decoder == nullptr) std::abort();

    FuzzSession session = {nextName, 0, true};
    CabDecoderExtract(decoder, firstName, "", FuzzNotify, FuzzHook, &session);
    session = FuzzSession{nextName, 0, false};
    CabDecoderExtract(decoder, firstName, "", FuzzNotify, nullptr, &session);
    CabDecoderDestroy(decoder);
    if (!FuzzIoAllReleased()) std::abort();
}
