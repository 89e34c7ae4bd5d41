// host_files.cpp: file reading, writing and folder listing on the host.
#include "host_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <sys/types.h>

namespace fs = std::filesystem;

namespace {

fs::path PathOf(const std::string& text) { return fs::u8path(text); }

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

// A C stream on the file; paths are UTF-8, which Windows takes only as UTF-16.
FILE* OpenHostFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::strlen(mode));
    return _wfopen(PathOf(path).c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// The modification time as the C library reports it (calendar seconds).
bool ModifiedTime(const std::string& path, time_t* modified) {
#ifdef _WIN32
    struct _stat64 info;
    if (_wstat64(PathOf(path).c_str(), &info) != 0) return false;
#else
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return false;
#endif
    *modified = static_cast<time_t>(info.st_mtime);
    return true;
}

bool Walk(const fs::path& folder, const std::string& prefix, std::vector<HostFileInfo>* files, std::string* error) {
    std::error_code code;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, code), end; !code && it != end; it.increment(code)) entries.push_back(*it);
    if (code) {
        *error = "cannot read the folder " + folder.u8string() + ": " + code.message();
        return false;
    }
    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().u8string();
        const fs::file_status status = entry.symlink_status(code);
        if (code) {
            *error = "cannot read " + entry.path().u8string() + ": " + code.message();
            return false;
        }
        if (fs::is_directory(status)) {
            if (!Walk(entry.path(), prefix + name + "\\", files, error)) return false;
        } else if (fs::is_regular_file(status)) {
            HostFileInfo info;
            info.path = entry.path().u8string();
            info.relativeName = prefix + name;
            info.size = entry.file_size(code);
            if (code || !ModifiedTime(info.path, &info.modified)) {
                *error = "cannot read " + info.path;
                return false;
            }
            info.readOnly = (status.permissions() & fs::perms::owner_write) == fs::perms::none;
            files->push_back(info);
        } else {
            *error = entry.path().u8string() + " is not a regular file or folder (links are not followed)";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadHostFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    FILE* stream = OpenHostFile(path, "rb");
    if (stream == nullptr) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    bytes->clear();
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) bytes->insert(bytes->end(), buffer, buffer + got);
    const bool failed = std::ferror(stream) != 0;
    std::fclose(stream);
    if (failed) {
        *error = "cannot read " + path;
        return false;
    }
    return true;
}

bool WriteHostFile(const std::string& path, const uint8_t* data, size_t count, std::string* error) {
    FILE* stream = OpenHostFile(path, "wb");
    if (stream == nullptr) {
        *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(data, 1, count, stream) == count;
    if (std::fclose(stream) != 0 || !written) {
        std::error_code ignored;
        fs::remove(PathOf(path), ignored);
        *error = "cannot write " + path + " (is the disk full?)";
        return false;
    }
    return true;
}

bool HostFileExists(const std::string& path) {
    std::error_code code;
    return fs::is_regular_file(PathOf(path), code);
}

bool HostFolderExists(const std::string& path) {
    std::error_code code;
    return fs::is_directory(PathOf(path), code);
}

bool HostFileSize(const std::string& path, uint64_t* size) {
    std::error_code code;
    const uintmax_t bytes = fs::file_size(PathOf(path), code);
    if (code) return false;
    *size = bytes;
    return true;
}

bool ListHostFolder(const std::string& folder, std::vector<HostFileInfo>* files, std::string* error) {
    files->clear();
    if (!HostFolderExists(folder)) {
        *error = folder + " is not a folder";
        return false;
    }
    if (!Walk(PathOf(folder), "", files, error)) return false;
    std::sort(files->begin(), files->end(),
              [](const HostFileInfo& a, const HostFileInfo& b) { return a.relativeName < b.relativeName; });
    return true;
}

bool HostPathIsInside(const std::string& path, const std::string& folder) {
    std::error_code code;
    const fs::path resolvedPath = fs::weakly_canonical(PathOf(path), code);
    if (code) return false;
    const fs::path resolvedFolder = fs::weakly_canonical(PathOf(folder), code);
    if (code) return false;
    auto p = resolvedPath.begin();
    for (auto f = resolvedFolder.begin(); f != resolvedFolder.end(); ++f, ++p) {
        if (f->empty()) continue;  // a trailing separator
        if (p == resolvedPath.end() || *p != *f) return false;
    }
    return true;
}

std::string HostFolderOf(const std::string& path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsSeparator(path[i - 1])) return path.substr(0, i);
    }
    return "";
}

std::string HostNameOf(const std::string& path) { return path.substr(HostFolderOf(path).size()); }

std::string HostJoin(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsSeparator(folder.back())) return folder + name;
    return folder + "/" + name;
}
