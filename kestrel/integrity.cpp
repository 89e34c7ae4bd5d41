// integrity.cpp: the integrity marker and the package checksum.
//
// The marker and the payload are located from the end of the package file;
// a position outside the file makes the read fail, so nothing is read or
// written outside it. The checksum covers the first stubSize bytes, the
// payload and the split parts, in that order; the marker and anything
// between stubSize and the marker are not covered.
#include <cstdio>
#include <cstring>

#include "auto_close.h"
#include "checksum.h"
#include "config_rules.h"
#include "dir_entry.h"
#include "front_end.h"
#include "package_layout.h"
#include "package_state.h"
#include "status_line.h"
#include "text_buffer.h"

namespace {

const int statusItem = 1006;
// Bytes read from a stream at once; every byte is still fed in order.
const size_t readBlockBytes = 32768;
const char copyName[] = "tmp000.exe";

// The size of the package file as the directory reports it (low 32 bits).
DWORD PackageFileSize() {
    DirEntry entry(exePath);
    return entry.GetKind() == EntryFile ? entry.GetSize() : 0;
}

// The first and the final value of a computation, shown before going on.
void ShowChecksum(uint32_t accumulator, HWND progressWindow) {
    char text[32];
    FormatText(text, sizeof text, "CRC: 0x%08x", accumulator);
    SetDlgItemTextA(progressWindow, statusItem, text);
}

// The running value every 1000 bytes: offered without waiting for the dialog.
void OfferChecksum(uint32_t accumulator, void* context) {
    char text[32];
    FormatText(text, sizeof text, "CRC: 0x%08x", accumulator);
    OfferStatusText(static_cast<HWND>(context), text);
}

enum FeedResult { FeedDone, FeedStopped };

// Feeds the stream from its current position: up to limit bytes, or to its
// end when limit is negative. A read error ends the range as its end would.
FeedResult FeedStream(FILE* stream, long long limit, ChecksumRun* run, HWND progressWindow) {
    unsigned char block[readBlockBytes];
    long long fed = 0;
    for (;;) {
        if (StopRequested()) return FeedStopped;
        size_t want = readBlockBytes;
        if (limit >= 0) {
            if (fed >= limit) break;
            if (limit - fed < static_cast<long long>(want)) want = static_cast<size_t>(limit - fed);
        }
        size_t got = fread(block, 1, want, stream);
        if (got == 0) break;
        ChecksumFeed(run, block, got, progressWindow != nullptr ? OfferChecksum : nullptr, progressWindow);
        fed += static_cast<long long>(got);
    }
    return FeedDone;
}

}  // namespace

int ComputePackageChecksum(char* digits, HWND progressWindow) {
    DWORD fileSize = PackageFileSize();
    long long stubBytes = ReadNumber(packageConfig.stubSize);
    uint32_t payloadOffset = 0;
    if (!LocatePayload(fileSize, ReadNumber(packageConfig.payloadSize), &payloadOffset)) return 0;
    if (payloadOffset > 0x7fffffffu) return 0;  // beyond what a stream position can reach

    ChecksumRun run;
    ChecksumBegin(&run);
    {
        AutoCloseFile image(fopen(exePath, "rb"));
        if (image.Get() == nullptr) return 0;
        if (stubBytes > 0 && FeedStream(image.Get(), stubBytes, &run, nullptr) == FeedStopped) return 0;
    }
    if (progressWindow != nullptr) ShowChecksum(run.accumulator, progressWindow);
    {
        AutoCloseFile payload(fopen(exePath, "rb"));
        if (payload.Get() == nullptr) return 0;
        if (fseek(payload.Get(), static_cast<long>(payloadOffset), SEEK_SET) != 0) return 0;
        ChecksumBeginFile(&run);
        if (FeedStream(payload.Get(), -1, &run, progressWindow) == FeedStopped) return 0;
    }
    int partCount = ReadNumber(packageConfig.splitPartCount);
    for (int part = 1; part <= partCount; ++part) {
        char partPath[pathChars];
        if (!FormatText(partPath, sizeof partPath, "%s%s.%03d", exeDir, packageConfig.partBaseName, part)) {
            return 0;  // a cut path could name another file
        }
        AutoCloseFile partFile(fopen(partPath, "rb"));
        if (partFile.Get() == nullptr) return 0;
        ChecksumBeginFile(&run);
        if (FeedStream(partFile.Get(), -1, &run, progressWindow) == FeedStopped) return 0;
    }
    if (progressWindow != nullptr) ShowChecksum(run.accumulator, progressWindow);
    FormatChecksum(run.accumulator, digits);
    return 1;
}

int ReadIntegrityMarker(char* marker) {
    marker[0] = '\0';
    uint32_t markerOffset = 0;
    if (!LocateMarker(PackageFileSize(), ReadNumber(packageConfig.payloadSize), &markerOffset)) return 0;
    if (markerOffset > 0x7fffffffu) return 0;
    AutoCloseFile package(fopen(exePath, "rb"));
    if (package.Get() == nullptr) return 0;
    if (fseek(package.Get(), static_cast<long>(markerOffset), SEEK_SET) != 0) return 0;
    size_t got = fread(marker, 1, markerLength, package.Get());
    marker[got] = '\0';
    return got == markerLength;
}

int RewriteIntegrityMarker(const char* marker) {
    char copyPath[pathChars];
    if (!FormatText(copyPath, sizeof copyPath, "%s%s", exeDir, copyName)) return 0;
    char commandLine[pathChars];
    if (!FormatText(commandLine, sizeof commandLine, "/copy:%s", exeName)) return 0;

    // A fresh copy of the running package, or nothing: an older copy of the
    // same name must never be patched and started in its place.
    DWORD fileSize = PackageFileSize();
    uint32_t markerOffset = 0;
    if (fileSize == 0 || !LocateMarker(fileSize, ReadNumber(packageConfig.payloadSize), &markerOffset)) return 0;
    if (markerOffset > 0x7fffffffu) return 0;
    DeleteFileA(copyPath);
    if (!CopyFileA(exePath, copyPath, FALSE)) return 0;
    {
        DirEntry copy(copyPath);
        if (copy.GetKind() != EntryFile || copy.GetSize() != fileSize) {
            DeleteFileA(copyPath);
            return 0;
        }
    }
    int written = 0;
    {
        AutoCloseFile copy(fopen(copyPath, "r+b"));
        if (copy.Get() == nullptr) {
            DeleteFileA(copyPath);
            return 0;
        }
        written = fseek(copy.Get(), static_cast<long>(markerOffset), SEEK_SET) == 0 &&
                  fwrite(marker, 1, markerLength, copy.Get()) == markerLength;
        written = copy.Close() && written;
    }
    if (!written) {
        DeleteFileA(copyPath);
        return 0;
    }

    if (!StartChainStep(copyPath, commandLine)) {
        DeleteFileA(copyPath);
        return 0;
    }
    ExitProcess(0);
}

int ApplyIntegrityVerdict(HWND progressWindow, char* detail, size_t detailChars) {
    if (MarkerTurnsCheckOff(markerText)) return 1;
    char digits[checksumDigitChars];
    if (!ComputePackageChecksum(digits, progressWindow)) {
        CopyText(detail, detailChars, checksumFailedDetail);
        return 0;
    }
    return JudgeChecksum(markerText, digits, detail, detailChars);
}
