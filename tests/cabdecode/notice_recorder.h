// notice_recorder.h: a notification callback and block hook for the tests.
// It records every notice and hook call with copies of their fields, and
// answers as a small script says: accept or decline files (outputs go to the
// MemoryIo as "out/<name>"), abort at the n-th notice of a type, offer given
// names for the next cabinet, and give up on next-cabinet requests after a
// limit, so no test can loop for ever.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "cabdecode.h"
#include "memory_io.h"

struct RecordedNotice {
    int32_t type;
    int32_t size;
    std::string text1, text2, text3;
    void* user;
    int32_t handle;
    uint16_t date, time, attributes, setId, cabinetIndex;
    int32_t error;
    int32_t answer;
};

struct RecordedHook {
    int32_t kind;
    void* user;
    bool reserveNull;
    Bytes reserve;
    uint16_t reserveSize;
    uint16_t setId;
    int32_t cabinetIndex;
    uint16_t folderIndex;
    Bytes data;  // for HookDataBlock: the part's own bytes, dataSize - partOffset of them
    uint16_t dataSize;
    int32_t split;
    uint16_t partOffset;
};

class NoticeRecorder {
public:
    explicit NoticeRecorder(MemoryIo& io) : io_(io) {}

    // Runs CabDecoderExtract with this recorder as callback (and hook when
    // withHook) and itself as the user value.
    int Extract(CabDecoder* decoder, const char* name, const char* dir = "", bool withHook = true);

    // The script.
    std::set<std::string> declined;     // answered 0 at NoticeOpenOutput
    int32_t abortType = -1;             // answer -1 at the abortOccurrence-th notice of this type
    int abortOccurrence = 1;
    int32_t closeAnswer = 1;            // answer to NoticeCloseOutput (1: the recorder closes the handle)
    std::deque<std::string> offerNames; // written into text1 at successive NoticeNextCabinet
    int maxNextCabinet = 8;             // requests answered before the recorder answers -1
    int hookAbortKind = -1;             // the hook answers -1 at the hookAbortOccurrence-th call of this kind
    int hookAbortOccurrence = 1;
    // Consulted first; returns true when it has set *answer.
    std::function<bool(int32_t type, CabNotice* notice, int32_t* answer)> intercept;

    std::vector<RecordedNotice> notices;
    std::vector<RecordedHook> hooks;

    std::vector<int32_t> Types() const;
    int Count(int32_t type) const;
    const RecordedNotice* Last(int32_t type) const;
    std::vector<std::string> NamesOf(int32_t type) const;  // text1 of every notice of this type
    const Bytes& Output(const std::string& name) const { return io_.files.at("out/" + name); }
    bool HasOutput(const std::string& name) const { return io_.files.count("out/" + name) != 0; }

    static int32_t Notify(int32_t type, CabNotice* notice);
    static int32_t Hook(CabHookRecord* record);

private:
    int32_t Answer(int32_t type, CabNotice* notice);
    MemoryIo& io_;
};
