// corpus.cpp: the benchmarks' data sets. The same size always gives the
// same bytes, so figures from different runs and benchmarks compare.
#include "corpus.h"

#include <cstring>

namespace bench {

namespace {

struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed) {}
    uint32_t Next() {
        // xorshift64*
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return static_cast<uint32_t>((state * 2685821657736338717ull) >> 32);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

}  // namespace

// FNV-1a, 64 bits.
uint64_t Hash(const uint8_t* data, size_t size) {
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < size; i++) {
        hash ^= data[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

// Text: words from a fixed list, chosen by a Markov-ish rule (each word has
// a few likely successors), with punctuation, capitals and line breaks.
Bytes MakeText(size_t size) {
    static const char* const words[] = {
        "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with", "be", "by", "on",
        "not", "he", "this", "are", "or", "his", "from", "at", "which", "but", "have", "an", "had", "they", "you",
        "were", "their", "one", "all", "we", "can", "her", "has", "there", "been", "if", "more", "when", "will",
        "would", "who", "so", "no", "system", "file", "folder", "cabinet", "setup", "driver", "install", "program",
        "window", "data", "block", "memory", "package", "version", "network", "service", "device", "control",
        "message", "dialog", "value", "number", "process", "thread", "option", "command", "extract", "archive",
        "compress", "directory", "temporary", "configuration", "registry", "information", "operation", "between",
        "through", "because", "without", "against", "another", "following", "available", "different", "important",
        "however", "therefore", "especially", "particular", "something", "everything", "government", "development",
        "community", "experience", "university", "situation", "relationship", "understand", "environment",
        "performance", "management", "technology", "individual", "production", "significant", "international"};
    const uint32_t wordCount = sizeof words / sizeof words[0];
    Random random(0x7E47);
    // Each word's likely successors.
    std::vector<uint32_t> successors(wordCount * 4);
    for (uint32_t& s : successors) s = random.Below(wordCount);

    Bytes text;
    text.reserve(size + 64);
    uint32_t word = 0;
    bool capital = true;
    uint32_t lineLength = 0;
    while (text.size() < size) {
        word = random.Below(5) != 0 ? successors[word * 4 + random.Below(4)] : random.Below(wordCount);
        const char* w = words[word];
        for (size_t i = 0; w[i] != 0; i++) {
            char c = w[i];
            if (i == 0 && capital && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            text.push_back(static_cast<uint8_t>(c));
        }
        capital = false;
        lineLength += static_cast<uint32_t>(strlen(w)) + 1;
        uint32_t r = random.Below(100);
        if (r < 6) {
            text.push_back('.');
            capital = true;
        } else if (r < 11) {
            text.push_back(',');
        }
        if (lineLength > 60 + random.Below(20)) {
            text.push_back('\n');
            lineLength = 0;
            if (random.Below(8) == 0) text.push_back('\n');
        } else {
            text.push_back(' ');
        }
    }
    text.resize(size);
    return text;
}

// Binary: x86-like code (common opcodes, ModRM bytes, relative calls to a
// few hundred targets, small immediates) mixed with tables of structured
// records (increasing ids, flags, small counts, offsets, some noise).
Bytes MakeBinary(size_t size) {
    Random random(0xB1A7);
    std::vector<uint32_t> callTargets(300);
    for (uint32_t& t : callTargets) t = random.Next() & 0x00FFFFF0u;
    Bytes data;
    data.reserve(size + 64);
    auto put32 = [&data](uint32_t v) {
        for (int i = 0; i < 4; i++) data.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    uint32_t recordId = 1000;
    while (data.size() < size) {
        if (random.Below(4) != 0) {
            // A run of code.
            uint32_t instructions = 20 + random.Below(200);
            for (uint32_t i = 0; i < instructions; i++) {
                uint32_t kind = random.Below(12);
                uint32_t address = static_cast<uint32_t>(data.size());
                switch (kind) {
                    case 0:  // push reg
                        data.push_back(static_cast<uint8_t>(0x50 + random.Below(8)));
                        break;
                    case 1:  // pop reg
                        data.push_back(static_cast<uint8_t>(0x58 + random.Below(8)));
                        break;
                    case 2:  // call rel32 to a known target
                        data.push_back(0xE8);
                        put32(callTargets[random.Below(static_cast<uint32_t>(callTargets.size()))] - address - 5);
                        break;
                    case 3:  // mov reg, [ebp+disp8]
                        data.push_back(0x8B);
                        data.push_back(static_cast<uint8_t>(0x45 + 8 * random.Below(8)));
                        data.push_back(static_cast<uint8_t>(0x100 - 4 * (1 + random.Below(16))));
                        break;
                    case 4:  // mov [ebp+disp8], reg
                        data.push_back(0x89);
                        data.push_back(static_cast<uint8_t>(0x45 + 8 * random.Below(8)));
                        data.push_back(static_cast<uint8_t>(4 * (2 + random.Below(8))));
                        break;
                    case 5:  // mov reg, imm32 (small)
                        data.push_back(static_cast<uint8_t>(0xB8 + random.Below(8)));
                        put32(random.Below(4) == 0 ? random.Next() : random.Below(256));
                        break;
                    case 6:  // test/cmp reg, reg
                        data.push_back(random.Below(2) ? 0x85 : 0x3B);
                        data.push_back(static_cast<uint8_t>(0xC0 + random.Below(64)));
                        break;
                    case 7:  // jcc rel8
                        data.push_back(static_cast<uint8_t>(0x70 + random.Below(16)));
                        data.push_back(static_cast<uint8_t>(random.Below(64)));
                        break;
                    case 8:  // prologue
                        data.insert(data.end(), {0x55, 0x8B, 0xEC, 0x83, 0xEC});
                        data.push_back(static_cast<uint8_t>(4 * (1 + random.Below(16))));
                        break;
                    case 9:  // epilogue, padding
                        data.insert(data.end(), {0x8B, 0xE5, 0x5D, 0xC3});
                        while (data.size() % 16 != 0) data.push_back(0xCC);
                        break;
                    case 10:  // add/sub reg, imm8
                        data.push_back(0x83);
                        data.push_back(static_cast<uint8_t>(0xC0 + random.Below(64)));
                        data.push_back(static_cast<uint8_t>(random.Below(32)));
                        break;
                    default:  // lea reg, [reg+reg*4+disp32]
                        data.push_back(0x8D);
                        data.push_back(static_cast<uint8_t>(0x84 + 8 * random.Below(8)));
                        data.push_back(static_cast<uint8_t>(random.Next()));
                        put32(0x00400000u + (random.Next() & 0xFFFF));
                        break;
                }
            }
        } else {
            // A table of 24-byte records.
            uint32_t records = 10 + random.Below(100);
            for (uint32_t i = 0; i < records; i++) {
                put32(recordId++);
                put32(random.Below(4) == 0 ? 0x80000001u : 0x00000001u);
                put32(random.Below(1000));
                put32(0x00410000u + 24 * i);
                put32(random.Below(8) == 0 ? random.Next() : 0);
                put32(static_cast<uint32_t>(random.Below(3)) << 16);
            }
        }
    }
    data.resize(size);
    return data;
}

}  // namespace bench
