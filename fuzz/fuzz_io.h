// fuzz_io.h: in-memory CabIo callbacks for the fuzz targets.
//
// Cabinets are opened by name from a small table; output handles discard
// what is written but count it against a bound; the scratch file "*" of the
// paged Quantum window lives in memory, also bounded; allocations are capped
// and, on request, large ones fail so that the paged window is used. Each
// fuzz input starts with FuzzIoReset().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cabdecode.h"

// Empties the table and the counters. With failLargeAllocations, every
// allocation above 64 KB fails (the Quantum window then pages to "*").
void FuzzIoReset(bool failLargeAllocations);
// name → bytes; the bytes must stay valid until the next reset.
void FuzzIoAddCabinet(const std::string& name, const uint8_t* data, size_t size);
// A handle that accepts and discards up to the output bound.
int32_t FuzzIoOpenOutput();
// True when every handle and every allocation has been given back.
bool FuzzIoAllReleased();

CabIo FuzzCabIo();
