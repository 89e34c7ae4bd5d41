// auto_close.h: owners that close a C stream or a Win32 handle when they go
// out of scope, so that every early return of the worker releases what it
// opened before its thread ends.
#pragma once

#include <windows.h>

#include <cstdio>

class AutoCloseFile {
public:
    explicit AutoCloseFile(FILE* stream) : stream(stream) {}
    ~AutoCloseFile() { Close(); }
    AutoCloseFile(const AutoCloseFile&) = delete;
    AutoCloseFile& operator=(const AutoCloseFile&) = delete;
    FILE* Get() const { return stream; }
    // 0 when the close (and so the last write) failed.
    int Close() {
        int ok = 1;
        if (stream != nullptr) ok = fclose(stream) == 0;
        stream = nullptr;
        return ok;
    }

private:
    FILE* stream;
};

class AutoCloseHandle {
public:
    explicit AutoCloseHandle(HANDLE handle) : handle(handle) {}
    ~AutoCloseHandle() {
        if (IsValid()) CloseHandle(handle);
    }
    AutoCloseHandle(const AutoCloseHandle&) = delete;
    AutoCloseHandle& operator=(const AutoCloseHandle&) = delete;
    HANDLE Get() const { return handle; }
    bool IsValid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle;
};
