// folder_cabinet.cpp: folder listing to CabWriteRequest, content from the host
// files, the finished cabinet collected in memory.
#include "folder_cabinet.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cab_writer.h"
#include "compression_method.h"
#include "host_files.h"

namespace {

const uint16_t attrReadOnly = 0x01;
const uint16_t attrArchive = 0x20;
const size_t maxCabinetNameChars = 255;

// DOS words of a calendar moment in local time, clamped to 1980..2107.
DosStamp StampOfTime(time_t moment) {
    DosStamp stamp;
    const std::tm* local = std::localtime(&moment);
    if (local == nullptr || local->tm_year < 80) return stamp;
    if (local->tm_year > 207) {
        stamp.date = static_cast<uint16_t>((127 << 9) | (12 << 5) | 31);
        stamp.time = static_cast<uint16_t>((23 << 11) | (59 << 5) | 29);
        return stamp;
    }
    stamp.date = static_cast<uint16_t>(((local->tm_year - 80) << 9) | ((local->tm_mon + 1) << 5) | local->tm_mday);
    stamp.time = static_cast<uint16_t>((local->tm_hour << 11) | (local->tm_min << 5) | (local->tm_sec / 2));
    return stamp;
}

// Hands each file's bytes to the writer, reading a file whole when it starts.
class HostContentSource : public CabContentSource {
public:
    explicit HostContentSource(const std::vector<HostFileInfo>* files) : files_(files) {}

    bool ReadContent(uint32_t fileIndex, uint8_t* buffer, uint32_t count) override {
        if (!loaded_ || fileIndex != fileIndex_) {
            loaded_ = true;
            fileIndex_ = fileIndex;
            position_ = 0;
            if (!ReadHostFile((*files_)[fileIndex].path, &bytes_, &problem_)) return false;
        }
        if (bytes_.size() - position_ < count) {
            problem_ = (*files_)[fileIndex].path + " is shorter than when the folder was listed";
            return false;
        }
        std::copy(bytes_.begin() + static_cast<ptrdiff_t>(position_),
                  bytes_.begin() + static_cast<ptrdiff_t>(position_ + count), buffer);
        position_ += count;
        return true;
    }
    const std::string& Problem() const { return problem_; }

private:
    const std::vector<HostFileInfo>* files_;
    bool loaded_ = false;
    uint32_t fileIndex_ = 0;
    size_t position_ = 0;
    std::vector<uint8_t> bytes_;
    std::string problem_;
};

class MemorySink : public CabCabinetSink {
public:
    explicit MemorySink(std::vector<uint8_t>* cabinet) : cabinet_(cabinet) {}
    bool TakeCabinet(uint32_t index, const std::string&, const std::vector<uint8_t>& bytes) override {
        if (index != 0) return false;
        *cabinet_ = bytes;
        return true;
    }

private:
    std::vector<uint8_t>* cabinet_;
};

}  // namespace

bool ParseDosStamp(const std::string& text, DosStamp* stamp, std::string* error) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char tail = 0;
    const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour, &minute,
                                   &second, &tail);
    static const int daysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool shapeOk = (fields == 3 && text.size() == 10) || fields == 6;
    const bool leapYear = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (!shapeOk || year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth[month - 1] || (month == 2 && day == 29 && !leapYear) || hour > 23 || minute > 59 || second > 59 || hour < 0 || minute < 0 ||
        second < 0) {
        *error = "\"" + text + "\" is no date of 1980 to 2107 in the form YYYY-MM-DD or \"YYYY-MM-DD HH:MM:SS\"";
        return false;
    }
    stamp->date = static_cast<uint16_t>(((year - 1980) << 9) | (month << 5) | day);
    stamp->time = static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
    return true;
}

bool MakeFolderCabinet(const FolderCabinetOptions& options, std::vector<uint8_t>* cabinet, size_t* fileCount,
                       std::string* error) {
    CabMethod method;
    if (!ParseCabMethod(options.method, &method, error)) return false;
    if (!CreateBlockCompressor(method, error)) return false;
    std::vector<HostFileInfo> files;
    if (!ListHostFolder(options.folder, &files, error)) return false;
    if (files.empty()) {
        *error = "the folder " + options.folder + " holds no files to pack";
        return false;
    }

    CabWriteRequest request;
    request.folders.push_back(CabWriteFolder{method});
    for (const HostFileInfo& file : files) {
        if (file.relativeName.size() > maxCabinetNameChars) {
            *error = "the name " + file.relativeName + " is longer than the 255 characters a cabinet holds";
            return false;
        }
        if (file.size > 0xFFFFFFFFull) {
            *error = file.path + " is larger than the 4 GB a cabinet holds";
            return false;
        }
        CabWriteFile entry;
        entry.name = file.relativeName;
        entry.size = static_cast<uint32_t>(file.size);
        const DosStamp stamp = options.fixedStamp ? options.stamp : StampOfTime(file.modified);
        entry.date = stamp.date;
        entry.time = stamp.time;
        entry.attributes = static_cast<uint16_t>(attrArchive | (file.readOnly ? attrReadOnly : 0));
        entry.folder = 0;
        request.files.push_back(entry);
    }
    HostContentSource source(&files);
    MemorySink sink(cabinet);
    const CabWriteResult result = WriteCabinets(request, &source, &sink);
    if (result.status != CabWriteOk) {
        *error = std::string("the cabinet writer failed (") + CabWriteStatusName(result.status) + "): " + result.message;
        if (!source.Problem().empty()) *error += " (" + source.Problem() + ")";
        return false;
    }
    *fileCount = files.size();
    return true;
}
