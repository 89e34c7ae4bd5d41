// memory_io.cpp: the in-memory CabIo used by the decoder's tests.
#include "memory_io.h"

#include <cstdlib>
#include <cstring>

namespace {
MemoryIo* current = nullptr;
}

const char* IoCallName(IoCall call) {
    static const char* const names[] = {"alloc", "open", "read", "write", "seek", "close"};
    return names[int(call)];
}

MemoryIo::MemoryIo() { current = this; }

MemoryIo::~MemoryIo() {
    for (auto& block : blocks_) std::free(block.first);
    current = nullptr;
}

bool MemoryIo::Faulted(IoCall call) {
    uint32_t n = ++calls_[int(call)];
    return failAt_[int(call)] != 0 && n == failAt_[int(call)];
}

MemoryIo::OpenFile* MemoryIo::Find(int32_t handle, const char* what) {
    auto it = handles_.find(handle);
    if (it == handles_.end()) {
        misuse_.push_back(std::string(what) + " on handle " + std::to_string(handle) + " that is not open");
        return nullptr;
    }
    return &it->second;
}

int32_t MemoryIo::OpenOutput(const std::string& name) {
    files[name].clear();
    int32_t handle = nextHandle_++;
    handles_[handle] = OpenFile{name, 0, true};
    return handle;
}

void MemoryIo::CloseOutput(int32_t handle) {
    if (Find(handle, "output close")) handles_.erase(handle);
}

CabDecoder* MemoryIo::CreateDecoder(CabError* error) {
    return CabDecoderCreate(Alloc, Free, Open, Read, Write, Close, Seek, error);
}

void* MemoryIo::Alloc(uint32_t size) {
    if (current->Faulted(IoCall::Alloc)) return nullptr;
    void* block = std::malloc(size == 0 ? 1 : size);
    // Fresh blocks hold garbage, as a real allocator's may.
    std::memset(block, 0xA5, size);
    current->blocks_[block] = size;
    return block;
}

void MemoryIo::Free(void* block) {
    if (block == nullptr) return;
    if (current->blocks_.erase(block) == 0) {
        current->misuse_.push_back("free of a block that is not allocated");
        return;
    }
    std::free(block);
}

int32_t MemoryIo::Open(const char* path, int32_t flags, int32_t mode) {
    current->opens_.push_back(OpenRecord{path, flags, mode});
    if (current->Faulted(IoCall::Open)) return -1;
    auto file = current->files.find(path);
    if (file == current->files.end()) return -1;
    int32_t handle = current->nextHandle_++;
    current->handles_[handle] = OpenFile{path, 0, false};
    return handle;
}

int32_t MemoryIo::Read(int32_t handle, void* buffer, uint32_t count) {
    if (current->Faulted(IoCall::Read)) return -1;
    OpenFile* file = current->Find(handle, "read");
    if (file == nullptr) return -1;
    const Bytes& bytes = current->files[file->name];
    uint64_t available = file->pos < bytes.size() ? bytes.size() - file->pos : 0;
    uint32_t n = available < count ? uint32_t(available) : count;
    if (n > 0) std::memcpy(buffer, bytes.data() + file->pos, n);
    file->pos += n;
    return int32_t(n);
}

int32_t MemoryIo::Write(int32_t handle, const void* buffer, uint32_t count) {
    if (current->Faulted(IoCall::Write)) return -1;
    OpenFile* file = current->Find(handle, "write");
    if (file == nullptr) return -1;
    if (!file->writable) {
        current->misuse_.push_back("write to a cabinet handle");
        return -1;
    }
    Bytes& bytes = current->files[file->name];
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    if (bytes.size() < file->pos + count) bytes.resize(file->pos + count);
    std::memcpy(bytes.data() + file->pos, p, count);
    file->pos += count;
    return int32_t(count);
}

int32_t MemoryIo::Close(int32_t handle) {
    bool fault = current->Faulted(IoCall::Close);
    if (current->Find(handle, "close") == nullptr) return -1;
    current->handles_.erase(handle);
    return fault ? -1 : 0;
}

int32_t MemoryIo::Seek(int32_t handle, int32_t offset, int32_t origin) {
    if (current->Faulted(IoCall::Seek)) return -1;
    OpenFile* file = current->Find(handle, "seek");
    if (file == nullptr) return -1;
    int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(file->pos) : -1;
    if (base < 0) return -1;
    int64_t target = base + offset;
    if (target < 0 || target > 0x7FFFFFFF) return -1;
    file->pos = uint64_t(target);
    return int32_t(target);
}
