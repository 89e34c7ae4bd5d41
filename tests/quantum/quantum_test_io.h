// quantum_test_io.h: host callbacks for the Quantum tests: a heap whose
// allocations can be made to fail and that counts what is live, and
// in-memory files for the paged store's scratch file, with faults that can
// be injected into the n-th seek, read or write and a log of every call.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "quantum.h"

struct TestHeap {
    uint32_t failAbove = 0xFFFFFFFF;  // allocations of more bytes fail
    uint32_t failSize = 0;            // allocations of exactly this many bytes fail
    int failAllocNumber = 0;          // this allocation (1-based) fails; 0 none
    int failPageBuffer = 0;           // this page buffer allocation (1-based) fails
    int allocCalls = 0;
    int pageBuffersGiven = 0;
    int badFrees = 0;  // frees of pointers never given out
    std::map<void*, uint32_t> live;
};
extern TestHeap testHeap;

void* TestAlloc(uint32_t sizeBytes);
void TestFree(void* block);

enum TestIoOp { IoOpen, IoSeek, IoRead, IoWrite, IoClose };

struct TestIoEvent {
    TestIoOp op;
    int32_t handle;
    int64_t position;  // file position before the call (seek: the requested offset)
    uint32_t count;
    int32_t result;
};

struct TestFile {
    std::string name;  // the name as passed; for the scratch file ("*") its 6 bytes
    int32_t flags = 0;
    int32_t mode = 0;
    std::vector<uint8_t> bytes;
    int64_t position = 0;
    bool open = true;
};

enum TestFaultKind { FaultNone, FaultShort, FaultMinusOne };

struct TestFiles {
    bool openFails = false;
    // The faultCall-th call of faultOp misbehaves: a seek lands elsewhere (or
    // answers -1), a read or write moves half a page (or answers -1).
    TestIoOp faultOp = IoSeek;
    int faultCall = 0;
    TestFaultKind faultKind = FaultNone;
    std::map<TestIoOp, int> calls;
    std::vector<TestFile> files;  // handle = index + 100
    // Files that exist before the test opens them (a cabinet), by name;
    // any other name opens a new empty file.
    std::map<std::string, std::vector<uint8_t>> named;
    std::vector<TestIoEvent> events;
};
extern TestFiles testFiles;

int32_t TestOpen(const char* path, int32_t flags, int32_t mode);
int32_t TestRead(int32_t handle, void* buffer, uint32_t count);
int32_t TestWrite(int32_t handle, const void* buffer, uint32_t count);
int32_t TestClose(int32_t handle);
int32_t TestSeek(int32_t handle, int32_t offset, int32_t origin);

// Clears the heap policy and the files (live allocations are kept: they are
// what a test checks for leaks).
void ResetTestIo();
// Number of logged calls of op.
int CountEvents(TestIoOp op);
