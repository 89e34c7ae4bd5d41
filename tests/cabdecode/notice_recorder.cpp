// notice_recorder.cpp: the scripted notification callback and block hook.
#include "notice_recorder.h"

#include <cstring>

int NoticeRecorder::Extract(CabDecoder* decoder, const char* name, const char* dir, bool withHook) {
    return CabDecoderExtract(decoder, name, dir, Notify, withHook ? Hook : nullptr, this);
}

std::vector<int32_t> NoticeRecorder::Types() const {
    std::vector<int32_t> types;
    for (const RecordedNotice& n : notices) types.push_back(n.type);
    return types;
}

int NoticeRecorder::Count(int32_t type) const {
    int n = 0;
    for (const RecordedNotice& notice : notices) n += notice.type == type;
    return n;
}

const RecordedNotice* NoticeRecorder::Last(int32_t type) const {
    for (auto it = notices.rbegin(); it != notices.rend(); ++it)
        if (it->type == type) return &*it;
    return nullptr;
}

std::vector<std::string> NoticeRecorder::NamesOf(int32_t type) const {
    std::vector<std::string> names;
    for (const RecordedNotice& n : notices)
        if (n.type == type) names.push_back(n.text1);
    return names;
}

int32_t NoticeRecorder::Answer(int32_t type, CabNotice* notice) {
    int32_t answer = 0;
    if (intercept && intercept(type, notice, &answer)) return answer;
    if (type == abortType && Count(type) == abortOccurrence) return -1;
    switch (type) {
        case NoticeOpenOutput:
            if (declined.count(notice->text1)) return 0;
            return io_.OpenOutput(std::string("out/") + notice->text1);
        case NoticeCloseOutput:
            if (closeAnswer == 1) io_.CloseOutput(notice->handle);
            return closeAnswer;
        case NoticeNextCabinet:
            if (Count(NoticeNextCabinet) > maxNextCabinet) return -1;
            if (!offerNames.empty()) {
                std::string name = offerNames.front();
                offerNames.pop_front();
                std::strncpy(notice->text1, name.c_str(), cabNameBufferBytes - 1);
                notice->text1[cabNameBufferBytes - 1] = '\0';
            }
            return 0;
        default:
            return 0;
    }
}

int32_t NoticeRecorder::Notify(int32_t type, CabNotice* notice) {
    NoticeRecorder* self = static_cast<NoticeRecorder*>(notice->user);
    RecordedNotice r;
    r.type = type;
    r.size = notice->size;
    r.text1 = notice->text1 ? notice->text1 : "(null)";
    r.text2 = notice->text2 ? notice->text2 : "(null)";
    r.text3 = notice->text3 ? notice->text3 : "(null)";
    r.user = notice->user;
    r.handle = notice->handle;
    r.date = notice->date;
    r.time = notice->time;
    r.attributes = notice->attributes;
    r.setId = notice->setId;
    r.cabinetIndex = notice->cabinetIndex;
    r.error = notice->error;
    r.answer = 0;
    self->notices.push_back(r);
    int32_t answer = self->Answer(type, notice);
    self->notices.back().answer = answer;
    return answer;
}

int32_t NoticeRecorder::Hook(CabHookRecord* record) {
    NoticeRecorder* self = static_cast<NoticeRecorder*>(record->user);
    RecordedHook h;
    h.kind = record->kind;
    h.user = record->user;
    h.reserveNull = record->reserve == nullptr;
    if (record->reserve) h.reserve.assign(record->reserve, record->reserve + record->reserveSize);
    h.reserveSize = record->reserveSize;
    h.setId = record->setId;
    h.cabinetIndex = record->cabinetIndex;
    h.folderIndex = record->folderIndex;
    h.dataSize = record->dataSize;
    h.split = record->split;
    h.partOffset = record->partOffset;
    if (record->kind == HookDataBlock && record->data)
        h.data.assign(record->data, record->data + (record->dataSize - record->partOffset));
    self->hooks.push_back(h);
    int calls = 0;
    for (const RecordedHook& earlier : self->hooks) calls += earlier.kind == record->kind;
    if (record->kind == self->hookAbortKind && calls == self->hookAbortOccurrence) return -1;
    return 0;
}
