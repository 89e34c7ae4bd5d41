// set_checks.h: the structural rules that every cabinet set from the writer
// must keep, checked on the tests' own parse of the set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cab_parser.h"
#include "memory_io.h"

struct SetShape {
    int splitBlocks = 0;           // cabinets that end with the first part of a split block
    int blockBoundaryContinues = 0;// cabinets whose last folder goes on with whole blocks
    int filesInThreeCabinets = 0;  // files listed in three or more cabinets
    std::vector<ParsedCabinet> parsed;
};

// Checks sizes, indexes, set id, neighbour names, the listing order of
// continued files and the shape of split blocks; fills *shape.
testing::AssertionResult CheckSet(const std::vector<CabMemoryCabinet>& cabinets, uint32_t maxCabinetBytes,
                                  SetShape* shape);
