// fuzz_cabinet_set.cpp: arbitrary bytes as the second cabinet of a valid
// two-cabinet set.
//
// The first cabinet (from the writer, see fuzz_seed_set.cpp) ends with the
// first part of a split MSZIP block and names "seed2.cab" as its next
// cabinet; the input is that cabinet. Both the continuation from the first
// cabinet and an extraction of the input on its own are run.
#include <cstddef>
#include <cstdint>

#include "fuzz_extract.h"
#include "fuzz_io.h"
#include "fuzz_seed_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<CabMemoryCabinet>& set = FuzzBaseSet();
    FuzzIoReset(size > 0 && (data[size - 1] & 0x80) != 0);
    FuzzIoAddCabinet(set[0].name, set[0].bytes.data(), set[0].bytes.size());
    FuzzIoAddCabinet(set[1].name, data, size);
    FuzzExtractCabinet(set[0].name.c_str(), set[1].name.c_str());
    FuzzExtractCabinet(set[1].name.c_str(), set[1].name.c_str());
    return 0;
}
