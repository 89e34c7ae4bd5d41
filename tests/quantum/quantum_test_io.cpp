// quantum_test_io.cpp: the tests' heap and in-memory files.
#include "quantum_test_io.h"

#include <cstdlib>
#include <cstring>

#include "quantum_state.h"

TestHeap testHeap;
TestFiles testFiles;

void* TestAlloc(uint32_t sizeBytes) {
    testHeap.allocCalls++;
    if (sizeBytes > testHeap.failAbove || sizeBytes == testHeap.failSize || testHeap.allocCalls == testHeap.failAllocNumber) return nullptr;
    if (sizeBytes == sizeof(PageBuffer)) {
        if (testHeap.pageBuffersGiven + 1 == testHeap.failPageBuffer) return nullptr;
        testHeap.pageBuffersGiven++;
    }
    void* block = std::malloc(sizeBytes);
    // Fill with garbage so that reading unwritten memory shows up.
    std::memset(block, 0xA5, sizeBytes);
    testHeap.live[block] = sizeBytes;
    return block;
}

void TestFree(void* block) {
    if (testHeap.live.erase(block) == 0) {
        testHeap.badFrees++;
        return;
    }
    std::free(block);
}

static TestFile* FileOf(int32_t handle) {
    size_t index = static_cast<size_t>(handle - 100);
    if (handle < 100 || index >= testFiles.files.size() || !testFiles.files[index].open) return nullptr;
    return &testFiles.files[index];
}

static void Log(TestIoOp op, int32_t handle, int64_t position, uint32_t count, int32_t result) {
    testFiles.events.push_back(TestIoEvent{op, handle, position, count, result});
}

// True when this call of op is the one to misbehave.
static bool FaultNow(TestIoOp op) {
    int call = ++testFiles.calls[op];
    return testFiles.faultKind != FaultNone && testFiles.faultOp == op && testFiles.faultCall == call;
}

int32_t TestOpen(const char* path, int32_t flags, int32_t mode) {
    testFiles.calls[IoOpen]++;
    if (testFiles.openFails) {
        Log(IoOpen, -1, 0, 0, -1);
        return -1;
    }
    TestFile file;
    // The scratch file's name is "*", NUL and the window size: 6 bytes.
    file.name.assign(path, path[0] == '*' ? 6 : std::strlen(path));
    auto existing = testFiles.named.find(file.name);
    if (existing != testFiles.named.end()) file.bytes = existing->second;
    file.flags = flags;
    file.mode = mode;
    testFiles.files.push_back(file);
    int32_t handle = static_cast<int32_t>(testFiles.files.size() - 1 + 100);
    Log(IoOpen, handle, 0, 0, handle);
    return handle;
}

int32_t TestRead(int32_t handle, void* buffer, uint32_t count) {
    TestFile* file = FileOf(handle);
    if (!file) return -1;
    int64_t position = file->position;
    bool fault = FaultNow(IoRead);
    int32_t result;
    if (fault && testFiles.faultKind == FaultMinusOne) {
        result = -1;
    } else {
        int64_t available = static_cast<int64_t>(file->bytes.size()) - position;
        int64_t moved = available < 0 ? 0 : (available < count ? available : count);
        if (fault) moved /= 2;
        if (moved > 0) std::memcpy(buffer, file->bytes.data() + position, static_cast<size_t>(moved));
        file->position += moved;
        result = static_cast<int32_t>(moved);
    }
    Log(IoRead, handle, position, count, result);
    return result;
}

int32_t TestWrite(int32_t handle, const void* buffer, uint32_t count) {
    TestFile* file = FileOf(handle);
    if (!file) return -1;
    int64_t position = file->position;
    bool fault = FaultNow(IoWrite);
    int32_t result;
    if (fault && testFiles.faultKind == FaultMinusOne) {
        result = -1;
    } else {
        uint32_t moved = fault ? count / 2 : count;
        if (file->bytes.size() < static_cast<size_t>(position) + moved) file->bytes.resize(position + moved);
        std::memcpy(file->bytes.data() + position, buffer, moved);
        file->position += moved;
        result = static_cast<int32_t>(moved);
    }
    Log(IoWrite, handle, position, count, result);
    return result;
}

int32_t TestClose(int32_t handle) {
    TestFile* file = FileOf(handle);
    testFiles.calls[IoClose]++;
    if (!file) return -1;
    file->open = false;
    Log(IoClose, handle, file->position, 0, 0);
    return 0;
}

int32_t TestSeek(int32_t handle, int32_t offset, int32_t origin) {
    TestFile* file = FileOf(handle);
    if (!file) return -1;
    bool fault = FaultNow(IoSeek);
    int64_t target = origin == 0 ? offset : file->position + offset;
    int32_t result;
    if (fault) {
        result = testFiles.faultKind == FaultMinusOne ? -1 : static_cast<int32_t>(target + 1);
        if (result != -1) file->position = result;
    } else {
        file->position = target;
        result = static_cast<int32_t>(target);
    }
    Log(IoSeek, handle, offset, 0, result);
    return result;
}

void ResetTestIo() {
    std::map<void*, uint32_t> live = testHeap.live;
    testHeap = TestHeap();
    testHeap.live = live;
    testFiles = TestFiles();
}

int CountEvents(TestIoOp op) {
    int count = 0;
    for (const TestIoEvent& event : testFiles.events) count += event.op == op;
    return count;
}
