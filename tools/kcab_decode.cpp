// kcab_decode.cpp: list, extract and test, through the cabinet decoder.
//
// All three walk the cabinet with CabDecoderExtract. List declines every file,
// so no data block is read and every entry is announced. Extract and test
// accept every file; extract writes it under the target folder, test into
// /dev/null. Continuation cabinets are opened beside the first one, and only
// under names that cannot point anywhere else.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "cabdecode.h"
#include "dos_time.h"
#include "host_io.h"
#include "kcab.h"
#include "safe_names.h"

namespace {

struct DecodeSession {
    DecodeMode mode = DecodeMode::List;
    std::string targetDir;       // with a trailing '/', or empty
    std::string cabinetDir;      // folder of the cabinets, with a trailing '/', or empty
    std::string openPath;        // the output file being written, "" when none
    int skippedFiles = 0;        // refused names and outputs that could not be created
    int filesDone = 0;
    std::string stopReason;      // why a callback stopped the walk
};

const char* NextCabinetProblem(int code) {
    switch (code) {
        case CabErrOpen: return "is missing or cannot be opened";
        case CabErrNotCabinet: return "is not a cabinet";
        case CabErrVersion: return "has an unsupported format version";
        case CabErrWrongCabinet: return "does not belong to this set (other set id or position)";
        case CabErrReserve: return "has other reserve sizes than this set";
        case CabErrCorrupt: return "is damaged";
        default: return "cannot be used";
    }
}

// Creates every folder of relative (a '/'-joined path) below root; the last
// component is the file and is not created. For names from a cabinet
// (followLinks false) it refuses to pass through anything that is not a real
// folder, so a link planted in the target cannot lead out; the target folder
// that the user names may itself be reached through links.
bool MakeParentFolders(const std::string& root, const std::string& relative, bool followLinks,
                       std::string* problem) {
    size_t slash = relative.find('/');
    while (slash != std::string::npos) {
        const std::string folder = root + relative.substr(0, slash);
        if (slash == 0 || relative[slash - 1] == '/') {
            // The root of an absolute target, or a doubled separator.
            slash = relative.find('/', slash + 1);
            continue;
        }
        struct stat info;
        if ((followLinks ? stat(folder.c_str(), &info) : lstat(folder.c_str(), &info)) == 0) {
            if (!S_ISDIR(info.st_mode)) {
                *problem = folder + " exists and is not a folder";
                return false;
            }
        } else if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            *problem = "cannot create folder " + folder + ": " + std::strerror(errno);
            return false;
        }
        slash = relative.find('/', slash + 1);
    }
    return true;
}

int32_t OpenOutput(DecodeSession* session, const CabNotice* notice) {
    const std::string name = notice->text1;
    if (session->mode == DecodeMode::Test) {
        int fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            session->stopReason = std::string("cannot open /dev/null: ") + std::strerror(errno);
            return -1;
        }
        return fd;
    }
    std::string relative, reason;
    if (!CabNameToRelativePath(name, &relative, &reason)) {
        std::fprintf(stderr, "kcab: refused \"%s\": %s; it was not extracted\n", name.c_str(), reason.c_str());
        ++session->skippedFiles;
        return 0;
    }
    std::string problem;
    if (!MakeParentFolders(session->targetDir, relative, false, &problem)) {
        std::fprintf(stderr, "kcab: skipped \"%s\": %s\n", name.c_str(), problem.c_str());
        ++session->skippedFiles;
        return 0;
    }
    const std::string path = session->targetDir + relative;
    // An old file (or a link) of that name is replaced, never written through.
    struct stat info;
    if (lstat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode) || unlink(path.c_str()) != 0) {
            std::fprintf(stderr, "kcab: skipped \"%s\": %s exists and cannot be replaced\n", name.c_str(),
                         path.c_str());
            ++session->skippedFiles;
            return 0;
        }
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::fprintf(stderr, "kcab: skipped \"%s\": cannot create %s: %s\n", name.c_str(), path.c_str(),
                     std::strerror(errno));
        ++session->skippedFiles;
        return 0;
    }
    if (fd == 0) {
        // 0 means "skip" to the decoder; keep the file on another descriptor.
        int other = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        close(fd);
        if (other < 0) return -1;
        fd = other;
    }
    session->openPath = path;
    return fd;
}

int32_t CloseOutput(DecodeSession* session, const CabNotice* notice) {
    ++session->filesDone;
    if (session->mode == DecodeMode::Test) {
        close(notice->handle);
        return 1;
    }
    const std::string path = session->openPath;
    session->openPath.clear();
    if (close(notice->handle) != 0) {
        std::fprintf(stderr, "kcab: writing %s failed: %s\n", path.c_str(), std::strerror(errno));
        return 0;
    }
    time_t moment;
    if (TimeFromDos(notice->date, notice->time, &moment)) {
        struct timeval times[2] = {{moment, 0}, {moment, 0}};
        utimes(path.c_str(), times);
    }
    if (notice->attributes & 0x01) {
        struct stat info;
        if (stat(path.c_str(), &info) == 0) {
            chmod(path.c_str(), info.st_mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH));
        }
    }
    return 1;
}

void PrintEntry(const CabNotice* notice) {
    std::printf("%10u %s 0x%04x %s\n", static_cast<unsigned>(notice->size),
                FormatDosDateTime(notice->date, notice->time).c_str(), notice->attributes, notice->text1);
}

int32_t NextCabinet(DecodeSession* session, CabNotice* notice) {
    const std::string name = notice->text1;
    if (notice->error != 0) {
        session->stopReason = "continuation cabinet \"" + name + "\" (looked for " + session->cabinetDir + name +
                              ") " + NextCabinetProblem(notice->error);
        return -1;
    }
    if (name.empty()) {
        session->stopReason = "a file continues beyond this cabinet, but it names no next cabinet";
        return -1;
    }
    if (!IsPlainFileName(name)) {
        session->stopReason = "continuation cabinet name \"" + name + "\" is not a plain file name; refused to open it";
        return -1;
    }
    return 0;
}

int32_t HandleNotice(int32_t type, CabNotice* notice) {
    DecodeSession* session = static_cast<DecodeSession*>(notice->user);
    switch (type) {
        case NoticeContinuedFile:
            if (session->mode == DecodeMode::List) {
                PrintEntry(notice);
            }
            return 0;
        case NoticeOpenOutput:
            if (session->mode == DecodeMode::List) {
                PrintEntry(notice);
                return 0;
            }
            return OpenOutput(session, notice);
        case NoticeCloseOutput:
            return CloseOutput(session, notice);
        case NoticeNextCabinet:
            return NextCabinet(session, notice);
        default:
            return 0;
    }
}

std::string ErrorAdvice(int code) {
    switch (code) {
        case CabErrOpen: return "the cabinet cannot be opened: check that it exists and is readable";
        case CabErrNotCabinet: return "the file is not a cabinet (no \"MSCF\" header)";
        case CabErrVersion: return "the cabinet has a format version other than 1.3";
        case CabErrCorrupt: return "the cabinet is damaged or truncated (bad structure or checksum)";
        case CabErrMemory: return "out of memory";
        case CabErrCompression: return "a folder uses an unknown compression method";
        case CabErrDecompress: return "compressed data is damaged";
        case CabErrWrite: return "an output file could not be written (disk full?)";
        case CabErrReserve: return "a continuation cabinet has other reserve sizes than the first one";
        case CabErrWrongCabinet: return "a continuation cabinet does not belong to this set";
        case CabErrAborted: return "extraction stopped";
        default: return "the decoder failed";
    }
}

}  // namespace

const char* CabErrorName(int code) {
    static const char* const names[] = {"CabErrNone",       "CabErrOpen",        "CabErrNotCabinet", "CabErrVersion",
                                        "CabErrCorrupt",    "CabErrMemory",      "CabErrCompression",
                                        "CabErrDecompress", "CabErrWrite",       "CabErrReserve",
                                        "CabErrWrongCabinet", "CabErrAborted"};
    return code >= 0 && code <= 11 ? names[code] : "CabErrUnknown";
}

int RunDecode(DecodeMode mode, const std::string& cabinetPath, const std::string& targetDir) {
    DecodeSession session;
    session.mode = mode;
    const size_t slash = cabinetPath.find_last_of('/');
    const std::string cabinetName = slash == std::string::npos ? cabinetPath : cabinetPath.substr(slash + 1);
    session.cabinetDir = slash == std::string::npos ? std::string() : cabinetPath.substr(0, slash + 1);
    if (cabinetName.empty()) {
        std::fprintf(stderr, "kcab: \"%s\" names a folder, not a cabinet file\n", cabinetPath.c_str());
        return kcabExitUsage;
    }
    if (mode == DecodeMode::Extract) {
        session.targetDir = targetDir.empty() ? std::string("./") : targetDir;
        if (session.targetDir.back() != '/') session.targetDir += '/';
        std::string problem;
        if (!MakeParentFolders("", session.targetDir, true, &problem)) {
            std::fprintf(stderr, "kcab: %s\n", problem.c_str());
            return kcabExitPartial;
        }
    }

    CabError error = {};
    CabIo io = HostCabIo();
    CabDecoder* decoder = CabDecoderCreate(io.alloc, io.free, io.open, io.read, io.write, io.close, io.seek, &error);
    if (decoder == nullptr) {
        std::fprintf(stderr, "kcab: %s: out of memory\n", CabErrorName(error.code));
        return kcabExitDecoderBase + error.code;
    }
    const int ok = CabDecoderExtract(decoder, cabinetName.c_str(), session.cabinetDir.c_str(), HandleNotice, nullptr,
                                     &session);
    CabDecoderDestroy(decoder);

    if (!ok) {
        std::string message = ErrorAdvice(error.code);
        if (error.code == CabErrAborted && !session.stopReason.empty()) {
            message += ": " + session.stopReason;
        }
        if (error.code == CabErrOpen && session.cabinetDir.size() + cabinetName.size() > cabMaxPathChars) {
            message = "the cabinet's path is longer than the decoder's 256 characters; run kcab from the "
                      "cabinet's folder";
        }
        if (error.code == CabErrVersion) {
            char word[16];
            std::snprintf(word, sizeof word, " (0x%04x)", static_cast<unsigned>(error.detail));
            message += word;
        }
        std::fprintf(stderr, "kcab: %s: %s: %s\n", CabErrorName(error.code), cabinetPath.c_str(), message.c_str());
        if (!session.openPath.empty()) {
            // The decoder has closed the file in progress; it is incomplete.
            unlink(session.openPath.c_str());
            std::fprintf(stderr, "kcab: removed the incomplete file %s\n", session.openPath.c_str());
        }
        return kcabExitDecoderBase + error.code;
    }
    if (mode == DecodeMode::Test) {
        std::printf("%s: %d file(s) decoded, all data blocks intact\n", cabinetPath.c_str(), session.filesDone);
    }
    if (session.skippedFiles > 0) {
        std::fprintf(stderr, "kcab: %d file(s) were not extracted\n", session.skippedFiles);
        return kcabExitPartial;
    }
    return kcabExitOk;
}
