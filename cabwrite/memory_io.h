// memory_io.h: a content source over byte vectors and a sink that keeps the
// cabinets in memory, for tests, fuzz seeds and small tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cab_writer.h"

// Serves file i from contents[i]; the vectors must outlive the write.
class CabMemorySource : public CabContentSource {
public:
    explicit CabMemorySource(const std::vector<std::vector<uint8_t>>* contents) : contents_(contents) {}
    bool ReadContent(uint32_t fileIndex, uint8_t* buffer, uint32_t count) override;

private:
    const std::vector<std::vector<uint8_t>>* contents_;
    uint32_t fileIndex_ = 0;
    size_t position_ = 0;
};

struct CabMemoryCabinet {
    std::string name;
    std::vector<uint8_t> bytes;
};

class CabMemorySink : public CabCabinetSink {
public:
    bool TakeCabinet(uint32_t index, const std::string& name, const std::vector<uint8_t>& bytes) override;
    std::vector<CabMemoryCabinet> cabinets;
};
