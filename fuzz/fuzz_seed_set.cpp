// fuzz_seed_set.cpp: small, valid cabinets from the writer.
#include "fuzz_seed_set.h"

#include <cstdlib>

#include "cab_writer.h"
#include "cabdecode.h"

namespace {

std::vector<uint8_t> SeedText(uint32_t seed, size_t count) {
    static const char* const words[] = {"kestrel ", "cabinet ", "folder ", "block ", "\n", "window "};
    std::vector<uint8_t> bytes;
    uint32_t state = seed * 2654435761u + 1;
    while (bytes.size() < count) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        for (const char* c = words[state % 6]; *c && bytes.size() < count; ++c) bytes.push_back(static_cast<uint8_t>(*c));
    }
    return bytes;
}

std::vector<uint8_t> SeedNoise(uint32_t seed, size_t count) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed * 2246822519u + 3;
    for (uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

struct SeedSpec {
    std::vector<CabMethod> folders;
    std::vector<std::vector<uint8_t>> contents;
    std::vector<uint32_t> folderOfFile;
    uint32_t maxCabinetBytes = 0;
    CabReserveLayout reserve;
};

std::vector<CabMemoryCabinet> WriteSeed(const SeedSpec& spec) {
    CabWriteRequest request;
    for (const CabMethod& method : spec.folders) request.folders.push_back(CabWriteFolder{method});
    for (size_t i = 0; i < spec.contents.size(); ++i) {
        CabWriteFile file;
        file.name = "dir\\f" + std::to_string(i) + ".txt";
        file.size = static_cast<uint32_t>(spec.contents[i].size());
        file.date = static_cast<uint16_t>((44 << 9) | (6 << 5) | 1);
        file.time = static_cast<uint16_t>((12 << 11) | (1 << 5));
        file.attributes = static_cast<uint16_t>(i == 1 ? 0x61 : 0x20);
        file.folder = spec.folderOfFile.empty() ? 0 : spec.folderOfFile[i];
        request.files.push_back(file);
    }
    request.maxCabinetBytes = spec.maxCabinetBytes;
    request.setId = 0x4B53;
    request.reserve = spec.reserve;
    request.cabinetName = [](uint32_t index) { return CabSetMemberName("seed.cab", index); };
    CabMemorySource source(&spec.contents);
    CabMemorySink sink;
    const CabWriteResult result = WriteCabinets(request, &source, &sink);
    if (result.status != CabWriteOk) std::abort();  // the seeds are fixed; this cannot vary
    return sink.cabinets;
}

CabMethod Method(CabMethodKind kind, int windowBits = 21) {
    CabMethod method;
    method.kind = kind;
    method.quantumWindowBits = windowBits;
    return method;
}

bool QuantumEncoderAvailable() {
    std::string error;
    return CreateBlockCompressor(Method(CabMethodKind::Quantum), &error) != nullptr;
}

// Rewrites every folder's compression word of a single cabinet without
// reserve: stored data under a Quantum word still reaches the Quantum
// decoder's models, which is all a seed needs to do.
std::vector<uint8_t> WithCompressionWord(std::vector<uint8_t> cabinet, uint16_t word) {
    const uint32_t folderCount = cabinet[26] | cabinet[27] << 8;
    for (uint32_t i = 0; i < folderCount; ++i) {
        const size_t at = cabHeaderBytes + i * 8 + 6;
        cabinet[at] = static_cast<uint8_t>(word);
        cabinet[at + 1] = static_cast<uint8_t>(word >> 8);
    }
    return cabinet;
}

std::vector<uint8_t> Concatenated(const std::vector<CabMemoryCabinet>& cabinets, size_t first) {
    std::vector<uint8_t> bytes = cabinets[first].bytes;
    bytes.insert(bytes.end(), cabinets[first + 1].bytes.begin(), cabinets[first + 1].bytes.end());
    return bytes;
}

}  // namespace

const std::vector<CabMemoryCabinet>& FuzzBaseSet() {
    static const std::vector<CabMemoryCabinet> set = [] {
        SeedSpec spec;
        spec.folders = {Method(CabMethodKind::Mszip)};
        spec.contents = {SeedText(1, 300), SeedNoise(2, 3000), SeedText(3, 500)};
        spec.maxCabinetBytes = 2400;
        std::vector<CabMemoryCabinet> cabinets = WriteSeed(spec);
        if (cabinets.size() != 2) std::abort();
        return cabinets;
    }();
    return set;
}

std::vector<FuzzSeed> CabinetSeeds() {
    std::vector<FuzzSeed> seeds;
    auto single = [&](const char* name, SeedSpec spec) {
        std::vector<CabMemoryCabinet> cabinets = WriteSeed(spec);
        seeds.push_back(FuzzSeed{name, cabinets[0].bytes});
        return cabinets[0].bytes;
    };
    SeedSpec stored;
    stored.folders = {Method(CabMethodKind::Stored)};
    stored.contents = {SeedText(10, 700), {}, SeedNoise(11, 200)};
    const std::vector<uint8_t> storedCabinet = single("stored.cab", stored);

    SeedSpec mszip;
    mszip.folders = {Method(CabMethodKind::Mszip)};
    mszip.contents = {SeedText(12, 40000), SeedNoise(13, 300)};  // two blocks: the second uses the window
    single("mszip-two-blocks.cab", mszip);

    SeedSpec folders;
    folders.folders = {Method(CabMethodKind::Mszip), Method(CabMethodKind::Stored), Method(CabMethodKind::Mszip)};
    folders.contents = {SeedText(14, 400), SeedText(15, 300), SeedNoise(16, 100), SeedText(17, 200)};
    folders.folderOfFile = {0, 1, 1, 2};
    single("three-folders.cab", folders);

    SeedSpec reserve;
    reserve.folders = {Method(CabMethodKind::Mszip)};
    reserve.contents = {SeedText(18, 600)};
    reserve.reserve.present = true;
    reserve.reserve.cabinetReserve = {1, 2, 3, 4};
    reserve.reserve.folderReserveBytes = 2;
    reserve.reserve.blockReserveBytes = 5;
    single("reserve.cab", reserve);

    SeedSpec empty;
    empty.folders = {Method(CabMethodKind::Stored)};
    empty.contents = {{}, {}};
    single("empty-files.cab", empty);

    seeds.push_back(FuzzSeed{"quantum-word-21.cab", WithCompressionWord(storedCabinet, CabQuantumWord(21))});
    seeds.push_back(FuzzSeed{"quantum-word-10.cab", WithCompressionWord(storedCabinet, CabQuantumWord(10))});
    if (QuantumEncoderAvailable()) {
        SeedSpec quantum;
        quantum.folders = {Method(CabMethodKind::Quantum, 16), Method(CabMethodKind::Quantum, 10)};
        quantum.contents = {SeedText(19, 3000), SeedNoise(20, 300), SeedText(21, 800)};
        quantum.folderOfFile = {0, 0, 1};
        single("quantum.cab", quantum);

        SeedSpec quantumBlocks;
        quantumBlocks.folders = {Method(CabMethodKind::Quantum, 21)};
        quantumBlocks.contents = {SeedText(24, 36000), SeedNoise(25, 200)};  // the second block uses the window
        single("quantum-two-blocks.cab", quantumBlocks);

        SeedSpec quantumSet;
        quantumSet.folders = {Method(CabMethodKind::Quantum, 12)};
        quantumSet.contents = {SeedText(26, 900), SeedNoise(27, 1500), SeedText(28, 600)};
        quantumSet.maxCabinetBytes = 1400;
        std::vector<CabMemoryCabinet> quantumCabinets = WriteSeed(quantumSet);
        if (quantumCabinets.size() < 2) std::abort();  // the seeds are fixed; this cannot vary
        seeds.push_back(FuzzSeed{"set-quantum.cab", Concatenated(quantumCabinets, 0)});
    }

    // Sets, back to back: the target cuts them apart at the second "MSCF".
    seeds.push_back(FuzzSeed{"set-split-block.cab", Concatenated(FuzzBaseSet(), 0)});
    SeedSpec storedSet;
    storedSet.folders = {Method(CabMethodKind::Stored)};
    storedSet.contents = {SeedText(22, 900), SeedText(23, 700)};
    storedSet.maxCabinetBytes = 1000;
    std::vector<CabMemoryCabinet> storedCabinets = WriteSeed(storedSet);
    seeds.push_back(FuzzSeed{"set-stored.cab", Concatenated(storedCabinets, 0)});
    return seeds;
}

std::vector<FuzzSeed> CabinetSetSeeds() {
    std::vector<FuzzSeed> seeds;
    seeds.push_back(FuzzSeed{"second.cab", FuzzBaseSet()[1].bytes});
    // The same second cabinet under a Quantum word, for the decoder switch.
    std::vector<uint8_t> quantumWord = FuzzBaseSet()[1].bytes;
    const size_t headerEnd = cabHeaderBytes;
    // Skip the previous names to reach folder 0's compression word.
    size_t at = headerEnd;
    for (int strings = 0; strings < 2; ++strings) {
        while (at < quantumWord.size() && quantumWord[at] != 0) ++at;
        ++at;
    }
    if (at + 8 <= quantumWord.size()) {
        quantumWord[at + 6] = static_cast<uint8_t>(CabQuantumWord(15));
        quantumWord[at + 7] = static_cast<uint8_t>(CabQuantumWord(15) >> 8);
        seeds.push_back(FuzzSeed{"second-quantum-word.cab", quantumWord});
    }
    return seeds;
}
