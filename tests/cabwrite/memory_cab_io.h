// memory_cab_io.h: the decoder's CabIo callbacks over in-memory files, for
// round trips without touching the disk.
//
// The callbacks are plain functions, so the files live in one table of this
// test program; Reset() empties it. Cabinets are opened by name (the decoder
// is given an empty cabinet folder). Output handles are made by the
// notification callback with OpenMemoryOutput and collect what the decoder
// writes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cabdecode.h"

void ResetMemoryFiles();
void AddMemoryFile(const std::string& name, const std::vector<uint8_t>& bytes);
// A handle that write appends to; the bytes are found under name.
int32_t OpenMemoryOutput(const std::string& name);
const std::vector<uint8_t>& MemoryOutput(const std::string& name);
// Handles of cabinet files still open.
int OpenMemoryCabinetHandles();

CabIo MemoryCabIo();
