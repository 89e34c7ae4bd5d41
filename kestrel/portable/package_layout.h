// package_layout.h: where the pieces of a package file lie, and the verdict
// on its integrity marker.
//
//   offset              length        content
//   0                   stubSize      executable image
//   F - payloadSize-15  15            integrity marker "CRC?,0x????????"
//   F - payloadSize     payloadSize   cabinet payload, to the end of the file
//
// F is the package file's size. The marker and the payload are located from
// the end of the file; stubSize only bounds the first checksum range.
#pragma once

#include <cstddef>
#include <cstdint>

// The marker, stored without a terminator: "CRC", a state character, ",0x"
// and 8 lowercase hex digits.
const size_t markerLength = 15;
const size_t markerStatePosition = 3;

// Offset of the payload, F - payloadSize. Returns 0 when that lies outside
// the file (a negative payloadSize, or one larger than the file), so that
// nothing is ever read or written outside it.
int LocatePayload(uint32_t fileSize, long long payloadSize, uint32_t* payloadOffset);

// Offset of the marker, F - payloadSize - 15. Returns 0 when the marker would
// not lie wholly inside the file in front of the payload.
int LocateMarker(uint32_t fileSize, long long payloadSize, uint32_t* markerOffset);

// 1 when the marker turns the check off: it contains "CRC0" anywhere.
int MarkerTurnsCheckOff(const char* marker);

// The verdict on a computed checksum: 1 when digits occur anywhere in marker
// (case-sensitive, so capital digits never match). Otherwise 0 with the
// detail text "%s:0x%s" from marker and digits in detail (cut to
// detailChars - 1).
int JudgeChecksum(const char* marker, const char* digits, char* detail, size_t detailChars);

// The detail text of a computation that failed.
extern const char checksumFailedDetail[];
