// host_io.cpp: POSIX file descriptors behind the decoder's callbacks.
#include "host_io.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void* HostAlloc(uint32_t sizeBytes) {
    return std::malloc(sizeBytes == 0 ? 1 : sizeBytes);
}

void HostFree(void* block) {
    std::free(block);
}

int HostOpenFlags(int32_t flags) {
    int posixFlags = 0;
    switch (flags & 0x0003) {
        case CabOpenWriteOnly: posixFlags = O_WRONLY; break;
        case CabOpenReadWrite: posixFlags = O_RDWR; break;
        default: posixFlags = O_RDONLY; break;
    }
    if (flags & CabOpenAppend) posixFlags |= O_APPEND;
    if (flags & CabOpenCreate) posixFlags |= O_CREAT;
    if (flags & CabOpenTruncate) posixFlags |= O_TRUNC;
    if (flags & CabOpenExclusive) posixFlags |= O_EXCL;
    // Binary, text, sequential and temporary have no POSIX counterpart.
    return posixFlags | O_CLOEXEC;
}

unsigned HostOpenMode(int32_t mode) {
    unsigned posixMode = 0;
    if (mode & CabModeRead) posixMode |= S_IRUSR;
    if (mode & CabModeWrite) posixMode |= S_IWUSR;
    return posixMode;
}

bool HostIsScratchName(const char* path) {
    return path != nullptr && path[0] == '*' && path[1] == '\0';
}

// A file in the temporary folder that is unlinked at once: it lives exactly as
// long as its descriptor.
static int32_t OpenScratchFile() {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/kestrel-scratch-XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) {
        return -1;
    }
    unlink(pattern.c_str());
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

int32_t HostOpen(const char* path, int32_t flags, int32_t mode) {
    if (path == nullptr) {
        return -1;
    }
    if (HostIsScratchName(path)) {
        return OpenScratchFile();
    }
    int fd = open(path, HostOpenFlags(flags), HostOpenMode(mode));
    return fd < 0 ? -1 : fd;
}

int32_t HostRead(int32_t handle, void* buffer, uint32_t count) {
    uint8_t* at = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = read(handle, at + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    return static_cast<int32_t>(done);
}

int32_t HostWrite(int32_t handle, const void* buffer, uint32_t count) {
    const uint8_t* at = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = write(handle, at + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        done += static_cast<uint32_t>(n);
    }
    return static_cast<int32_t>(done);
}

int32_t HostClose(int32_t handle) {
    return close(handle) == 0 ? 0 : -1;
}

int32_t HostSeek(int32_t handle, int32_t offset, int32_t origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0) return -1;
    off_t position = lseek(handle, offset, whence);
    if (position < 0 || position > 0x7FFFFFFF) return -1;
    return static_cast<int32_t>(position);
}

CabIo HostCabIo() {
    return CabIo{HostAlloc, HostFree, HostOpen, HostRead, HostWrite, HostClose, HostSeek};
}
