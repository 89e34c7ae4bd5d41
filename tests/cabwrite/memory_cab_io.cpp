// memory_cab_io.cpp: in-memory files behind the decoder's callbacks.
#include "memory_cab_io.h"

#include <cstdlib>
#include <cstring>

namespace {

struct OpenFile {
    std::string name;
    bool output = false;
    bool open = false;
    size_t position = 0;
};

const int32_t firstHandle = 100;  // never 0, which means "skip" to the decoder

std::map<std::string, std::vector<uint8_t>> files;
std::map<std::string, std::vector<uint8_t>> outputs;
std::vector<OpenFile> handles;

OpenFile* Find(int32_t handle) {
    const int32_t index = handle - firstHandle;
    if (index < 0 || static_cast<size_t>(index) >= handles.size() || !handles[index].open) return nullptr;
    return &handles[index];
}

void* MemAlloc(uint32_t size) { return std::malloc(size ? size : 1); }
void MemFree(void* block) { std::free(block); }

int32_t MemOpen(const char* path, int32_t, int32_t) {
    if (files.count(path) == 0) return -1;
    handles.push_back(OpenFile{path, false, true, 0});
    return firstHandle + static_cast<int32_t>(handles.size() - 1);
}

int32_t MemRead(int32_t handle, void* buffer, uint32_t count) {
    OpenFile* file = Find(handle);
    if (file == nullptr || file->output) return -1;
    const std::vector<uint8_t>& bytes = files[file->name];
    const size_t available = file->position < bytes.size() ? bytes.size() - file->position : 0;
    const size_t n = count < available ? count : available;
    if (n > 0) std::memcpy(buffer, bytes.data() + file->position, n);
    file->position += n;
    return static_cast<int32_t>(n);
}

int32_t MemWrite(int32_t handle, const void* buffer, uint32_t count) {
    OpenFile* file = Find(handle);
    if (file == nullptr || !file->output) return -1;
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    outputs[file->name].insert(outputs[file->name].end(), bytes, bytes + count);
    return static_cast<int32_t>(count);
}

int32_t MemClose(int32_t handle) {
    OpenFile* file = Find(handle);
    if (file == nullptr) return -1;
    file->open = false;
    return 0;
}

int32_t MemSeek(int32_t handle, int32_t offset, int32_t origin) {
    OpenFile* file = Find(handle);
    if (file == nullptr || file->output) return -1;
    const int64_t base = origin == 0 ? 0 : origin == 1 ? static_cast<int64_t>(file->position)
                                                       : static_cast<int64_t>(files[file->name].size());
    const int64_t target = base + offset;
    if (target < 0 || target > 0x7FFFFFFF) return -1;
    file->position = static_cast<size_t>(target);
    return static_cast<int32_t>(target);
}

}  // namespace

void ResetMemoryFiles() {
    files.clear();
    outputs.clear();
    handles.clear();
}

void AddMemoryFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    files[name] = bytes;
}

int32_t OpenMemoryOutput(const std::string& name) {
    handles.push_back(OpenFile{name, true, true, 0});
    outputs[name];
    return firstHandle + static_cast<int32_t>(handles.size() - 1);
}

const std::vector<uint8_t>& MemoryOutput(const std::string& name) {
    return outputs[name];
}

int OpenMemoryCabinetHandles() {
    int count = 0;
    for (const OpenFile& file : handles) {
        if (file.open && !file.output) ++count;
    }
    return count;
}

CabIo MemoryCabIo() {
    return CabIo{MemAlloc, MemFree, MemOpen, MemRead, MemWrite, MemClose, MemSeek};
}
