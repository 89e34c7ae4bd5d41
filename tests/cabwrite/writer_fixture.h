// writer_fixture.h: inputs for the writer's tests and a one-call write into
// memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cab_writer.h"
#include "memory_io.h"

// Bytes that no compressor can shrink, from a fixed seed.
std::vector<uint8_t> RandomBytes(uint32_t seed, size_t count);
// Text-like bytes that compress well and hold long-distance repeats.
std::vector<uint8_t> TextBytes(uint32_t seed, size_t count);

struct WriteOutcome {
    CabWriteResult result;
    std::vector<CabMemoryCabinet> cabinets;
};

// Writes request with contents[i] as the content of request.files[i]; the
// files' sizes are set from the contents.
WriteOutcome WriteToMemory(CabWriteRequest request, const std::vector<std::vector<uint8_t>>& contents);

CabWriteFile MakeFile(const std::string& name, uint32_t folder = 0, uint16_t attributes = 0x20);
CabMethod StoredMethod();
CabMethod MszipMethod();
