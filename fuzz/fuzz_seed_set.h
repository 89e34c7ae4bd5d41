// fuzz_seed_set.h: the valid cabinets that seed the fuzz corpora, made by the
// writer from fixed content, so the seeds and the set target agree.
#pragma once

#include <string>
#include <vector>

#include "memory_io.h"

struct FuzzSeed {
    std::string name;           // file name in the corpus
    std::vector<uint8_t> bytes;
};

// A two-cabinet set whose first cabinet ends with the first part of a split
// MSZIP block; fuzz_cabinet_set fuzzes its second cabinet.
const std::vector<CabMemoryCabinet>& FuzzBaseSet();

// Seeds for fuzz_cabinet: single cabinets (stored, MSZIP, Quantum words,
// reserve areas, several folders, empty files) and two-cabinet sets written
// back to back.
std::vector<FuzzSeed> CabinetSeeds();
// Seeds for fuzz_cabinet_set: second cabinets that fit FuzzBaseSet's first.
std::vector<FuzzSeed> CabinetSetSeeds();
