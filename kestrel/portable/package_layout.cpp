// package_layout.cpp: offsets inside a package file and the marker verdict.
#include "package_layout.h"

#include <cstring>

#include "text_buffer.h"

const char checksumFailedDetail[] = "---CRC Err---";

int LocatePayload(uint32_t fileSize, long long payloadSize, uint32_t* payloadOffset) {
    if (payloadSize < 0 || payloadSize > static_cast<long long>(fileSize)) return 0;
    *payloadOffset = static_cast<uint32_t>(fileSize - payloadSize);
    return 1;
}

int LocateMarker(uint32_t fileSize, long long payloadSize, uint32_t* markerOffset) {
    uint32_t payloadOffset = 0;
    if (!LocatePayload(fileSize, payloadSize, &payloadOffset)) return 0;
    if (payloadOffset < markerLength) return 0;
    *markerOffset = payloadOffset - static_cast<uint32_t>(markerLength);
    return 1;
}

int MarkerTurnsCheckOff(const char* marker) {
    return marker != nullptr && strstr(marker, "CRC0") != nullptr;
}

int JudgeChecksum(const char* marker, const char* digits, char* detail, size_t detailChars) {
    if (strstr(marker, digits) != nullptr) return 1;
    FormatText(detail, detailChars, "%s:0x%s", marker, digits);
    return 0;
}
