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

#include "corpus.h"
#include "mszip.h"

namespace {

using bench::Bytes;
using bench::Hash;
using bench::MakeBinary;
using bench::MakeText;
const uint32_t pieceBytes = 32768;

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
