// host_files.h: every file-system call of kestrel-pack.
//
// The rest of the tool works on bytes in memory; this file reads and writes
// whole files and lists folders. It uses std::filesystem and, for modification
// times, stat (or _wstat64 on Windows), so the tool cross-builds unchanged.
// Paths are UTF-8 byte strings on every host.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Reads the whole file. False with a message naming the path on failure.
bool ReadHostFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

// Writes count bytes as the whole file, replacing it. False with a message on
// failure; a partly written file is removed.
bool WriteHostFile(const std::string& path, const uint8_t* data, size_t count, std::string* error);

// True when path names an existing regular file.
bool HostFileExists(const std::string& path);

// True when path names an existing folder.
bool HostFolderExists(const std::string& path);

// Size of the file in bytes, as the folder reports it; false when absent.
bool HostFileSize(const std::string& path, uint64_t* size);

struct HostFileInfo {
    std::string path;          // on the host
    std::string relativeName;  // below the listed folder, components joined by '\'
    uint64_t size = 0;
    time_t modified = 0;
    bool readOnly = false;
};

// Every regular file below folder, sorted by relativeName (bytewise), so the
// order never depends on the file system. Links and other special files are
// refused with a message; so is a folder that cannot be read.
bool ListHostFolder(const std::string& folder, std::vector<HostFileInfo>* files, std::string* error);

// True when path names folder or something below it (after resolving "..",
// links and the current folder); false when either cannot be resolved.
bool HostPathIsInside(const std::string& path, const std::string& folder);

// Folder part of a path, with its trailing separator ("" for a bare name).
std::string HostFolderOf(const std::string& path);

// Name part of a path (after the last separator).
std::string HostNameOf(const std::string& path);

// Joins a folder (with or without trailing separator) and a name.
std::string HostJoin(const std::string& folder, const std::string& name);
