// fuzz_io.cpp: the fuzz targets' in-memory files and bounded memory.
#include "fuzz_io.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

const uint64_t maxOutputBytes = 64ull << 20;       // all outputs of one input together
const size_t maxScratchBytes = 8u << 20;           // the paged window's scratch file
const uint64_t maxAllocatedBytes = 128ull << 20;
const uint32_t largeAllocationBytes = 64u << 10;
const int32_t firstHandle = 100;                   // never 0, which means "skip"

enum class Kind { Cabinet, Output, Scratch };

struct Handle {
    Kind kind = Kind::Cabinet;
    bool open = false;
    const uint8_t* data = nullptr;  // cabinet
    size_t size = 0;
    size_t position = 0;
    std::vector<uint8_t> scratch;
};

struct Cabinet {
    const uint8_t* data;
    size_t size;
};

std::map<std::string, Cabinet> cabinets;
std::vector<Handle> handles;
uint64_t outputBytes = 0;
uint64_t allocatedBytes = 0;
int liveAllocations = 0;
bool failLarge = false;

Handle* Find(int32_t handle) {
    const int64_t index = static_cast<int64_t>(handle) - firstHandle;
    if (index < 0 || index >= static_cast<int64_t>(handles.size()) || !handles[index].open) return nullptr;
    return &handles[static_cast<size_t>(index)];
}

int32_t NewHandle(Handle handle) {
    handle.open = true;
    handles.push_back(std::move(handle));
    return firstHandle + static_cast<int32_t>(handles.size() - 1);
}

// Allocations carry their size in front, so the cap can be kept exactly.
void* FuzzAlloc(uint32_t size) {
    if ((failLarge && size > largeAllocationBytes) || allocatedBytes + size > maxAllocatedBytes) return nullptr;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(size + 16u));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &size, sizeof size);
    allocatedBytes += size;
    ++liveAllocations;
    return block + 16;
}

void FuzzFree(void* pointer) {
    if (pointer == nullptr) return;
    uint8_t* block = static_cast<uint8_t*>(pointer) - 16;
    uint32_t size;
    std::memcpy(&size, block, sizeof size);
    allocatedBytes -= size;
    --liveAllocations;
    std::free(block);
}

int32_t FuzzOpen(const char* path, int32_t, int32_t) {
    if (path[0] == '*' && path[1] == '\0') {
        Handle handle;
        handle.kind = Kind::Scratch;
        return NewHandle(std::move(handle));
    }
    auto found = cabinets.find(path);
    if (found == cabinets.end()) return -1;
    Handle handle;
    handle.data = found->second.data;
    handle.size = found->second.size;
    return NewHandle(std::move(handle));
}

int32_t FuzzRead(int32_t id, void* buffer, uint32_t count) {
    Handle* handle = Find(id);
    if (handle == nullptr || handle->kind == Kind::Output) return -1;
    const uint8_t* data = handle->kind == Kind::Scratch ? handle->scratch.data() : handle->data;
    const size_t size = handle->kind == Kind::Scratch ? handle->scratch.size() : handle->size;
    const size_t available = handle->position < size ? size - handle->position : 0;
    const size_t n = count < available ? count : available;
    if (n > 0) std::memcpy(buffer, data + handle->position, n);
    handle->position += n;
    return static_cast<int32_t>(n);
}

int32_t FuzzWrite(int32_t id, const void* buffer, uint32_t count) {
    Handle* handle = Find(id);
    if (handle == nullptr || handle->kind == Kind::Cabinet) return -1;
    if (handle->kind == Kind::Output) {
        if (outputBytes + count > maxOutputBytes) return -1;
        outputBytes += count;
        return static_cast<int32_t>(count);
    }
    if (handle->position + count > maxScratchBytes) return -1;
    if (handle->scratch.size() < handle->position + count) handle->scratch.resize(handle->position + count);
    std::memcpy(handle->scratch.data() + handle->position, buffer, count);
    handle->position += count;
    return static_cast<int32_t>(count);
}

int32_t FuzzClose(int32_t id) {
    Handle* handle = Find(id);
    if (handle == nullptr) return -1;
    handle->open = false;
    handle->scratch.clear();
    handle->scratch.shrink_to_fit();
    return 0;
}

int32_t FuzzSeek(int32_t id, int32_t offset, int32_t origin) {
    Handle* handle = Find(id);
    if (handle == nullptr || handle->kind == Kind::Output) return -1;
    const size_t size = handle->kind == Kind::Scratch ? handle->scratch.size() : handle->size;
    const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(handle->position)
                                       : origin == 2 ? static_cast<int64_t>(size) : -1;
    if (base < 0) return -1;
    const int64_t target = base + offset;
    if (target < 0 || target > 0x7FFFFFFF) return -1;
    handle->position = static_cast<size_t>(target);
    return static_cast<int32_t>(target);
}

}  // namespace

void FuzzIoReset(bool failLargeAllocations) {
    cabinets.clear();
    handles.clear();
    outputBytes = 0;
    failLarge = failLargeAllocations;
}

void FuzzIoAddCabinet(const std::string& name, const uint8_t* data, size_t size) {
    cabinets[name] = Cabinet{data, size};
}

int32_t FuzzIoOpenOutput() {
    Handle handle;
    handle.kind = Kind::Output;
    return NewHandle(std::move(handle));
}

bool FuzzIoAllReleased() {
    static const char* const kinds[] = {"cabinet", "output", "scratch"};
    bool released = true;
    for (const Handle& handle : handles) {
        if (handle.open) {
            std::fprintf(stderr, "fuzz: a %s handle was left open\n", kinds[static_cast<int>(handle.kind)]);
            released = false;
        }
    }
    if (liveAllocations != 0) {
        std::fprintf(stderr, "fuzz: %d allocation(s) were not freed\n", liveAllocations);
        released = false;
    }
    return released;
}

CabIo FuzzCabIo() {
    return CabIo{FuzzAlloc, FuzzFree, FuzzOpen, FuzzRead, FuzzWrite, FuzzClose, FuzzSeek};
}
