// memory_io.h: CabIo callbacks over a map of named byte vectors, with counts
// of every call and fault injection (the k-th call of a kind fails).
//
// The decoder's callbacks are plain function pointers with no context, so
// the callbacks reach the one MemoryIo that is alive at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cabdecode.h"

using Bytes = std::vector<uint8_t>;

enum class IoCall { Alloc, Open, Read, Write, Seek, Close, Count };

const char* IoCallName(IoCall call);

class MemoryIo {
public:
    MemoryIo();
    ~MemoryIo();
    MemoryIo(const MemoryIo&) = delete;
    MemoryIo& operator=(const MemoryIo&) = delete;

    // The named files; cabinets are opened from here, outputs land here.
    std::map<std::string, Bytes> files;

    // Makes the k-th call (counting from 1) of this kind fail once: alloc
    // returns null, open/read/write/seek return -1, close returns -1 (the
    // handle is released all the same, as the C runtime's close does).
    void FailAt(IoCall call, uint32_t k) { failAt_[int(call)] = k; }
    uint32_t Calls(IoCall call) const { return calls_[int(call)]; }

    // Opens a fresh output file for a NoticeOpenOutput answer, and closes it
    // for the callback; neither counts as a call of the decoder.
    int32_t OpenOutput(const std::string& name);
    void CloseOutput(int32_t handle);

    size_t LiveBlocks() const { return blocks_.size(); }
    size_t OpenHandles() const { return handles_.size(); }
    bool IsOpen(int32_t handle) const { return handles_.count(handle) != 0; }
    // Every open call of the decoder: path, flags and mode.
    struct OpenRecord {
        std::string path;
        int32_t flags;
        int32_t mode;
    };
    const std::vector<OpenRecord>& Opens() const { return opens_; }
    // Faults the callbacks themselves noticed (a free of an unknown block, a
    // call on a closed handle).
    const std::vector<std::string>& Misuse() const { return misuse_; }

    CabDecoder* CreateDecoder(CabError* error);

    static void* Alloc(uint32_t size);
    static void Free(void* block);
    static int32_t Open(const char* path, int32_t flags, int32_t mode);
    static int32_t Read(int32_t handle, void* buffer, uint32_t count);
    static int32_t Write(int32_t handle, const void* buffer, uint32_t count);
    static int32_t Close(int32_t handle);
    static int32_t Seek(int32_t handle, int32_t offset, int32_t origin);

private:
    struct OpenFile {
        std::string name;
        uint64_t pos;
        bool writable;
    };
    bool Faulted(IoCall call);
    OpenFile* Find(int32_t handle, const char* what);

    std::map<void*, uint32_t> blocks_;
    std::map<int32_t, OpenFile> handles_;
    int32_t nextHandle_ = 3;
    uint32_t calls_[int(IoCall::Count)] = {};
    uint32_t failAt_[int(IoCall::Count)] = {};
    std::vector<OpenRecord> opens_;
    std::vector<std::string> misuse_;
};
