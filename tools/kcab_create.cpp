// kcab_create.cpp: writes a cabinet, or a set of cabinets, from files and
// folders.
//
// Folders are walked recursively; a file's name in the cabinet is its path
// relative to the folder given, with '\' between components, and a file given
// directly is stored under its own name. All names are sorted bytewise, so the
// same files give the same cabinet whatever order the file system lists them
// in. Only regular files and folders are taken; links and devices are left out
// with a note.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cab_writer.h"
#include "compression_method.h"
#include "dos_time.h"
#include "kcab.h"

namespace {

struct InputFile {
    std::string path;  // on disk
    std::string name;  // in the cabinet
    uint64_t size = 0;
    uint16_t date = 0, time = 0, attributes = 0;
};

const uint16_t attrReadOnly = 0x01;
const uint16_t attrArchive = 0x20;

std::string BaseName(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const size_t slash = trimmed.find_last_of('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

InputFile Describe(const std::string& path, const std::string& name, const struct stat& info) {
    InputFile file;
    file.path = path;
    file.name = name;
    file.size = static_cast<uint64_t>(info.st_size);
    DosFromTime(info.st_mtime, &file.date, &file.time);
    file.attributes = attrArchive | ((info.st_mode & S_IWUSR) ? 0 : attrReadOnly);
    return file;
}

bool WalkFolder(const std::string& folder, const std::string& prefix, std::vector<InputFile>* files) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        std::fprintf(stderr, "kcab: cannot read folder %s: %s\n", folder.c_str(), std::strerror(errno));
        return false;
    }
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0) {
            std::fprintf(stderr, "kcab: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            if (!WalkFolder(path, prefix + name + "\\", files)) return false;
        } else if (S_ISREG(info.st_mode)) {
            files->push_back(Describe(path, prefix + name, info));
        } else {
            std::fprintf(stderr, "kcab: note: %s is not a regular file or folder; left out\n", path.c_str());
        }
    }
    return true;
}

bool CollectInputs(const std::vector<std::string>& inputs, std::vector<InputFile>* files) {
    for (const std::string& input : inputs) {
        struct stat info;
        if (stat(input.c_str(), &info) != 0) {
            std::fprintf(stderr, "kcab: cannot read %s: %s\n", input.c_str(), std::strerror(errno));
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            std::string folder = input;
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            if (!WalkFolder(folder, "", files)) return false;
        } else if (S_ISREG(info.st_mode)) {
            files->push_back(Describe(input, BaseName(input), info));
        } else {
            std::fprintf(stderr, "kcab: %s is not a regular file or folder\n", input.c_str());
            return false;
        }
    }
    std::sort(files->begin(), files->end(), [](const InputFile& a, const InputFile& b) { return a.name < b.name; });
    for (size_t i = 0; i < files->size(); ++i) {
        const InputFile& file = (*files)[i];
        if (i > 0 && file.name == (*files)[i - 1].name) {
            std::fprintf(stderr, "kcab: two inputs would both be stored as \"%s\" (%s and %s)\n", file.name.c_str(),
                         (*files)[i - 1].path.c_str(), file.path.c_str());
            return false;
        }
        if (file.name.size() > 255) {
            std::fprintf(stderr, "kcab: the name \"%s\" is longer than 255 characters\n", file.name.c_str());
            return false;
        }
        if (file.size > 0xFFFFFFFFull) {
            std::fprintf(stderr, "kcab: %s is larger than 4 GB, which a cabinet cannot hold\n", file.path.c_str());
            return false;
        }
    }
    return true;
}

// Reads the input files in order, checking that none has changed size.
class FileContentSource : public CabContentSource {
public:
    explicit FileContentSource(const std::vector<InputFile>* files) : files_(files) {}
    ~FileContentSource() override { CloseCurrent(); }

    bool ReadContent(uint32_t fileIndex, uint8_t* buffer, uint32_t count) override {
        if (stream_ == nullptr || fileIndex != fileIndex_) {
            CloseCurrent();
            fileIndex_ = fileIndex;
            stream_ = std::fopen((*files_)[fileIndex].path.c_str(), "rb");
            if (stream_ == nullptr) {
                problem_ = (*files_)[fileIndex].path + ": " + std::strerror(errno);
                return false;
            }
        }
        if (std::fread(buffer, 1, count, stream_) != count) {
            problem_ = (*files_)[fileIndex].path + ": shorter than when it was listed";
            return false;
        }
        return true;
    }
    const std::string& Problem() const { return problem_; }

private:
    void CloseCurrent() {
        if (stream_ != nullptr) std::fclose(stream_);
        stream_ = nullptr;
    }
    const std::vector<InputFile>* files_;
    FILE* stream_ = nullptr;
    uint32_t fileIndex_ = 0;
    std::string problem_;
};

// Writes each cabinet beside the first one.
class FileCabinetSink : public CabCabinetSink {
public:
    explicit FileCabinetSink(const std::string& folder) : folder_(folder) {}

    bool TakeCabinet(uint32_t, const std::string& name, const std::vector<uint8_t>& bytes) override {
        const std::string path = folder_ + name;
        FILE* stream = std::fopen(path.c_str(), "wb");
        if (stream == nullptr) {
            problem_ = "cannot create " + path + ": " + std::strerror(errno);
            return false;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
        if (std::fclose(stream) != 0 || !written) {
            problem_ = "writing " + path + " failed";
            return false;
        }
        written_.push_back(path);
        std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
        return true;
    }
    const std::string& Problem() const { return problem_; }
    const std::vector<std::string>& Written() const { return written_; }

private:
    std::string folder_;
    std::string problem_;
    std::vector<std::string> written_;
};

// FNV-1a over the names and sizes: the same inputs give the same set id.
uint16_t SetIdFor(const std::vector<InputFile>& files) {
    uint32_t hash = 2166136261u;
    auto mix = [&hash](const void* data, size_t count) {
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < count; ++i) hash = (hash ^ bytes[i]) * 16777619u;
    };
    for (const InputFile& file : files) {
        mix(file.name.data(), file.name.size() + 0);
        const uint8_t size[4] = {static_cast<uint8_t>(file.size), static_cast<uint8_t>(file.size >> 8),
                                 static_cast<uint8_t>(file.size >> 16), static_cast<uint8_t>(file.size >> 24)};
        mix(size, sizeof size);
    }
    return static_cast<uint16_t>(hash ^ (hash >> 16));
}

// True when path would be one of the cabinets that this run writes, so that a
// cabinet left by an earlier run is not packed into the new one.
bool IsOwnOutput(const std::string& path, const std::string& outputPath) {
    char* realInput = realpath(path.c_str(), nullptr);
    std::string folder = FolderOf(outputPath);
    char* realFolder = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    bool own = false;
    if (realInput != nullptr && realFolder != nullptr && FolderOf(realInput) == std::string(realFolder) + "/") {
        const std::string name = BaseName(realInput);
        const std::string first = BaseName(outputPath);
        for (uint32_t index = 0; index < 1000 && !own; ++index) {
            own = name == CabSetMemberName(first, index);
        }
    }
    std::free(realInput);
    std::free(realFolder);
    return own;
}

// Creates folder and its parents, like mkdir -p.
bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

int RunCreate(const CreateOptions& options) {
    CabMethod method;
    std::string error;
    if (!ParseCabMethod(options.method, &method, &error)) {
        std::fprintf(stderr, "kcab: %s\n", error.c_str());
        return kcabExitUsage;
    }
    if (!CreateBlockCompressor(method, &error)) {
        std::fprintf(stderr, "kcab: %s\n", error.c_str());
        return kcabExitUsage;
    }
    if (options.setSizeBytes > 0x7FFFFFFF) {
        std::fprintf(stderr, "kcab: --set-size is limited to 2147483647 bytes\n");
        return kcabExitUsage;
    }

    const std::string outputFolder = FolderOf(options.outputPath);
    if (!outputFolder.empty() && !MakeFolders(outputFolder)) {
        std::fprintf(stderr, "kcab: cannot create folder %s: %s\n", outputFolder.c_str(), std::strerror(errno));
        return kcabExitPartial;
    }
    std::vector<InputFile> found;
    if (!CollectInputs(options.inputs, &found)) {
        return kcabExitPartial;
    }
    std::vector<InputFile> files;
    for (const InputFile& file : found) {
        if (IsOwnOutput(file.path, options.outputPath)) {
            std::fprintf(stderr, "kcab: note: %s is an output of this run; left out\n", file.path.c_str());
        } else {
            files.push_back(file);
        }
    }

    CabWriteRequest request;
    request.folders.push_back(CabWriteFolder{method});
    for (const InputFile& file : files) {
        CabWriteFile entry;
        entry.name = file.name;
        entry.size = static_cast<uint32_t>(file.size);
        entry.date = file.date;
        entry.time = file.time;
        entry.attributes = file.attributes;
        entry.folder = 0;
        request.files.push_back(entry);
    }
    request.maxCabinetBytes = static_cast<uint32_t>(options.setSizeBytes);
    request.setId = SetIdFor(files);
    const std::string firstName = BaseName(options.outputPath);
    request.cabinetName = [firstName](uint32_t index) { return CabSetMemberName(firstName, index); };

    FileContentSource source(&files);
    FileCabinetSink sink(outputFolder);
    const CabWriteResult result = WriteCabinets(request, &source, &sink);
    if (result.status != CabWriteOk) {
        std::string detail = result.message;
        if (result.status == CabWriteReadFailed && !source.Problem().empty()) detail += " (" + source.Problem() + ")";
        if (result.status == CabWriteSinkFailed && !sink.Problem().empty()) detail += " (" + sink.Problem() + ")";
        if (result.status == CabWriteSetTooSmall) detail += "; choose a larger --set-size";
        std::fprintf(stderr, "kcab: %s: %s\n", CabWriteStatusName(result.status), detail.c_str());
        // A partial set is of no use; remove what was written.
        for (const std::string& path : sink.Written()) unlink(path.c_str());
        return kcabExitPartial;
    }
    std::printf("%zu file(s) in %u cabinet(s), method %s\n", files.size(), result.cabinetCount,
                CabMethodName(method).c_str());
    return kcabExitOk;
}
