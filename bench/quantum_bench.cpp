// quantum_bench.cpp: Quantum against MSZIP on the benchmark data sets.
//
// For each data set (text-like and binary-like, 64 MB each by default) the
// program, in one run:
//   1. encodes the data as one Quantum folder (21-bit window, 32 KB blocks)
//      with the cabinet writer's Quantum compressor, and as one MSZIP folder
//      with the writer's MSZIP compressor at zlib level 9 (32 KB blocks, each
//      primed with the previous 32 KB); prints both sizes, their ratio and
//      the encoding speeds;
//   2. decodes the Quantum folder with QuantumDecompress, once with the
//      window in memory and twice with the paged window store (the host's
//      alloc refuses the 2 MB window, and the scratch file lives in memory):
//      once with all 512 page buffers granted, so that no page leaves
//      memory, and once with 64, so that pages go to the scratch file and
//      come back for far matches),
//      and decodes the MSZIP folder with MszipDecompress as the baseline;
//      each decoder runs several times, alternating, and the best time
//      counts. Output MB/s (of CPU time) and a hash of each output, which
//      must equal the hash of the data.
//
//   quantum_bench [megabytes per data set, default 64] [repetitions, default 3]
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "corpus.h"
#include "mszip.h"
#include "mszip_compressor.h"
#include "quantum.h"
#include "quantum_encoder.h"
#include "quantum_state.h"  // the size of a page buffer, to limit their number

namespace {

using bench::Bytes;
const uint32_t blockBytes = 32768;
const uint32_t quantumWindowBits = 21;
const int mszipLevel = 9;

// Times are the process's CPU time: the machines this runs on are shared,
// and wall time would count the other programs' turns.
using Clock = std::clock_t;
Clock Now() { return std::clock(); }
double Seconds(Clock start) { return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC; }

struct Folder {
    std::vector<Bytes> blocks;
    std::vector<uint32_t> sizes;
    size_t packedBytes = 0;
    double seconds = 0;
};

// Encodes data block by block with one compressor; false on failure.
bool Encode(CabBlockCompressor& compressor, const Bytes& data, Folder* folder) {
    const Clock start = Now();
    for (size_t offset = 0; offset < data.size(); offset += blockBytes) {
        const uint32_t size = static_cast<uint32_t>(data.size() - offset < blockBytes ? data.size() - offset : blockBytes);
        Bytes stored;
        if (compressor.CompressBlock(data.data() + offset, size, &stored) != CabCompressOk) return false;
        folder->packedBytes += stored.size();
        folder->blocks.push_back(std::move(stored));
        folder->sizes.push_back(size);
    }
    folder->seconds = Seconds(start);
    return true;
}

// The host of the Quantum decoder: malloc, optionally refusing the window so
// that the paged store is used, and a scratch file in memory.
struct BenchHost {
    uint32_t refuseSize = 0;
    uint32_t pageBufferLimit = 0;  // 0: no limit
    uint32_t pageBuffersGiven = 0;
    Bytes scratch;
    int64_t position = 0;
    bool open = false;
};
BenchHost host;
const int32_t scratchHandle = 40;

void* HostAlloc(uint32_t size) {
    if (size == host.refuseSize) return nullptr;
    if (size == sizeof(PageBuffer) && host.pageBufferLimit != 0 && host.pageBuffersGiven++ >= host.pageBufferLimit) {
        return nullptr;
    }
    return malloc(size);
}
void HostFree(void* block) { free(block); }
int32_t HostOpen(const char* path, int32_t, int32_t) {
    if (path[0] != '*' || host.open) return -1;
    host.open = true;
    host.position = 0;
    return scratchHandle;
}
int32_t HostRead(int32_t handle, void* buffer, uint32_t count) {
    if (handle != scratchHandle) return -1;
    const int64_t available = static_cast<int64_t>(host.scratch.size()) - host.position;
    const uint32_t n = available <= 0 ? 0 : count < available ? count : static_cast<uint32_t>(available);
    memcpy(buffer, host.scratch.data() + host.position, n);
    host.position += n;
    return static_cast<int32_t>(n);
}
int32_t HostWrite(int32_t handle, const void* buffer, uint32_t count) {
    if (handle != scratchHandle) return -1;
    const size_t end = static_cast<size_t>(host.position) + count;
    if (host.scratch.size() < end) host.scratch.resize(end);
    memcpy(host.scratch.data() + host.position, buffer, count);
    host.position = static_cast<int64_t>(end);
    return static_cast<int32_t>(count);
}
int32_t HostClose(int32_t handle) {
    if (handle != scratchHandle) return -1;
    host.open = false;
    return 0;
}
int32_t HostSeek(int32_t handle, int32_t offset, int32_t origin) {
    if (handle != scratchHandle) return -1;
    host.position = (origin == 0 ? 0 : host.position) + offset;
    return static_cast<int32_t>(host.position);
}

enum class Window { Memory, Paged, PagedFewBuffers };
const uint32_t fewPageBuffers = 64;

// Decodes the Quantum folder into output; returns the seconds taken, or a
// negative value on failure.
double DecodeQuantum(const Folder& folder, Window window, Bytes& output, uint64_t* scratchBytes) {
    host = BenchHost();
    host.refuseSize = window == Window::Memory ? 0 : 1u << quantumWindowBits;
    host.pageBufferLimit = window == Window::PagedFewBuffers ? fewPageBuffers : 0;
    uint32_t maxBlockSize = blockBytes;
    uint32_t inputBufferSize = 0;
    QuantumContext* context = nullptr;
    const QuantumConfig config = {static_cast<int32_t>(quantumWindowBits)};
    if (QuantumCreate(&maxBlockSize, &config, HostAlloc, HostFree, &inputBufferSize, &context, HostOpen, HostRead,
                      HostWrite, HostClose, HostSeek) != QuantumOk) {
        return -1;
    }
    const Clock start = Now();
    size_t offset = 0;
    bool failed = false;
    for (size_t i = 0; i < folder.blocks.size() && !failed; i++) {
        const Bytes& block = folder.blocks[i];
        failed = block.size() > inputBufferSize || offset + folder.sizes[i] > output.size() ||
                 QuantumDecompress(context, block.data(), static_cast<uint32_t>(block.size()), output.data() + offset,
                                   &folder.sizes[i]) != QuantumOk;
        offset += folder.sizes[i];
    }
    const double seconds = Seconds(start);
    *scratchBytes = host.scratch.size();
    if (QuantumDestroy(context) != QuantumOk || failed || offset != output.size()) return -1;
    return seconds;
}

// Decodes the MSZIP folder as the extraction engine does (into the 32 KB
// window, then a copy to the output).
double DecodeMszip(const Folder& folder, Bytes& output) {
    uint32_t maxBlockSize = 0;
    uint32_t inputBufferSize = 0;
    MszipContext* context = nullptr;
    if (MszipCreate(&maxBlockSize, HostAlloc, HostFree, &inputBufferSize, &context) != MszipOk) return -1;
    Bytes window(blockBytes);
    const Clock start = Now();
    size_t offset = 0;
    bool failed = false;
    for (size_t i = 0; i < folder.blocks.size() && !failed; i++) {
        uint32_t produced = folder.sizes[i];
        const Bytes& block = folder.blocks[i];
        failed = MszipDecompress(context, block.data(), static_cast<uint32_t>(block.size()), window.data(), &produced) !=
                     MszipOk ||
                 offset + produced > output.size();
        if (!failed) memcpy(output.data() + offset, window.data(), produced);
        offset += produced;
    }
    const double seconds = Seconds(start);
    MszipDestroy(context);
    return failed || offset != output.size() ? -1 : seconds;
}

double Megabytes(size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// Returns 0 when every output matches the data.
int RunDataSet(const char* name, const Bytes& data, int repetitions) {
    host = BenchHost();
    const double megabytes = Megabytes(data.size());
    Folder quantum;
    QuantumCompressor quantumCompressor(quantumWindowBits);
    if (!Encode(quantumCompressor, data, &quantum)) {
        printf("%s: Quantum encoding failed\n", name);
        return 1;
    }
    Folder mszip;
    MszipCompressor mszipCompressor(mszipLevel);
    if (!mszipCompressor.Ready() || !Encode(mszipCompressor, data, &mszip)) {
        printf("%s: MSZIP encoding failed\n", name);
        return 1;
    }
    size_t largestQuantumBlock = 0;
    for (const Bytes& block : quantum.blocks) largestQuantumBlock = block.size() > largestQuantumBlock ? block.size() : largestQuantumBlock;
    printf("%s: %.1f MB in %zu blocks\n", name, megabytes, quantum.blocks.size());
    printf("  quantum:21  %10zu bytes (%5.2f%%)  encode %6.2f MB/s  largest block %zu bytes\n", quantum.packedBytes,
           100.0 * static_cast<double>(quantum.packedBytes) / static_cast<double>(data.size()),
           megabytes / quantum.seconds, largestQuantumBlock);
    printf("  mszip lvl9  %10zu bytes (%5.2f%%)  encode %6.2f MB/s\n", mszip.packedBytes,
           100.0 * static_cast<double>(mszip.packedBytes) / static_cast<double>(data.size()),
           megabytes / mszip.seconds);
    printf("  size quantum/mszip %.3f\n",
           static_cast<double>(quantum.packedBytes) / static_cast<double>(mszip.packedBytes));

    Bytes memoryOut(data.size());
    Bytes pagedOut(data.size());
    Bytes fewOut(data.size());
    Bytes mszipOut(data.size());
    double bestMemory = 1e30;
    double bestPaged = 1e30;
    double bestFew = 1e30;
    double bestMszip = 1e30;
    uint64_t scratchBytes = 0;
    uint64_t fewScratchBytes = 0;
    for (int r = 0; r < repetitions; r++) {
        uint64_t memoryScratchBytes = 0;  // stays 0: no store
        const double memory = DecodeQuantum(quantum, Window::Memory, memoryOut, &memoryScratchBytes);
        const double paged = DecodeQuantum(quantum, Window::Paged, pagedOut, &scratchBytes);
        const double few = DecodeQuantum(quantum, Window::PagedFewBuffers, fewOut, &fewScratchBytes);
        const double baseline = DecodeMszip(mszip, mszipOut);
        if (memory < 0 || paged < 0 || few < 0 || baseline < 0) {
            printf("  decoding failed (memory %s, paged %s, paged with few buffers %s, mszip %s)\n",
                   memory < 0 ? "failed" : "ok", paged < 0 ? "failed" : "ok", few < 0 ? "failed" : "ok",
                   baseline < 0 ? "failed" : "ok");
            return 1;
        }
        bestFew = few < bestFew ? few : bestFew;
        bestMemory = memory < bestMemory ? memory : bestMemory;
        bestPaged = paged < bestPaged ? paged : bestPaged;
        bestMszip = baseline < bestMszip ? baseline : bestMszip;
    }
    const uint64_t dataHash = bench::Hash(data.data(), data.size());
    const uint64_t memoryHash = bench::Hash(memoryOut.data(), memoryOut.size());
    const uint64_t pagedHash = bench::Hash(pagedOut.data(), pagedOut.size());
    const uint64_t fewHash = bench::Hash(fewOut.data(), fewOut.size());
    const uint64_t mszipHash = bench::Hash(mszipOut.data(), mszipOut.size());
    printf("  decode quantum, window in memory %8.1f MB/s  hash %016llx\n", megabytes / bestMemory,
           static_cast<unsigned long long>(memoryHash));
    printf("  decode quantum, paged store      %8.1f MB/s  hash %016llx  (scratch %.1f MB)\n", megabytes / bestPaged,
           static_cast<unsigned long long>(pagedHash), Megabytes(scratchBytes));
    printf("  decode quantum, paged, %u buffers %7.1f MB/s  hash %016llx  (scratch %.1f MB)\n", fewPageBuffers,
           megabytes / bestFew, static_cast<unsigned long long>(fewHash), Megabytes(fewScratchBytes));
    printf("  decode mszip (baseline)          %8.1f MB/s  hash %016llx\n", megabytes / bestMszip,
           static_cast<unsigned long long>(mszipHash));
    printf("  paged/memory %.2f  paged with %u buffers/memory %.2f  quantum/mszip decode %.2f\n", bestMemory / bestPaged,
           fewPageBuffers, bestMemory / bestFew, bestMszip / bestMemory);
    printf("  (data hash %016llx, best of %d)\n", static_cast<unsigned long long>(dataHash), repetitions);
    if (memoryHash != dataHash || pagedHash != dataHash || fewHash != dataHash || mszipHash != dataHash) {
        printf("  OUTPUT MISMATCH\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? static_cast<size_t>(atoi(argv[1])) : 64;
    const int repetitions = argc > 2 ? atoi(argv[2]) : 3;
    if (megabytes == 0 || repetitions <= 0) {
        fprintf(stderr, "usage: quantum_bench [megabytes per data set] [repetitions]\n");
        return 2;
    }
    int failed = 0;
    {
        const Bytes text = bench::MakeText(megabytes << 20);
        failed |= RunDataSet("text-like", text, repetitions);
    }
    {
        const Bytes binary = bench::MakeBinary(megabytes << 20);
        failed |= RunDataSet("binary-like", binary, repetitions);
    }
    return failed;
}
