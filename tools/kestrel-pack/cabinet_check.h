// cabinet_check.h: a payload cabinet extracted in memory by the system's own
// decoder, with every file decoded and thrown away, so a package's payload is
// known to extract before anybody runs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CabinetCheck {
    size_t fileCount = 0;
    uint64_t fileBytes = 0;  // decoded bytes of all files
};

// Extracts the cabinet held in memory. False with a reason a person can act on
// when it is no cabinet, belongs to a set, or any block fails its checksum or
// decompression. Not reentrant: the decoder's callbacks carry no context, so
// one check at a time uses the in-memory file behind them.
bool CheckPayloadCabinet(const std::vector<uint8_t>& cabinet, CabinetCheck* check, std::string* error);
