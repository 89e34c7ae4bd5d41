// host_io.h: the decoder's CabIo callbacks on a POSIX host.
//
// The decoder speaks the C runtime's open-flag encoding of Windows (0x8000
// binary, 0x0001 write-only, 0x0002 read-write, 0x0008 append, 0x0100 create,
// 0x0200 truncate, 0x0400 exclusive; mode 0x0100 read, 0x0080 write); these
// callbacks map it onto open(2). The name "*" (a '*' followed by NUL) opens an
// unnamed scratch file that disappears when it is closed: the paged Quantum
// window asks for one when its window cannot be allocated in memory.
#pragma once

#include <cstdint>

#include "cabdecode.h"

void* HostAlloc(uint32_t sizeBytes);
void HostFree(void* block);
// -1 on failure. Handles are file descriptors.
int32_t HostOpen(const char* path, int32_t flags, int32_t mode);
// Reads until count bytes or the end of the file; -1 on error.
int32_t HostRead(int32_t handle, void* buffer, uint32_t count);
// Writes all count bytes or fails with -1.
int32_t HostWrite(int32_t handle, const void* buffer, uint32_t count);
int32_t HostClose(int32_t handle);
// origin 0 start, 1 current, 2 end; the new position, or -1 (also for a
// position beyond 2 GB, which the 32-bit interface cannot carry).
int32_t HostSeek(int32_t handle, int32_t offset, int32_t origin);

// The seven callbacks in CabDecoderCreate's order.
CabIo HostCabIo();

// The open(2) flags and permission bits for the decoder's encoding.
int HostOpenFlags(int32_t flags);
unsigned HostOpenMode(int32_t mode);

// True for the name of the scratch file: "*" and nothing else.
bool HostIsScratchName(const char* path);
