// mszip_bench.cpp: MSZIP decoding speed against zlib's inflate.
//
// Two deterministic data sets of 64 MB each, text-like and binary-like, are
// cut into 32768-byte pieces and compressed by zlib (level 6, the default;
// memLevel 8; raw Deflate) into MSZIP blocks, each primed with the previous
// 32 KB as preset dictionary, as the blocks of one folder. Both decoders
// then decode every block in order, single-threaded, in the same run:
//   ours: MszipDecompress into the 32 KB window, then a copy to the output
//         (what the extraction engine does with each block);
//   zlib: inflateReset + inflateSetDictionary (previous 32 KB) + inflate
//         straight into the output.
// Each decoder runs several times, alternating; the best time counts. The
// program prints MB/s of output for each, the ratio ours/zlib, and a hash
// of each output, which must equal the hash of the data.
//
//   mszip_bench [megabytes per data set, default 64] [repetitions, default 5]
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mszip.h"

namespace {

using Bytes = std::vector<uint8_t>;
const uint32_t pieceBytes = 32768;

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

// MSZIP blocks of a folder, as the tool that writes cabinets makes them.
std::vector<Bytes> Compress(const Bytes& data) {
    std::vector<Bytes> blocks;
    z_stream stream = {};
    if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) abort();
    for (size_t start = 0; start < data.size(); start += pieceBytes) {
        size_t size = data.size() - start < pieceBytes ? data.size() - start : pieceBytes;
        deflateReset(&stream);
        if (start != 0) deflateSetDictionary(&stream, data.data() + start - pieceBytes, pieceBytes);
        Bytes block(2 + deflateBound(&stream, size) + 64);
        block[0] = 'C';
        block[1] = 'K';
        stream.next_in = const_cast<Bytef*>(data.data() + start);
        stream.avail_in = static_cast<uInt>(size);
        stream.next_out = block.data() + 2;
        stream.avail_out = static_cast<uInt>(block.size() - 2);
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END) abort();
        block.resize(2 + stream.total_out);
        if (block.size() > pieceBytes + 12) {
            fprintf(stderr, "block above 32780 bytes\n");
            exit(1);
        }
        blocks.push_back(block);
    }
    deflateEnd(&stream);
    return blocks;
}

void* BenchAlloc(uint32_t size) { return malloc(size); }
void BenchFree(void* block) { free(block); }

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Our decoder; returns the seconds taken, or a negative value on failure.
double DecodeOurs(const std::vector<Bytes>& blocks, Bytes& output) {
    uint32_t maxBlockSize = 0;
    uint32_t inputBufferSize = 0;
    MszipContext* context = nullptr;
    if (MszipCreate(&maxBlockSize, BenchAlloc, BenchFree, &inputBufferSize, &context) != MszipOk) return -1;
    Bytes window(pieceBytes);
    auto start = std::chrono::steady_clock::now();
    size_t offset = 0;
    for (const Bytes& block : blocks) {
        uint32_t produced = pieceBytes;
        if (MszipDecompress(context, block.data(), static_cast<uint32_t>(block.size()), window.data(), &produced) !=
                MszipOk ||
            offset + produced > output.size()) {
            MszipDestroy(context);
            return -1;
        }
        memcpy(output.data() + offset, window.data(), produced);
        offset += produced;
    }
    double seconds = Seconds(start);
    MszipDestroy(context);
    return offset == output.size() ? seconds : -1;
}

// zlib's inflate; returns the seconds taken, or a negative value on failure.
double DecodeZlib(const std::vector<Bytes>& blocks, Bytes& output) {
    z_stream stream = {};
    if (inflateInit2(&stream, -15) != Z_OK) return -1;
    auto start = std::chrono::steady_clock::now();
    size_t offset = 0;
    for (const Bytes& block : blocks) {
        inflateReset(&stream);
        if (offset != 0) inflateSetDictionary(&stream, output.data() + offset - pieceBytes, pieceBytes);
        stream.next_in = const_cast<Bytef*>(block.data() + 2);
        stream.avail_in = static_cast<uInt>(block.size() - 2);
        stream.next_out = output.data() + offset;
        size_t room = output.size() - offset;
        stream.avail_out = static_cast<uInt>(room < pieceBytes ? room : pieceBytes);
        uInt before = stream.avail_out;
        if (inflate(&stream, Z_FINISH) != Z_STREAM_END) {
            inflateEnd(&stream);
            return -1;
        }
        offset += before - stream.avail_out;
    }
    double seconds = Seconds(start);
    inflateEnd(&stream);
    return offset == output.size() ? seconds : -1;
}

// Returns 0 when both outputs match the data.
int RunDataSet(const char* name, const Bytes& data, int repetitions) {
    std::vector<Bytes> blocks = Compress(data);
    size_t packed = 0;
    for (const Bytes& block : blocks) packed += block.size();
    double megabytes = static_cast<double>(data.size()) / (1024.0 * 1024.0);
    printf("%s: %.1f MB in %zu blocks, packed to %.1f MB (%.1f%%) by zlib level 6\n", name, megabytes, blocks.size(),
           static_cast<double>(packed) / (1024.0 * 1024.0), 100.0 * static_cast<double>(packed) / static_cast<double>(data.size()));

    Bytes ours(data.size());
    Bytes zlib(data.size());
    double bestOurs = 1e30;
    double bestZlib = 1e30;
    for (int r = 0; r < repetitions; r++) {
        double t = DecodeOurs(blocks, ours);
        if (t < 0) {
            printf("  ours: decoding failed\n");
            return 1;
        }
        if (t < bestOurs) bestOurs = t;
        t = DecodeZlib(blocks, zlib);
        if (t < 0) {
            printf("  zlib: decoding failed\n");
            return 1;
        }
        if (t < bestZlib) bestZlib = t;
    }
    uint64_t dataHash = Hash(data.data(), data.size());
    uint64_t oursHash = Hash(ours.data(), ours.size());
    uint64_t zlibHash = Hash(zlib.data(), zlib.size());
    printf("  ours  %8.1f MB/s  hash %016llx\n", megabytes / bestOurs, static_cast<unsigned long long>(oursHash));
    printf("  zlib  %8.1f MB/s  hash %016llx\n", megabytes / bestZlib, static_cast<unsigned long long>(zlibHash));
    printf("  ratio ours/zlib %.2f  (data hash %016llx, best of %d)\n", bestZlib / bestOurs,
           static_cast<unsigned long long>(dataHash), repetitions);
    if (oursHash != dataHash || zlibHash != dataHash) {
        printf("  OUTPUT MISMATCH\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    size_t megabytes = argc > 1 ? static_cast<size_t>(atoi(argv[1])) : 64;
    int repetitions = argc > 2 ? atoi(argv[2]) : 5;
    if (megabytes == 0 || repetitions <= 0) {
        fprintf(stderr, "usage: mszip_bench [megabytes per data set] [repetitions]\n");
        return 2;
    }
    printf("zlib %s\n", zlibVersion());
    int failed = 0;
    {
        Bytes text = MakeText(megabytes << 20);
        failed |= RunDataSet("text-like", text, repetitions);
    }
    {
        Bytes binary = MakeBinary(megabytes << 20);
        failed |= RunDataSet("binary-like", binary, repetitions);
    }
    return failed;
}
