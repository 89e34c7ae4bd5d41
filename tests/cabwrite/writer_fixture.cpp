// writer_fixture.cpp: test inputs for the writer.
#include "writer_fixture.h"

namespace {

uint32_t NextRandom(uint32_t* state) {
    // xorshift32: fixed sequences, no dependence on the library's generator.
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

}  // namespace

std::vector<uint8_t> RandomBytes(uint32_t seed, size_t count) {
    uint32_t state = seed * 2654435761u + 1;
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(NextRandom(&state) >> 24);
    return bytes;
}

std::vector<uint8_t> TextBytes(uint32_t seed, size_t count) {
    static const char* const words[] = {"kestrel ", "cabinet ", "folder ", "block ", "deflate ", "window ",
                                        "quantum ", "stored ", "\n", "set ", "spanning ", "checksum "};
    uint32_t state = seed * 2246822519u + 7;
    std::vector<uint8_t> bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        const uint32_t pick = NextRandom(&state);
        if (pick % 17 == 0 && bytes.size() > 40000) {
            // A repeat from far back, beyond the block at hand.
            const size_t from = bytes.size() - 33000 - pick % 4000;
            for (size_t i = 0; i < 64 && bytes.size() < count; ++i) bytes.push_back(bytes[from + i]);
            continue;
        }
        const std::string word = words[pick % 12];
        for (char c : word) {
            if (bytes.size() < count) bytes.push_back(static_cast<uint8_t>(c));
        }
    }
    return bytes;
}

WriteOutcome WriteToMemory(CabWriteRequest request, const std::vector<std::vector<uint8_t>>& contents) {
    for (size_t i = 0; i < request.files.size() && i < contents.size(); ++i) {
        request.files[i].size = static_cast<uint32_t>(contents[i].size());
    }
    CabMemorySource source(&contents);
    CabMemorySink sink;
    WriteOutcome outcome;
    outcome.result = WriteCabinets(request, &source, &sink);
    outcome.cabinets = sink.cabinets;
    return outcome;
}

CabWriteFile MakeFile(const std::string& name, uint32_t folder, uint16_t attributes) {
    CabWriteFile file;
    file.name = name;
    file.folder = folder;
    file.attributes = attributes;
    file.date = static_cast<uint16_t>((44 << 9) | (5 << 5) | 17);  // 2024-05-17
    file.time = static_cast<uint16_t>((13 << 11) | (45 << 5) | 10);  // 13:45:20
    return file;
}

CabMethod StoredMethod() {
    CabMethod method;
    method.kind = CabMethodKind::Stored;
    return method;
}

CabMethod MszipMethod() {
    CabMethod method;
    method.kind = CabMethodKind::Mszip;
    return method;
}
