// memory_io.cpp: in-memory content and cabinets.
#include "memory_io.h"

#include <cstring>

bool CabMemorySource::ReadContent(uint32_t fileIndex, uint8_t* buffer, uint32_t count) {
    if (fileIndex >= contents_->size()) {
        return false;
    }
    if (fileIndex != fileIndex_) {
        fileIndex_ = fileIndex;
        position_ = 0;
    }
    const std::vector<uint8_t>& content = (*contents_)[fileIndex];
    if (position_ + count > content.size()) {
        return false;
    }
    std::memcpy(buffer, content.data() + position_, count);
    position_ += count;
    return true;
}

bool CabMemorySink::TakeCabinet(uint32_t index, const std::string& name, const std::vector<uint8_t>& bytes) {
    if (index != cabinets.size()) {
        return false;
    }
    cabinets.push_back(CabMemoryCabinet{name, bytes});
    return true;
}
