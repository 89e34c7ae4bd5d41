// cabinet_set.h: a two-cabinet set of stored folders for the spanning tests.
//
// The folder that crosses from one.cab into two.cab holds three blocks:
//
// | block | bytes | folder offsets | where                                    |
// |-------|-------|----------------|------------------------------------------|
// | A     | 600   | 0 - 600        | one.cab                                  |
// | B     | 800   | 600 - 1400     | split: 300 in one.cab, 500 in two.cab    |
// | C     | 500   | 1400 - 1900    | two.cab                                  |
//
// one.cab lists f1 (0, 100 bytes) and f2 (550, 1000 bytes, FolderToNext).
// two.cab lists f2 again (FolderFromPrevious), f3 (1600, 200 bytes, begins in
// two.cab's folder 0) and f4 (64 bytes in two.cab's own folder 1, block D).
#pragma once

#include "cab_builder.h"
#include "memory_io.h"

struct CabinetSet {
    CabinetSpec one, two;
    Bytes folderData;  // A, B, C back to back
    Bytes blockD;

    // The bytes of the crossing folder at [offset, offset + size).
    Bytes Slice(uint32_t offset, uint32_t size) const {
        return Bytes(folderData.begin() + offset, folderData.begin() + offset + size);
    }
    void Install(MemoryIo& io, const std::string& dir = "") const {
        io.files[dir + "one.cab"] = BuildCabinet(one);
        io.files[dir + "two.cab"] = BuildCabinet(two);
    }
};

// With reserve, both cabinets carry a 5-byte cabinet reserve area, 3 reserved
// bytes per folder entry and 2 per block header, each with its own content.
CabinetSet MakeCabinetSet(bool withReserve);

CabFileSpec FileAt(const std::string& name, uint32_t offset, uint32_t size, uint16_t folderIndex);
