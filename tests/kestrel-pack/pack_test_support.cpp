// pack_test_support.cpp: see pack_test_support.h.
#include "pack_test_support.h"

#include <gtest/gtest.h>

#include "cab_writer.h"
#include "host_files.h"
#include "pe_image.h"

namespace {

class VectorSource : public CabContentSource {
public:
    explicit VectorSource(const std::vector<std::pair<std::string, std::vector<uint8_t>>>* files) : files_(files) {}
    bool ReadContent(uint32_t fileIndex, uint8_t* buffer, uint32_t count) override {
        if (fileIndex != index_) {
            index_ = fileIndex;
            position_ = 0;
        }
        const std::vector<uint8_t>& content = (*files_)[fileIndex].second;
        if (content.size() - position_ < count) return false;
        std::copy(content.begin() + position_, content.begin() + position_ + count, buffer);
        position_ += count;
        return true;
    }

private:
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>* files_;
    uint32_t index_ = 0;
    size_t position_ = 0;
};

class VectorSink : public CabCabinetSink {
public:
    bool TakeCabinet(uint32_t, const std::string&, const std::vector<uint8_t>& bytes) override {
        cabinet = bytes;
        return true;
    }
    std::vector<uint8_t> cabinet;
};

}  // namespace

std::vector<uint8_t> ReadTestFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadHostFile(path, &bytes, &error)) << error;
    return bytes;
}

std::vector<uint8_t> FixtureStub() { return ReadTestFile(FIXTURE_STUB); }
std::vector<uint8_t> FixtureStubLast() { return ReadTestFile(FIXTURE_STUB_LAST); }

ResourceTree TreeOfImage(const std::vector<uint8_t>& file) {
    ResourceTree tree;
    PeImage image;
    std::string error;
    size_t index = 0;
    if (!ParsePeImage(file, &image, &error) || !FindResourceSection(image, &index, &error)) {
        ADD_FAILURE() << error;
        return tree;
    }
    const PeSection& section = image.sections[index];
    EXPECT_TRUE(ParseResourceTree(file.data() + section.rawPointer, section.rawSize, section.virtualAddress, &tree,
                                  &error))
        << error;
    return tree;
}

StringEntries StringsOfImage(const std::vector<uint8_t>& file) {
    StringEntries entries;
    bool lossy = false;
    std::string error;
    EXPECT_TRUE(ReadStringTable(TreeOfImage(file), 0x0409, &entries, &lossy, &error)) << error;
    return entries;
}

std::vector<uint8_t> MakeCabinet(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    CabWriteRequest request;
    request.folders.push_back(CabWriteFolder{CabMethod{}});
    for (const auto& [name, content] : files) {
        CabWriteFile file;
        file.name = name;
        file.size = static_cast<uint32_t>(content.size());
        file.date = 0x5021;  // 2020-01-01
        request.files.push_back(file);
    }
    VectorSource source(&files);
    VectorSink sink;
    const CabWriteResult result = WriteCabinets(request, &source, &sink);
    EXPECT_EQ(result.status, CabWriteOk) << result.message;
    return sink.cabinet;
}

std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

BesideReader MemoryBeside(const std::map<std::string, std::vector<uint8_t>>* files) {
    return [files](const std::string& name, std::vector<uint8_t>* bytes) {
        if (files == nullptr) return false;
        auto it = files->find(name);
        if (it == files->end()) return false;
        if (bytes != nullptr) *bytes = it->second;
        return true;
    };
}
