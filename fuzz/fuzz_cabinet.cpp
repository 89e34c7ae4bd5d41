// fuzz_cabinet.cpp: arbitrary bytes as a cabinet, extracted in full.
//
// The input may hold two cabinets one after the other: it is cut at the
// second "MSCF", and the part behind the cut is offered once as the next
// cabinet of a set (without a second "MSCF", the whole input is offered
// again). The compression words in the input choose stored, MSZIP or Quantum
// decoding. When the input's last byte has its top bit set, large allocations
// fail, so Quantum folders page their window through the scratch file.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_extract.h"
#include "fuzz_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t cut = size;
    for (size_t i = 4; i + 4 <= size; ++i) {
        if (std::memcmp(data + i, "MSCF", 4) == 0) {
            cut = i;
            break;
        }
    }
    const bool pagedWindow = size > 0 && (data[size - 1] & 0x80) != 0;
    FuzzIoReset(pagedWindow);
    FuzzIoAddCabinet("fuzz.cab", data, cut);
    if (cut < size) {
        FuzzIoAddCabinet("next.cab", data + cut, size - cut);
    } else {
        FuzzIoAddCabinet("next.cab", data, size);
    }
    FuzzExtractCabinet("fuzz.cab", "next.cab");
    return 0;
}
