// cab_serialize.h: a laid-out cabinet record becomes the bytes of a cabinet
// file.
#pragma once

#include <cstdint>
#include <vector>

#include "cab_records.h"

// Replaces *bytes with the cabinet file. Block checksums are computed when
// withChecksums is true and written as 0 (none) otherwise. Returns false when
// the cabinet would not fit the format's 32-bit sizes and 16-bit counts.
bool SerializeCabinet(const CabOutCabinet& cabinet, const CabReserveLayout& reserve, bool withChecksums,
                      std::vector<uint8_t>* bytes);
