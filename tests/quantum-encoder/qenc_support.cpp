// qenc_support.cpp: sample data, host callbacks and the encode and decode
// helpers of the Quantum encoder's tests.
#include "qenc_support.h"

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "quantum_state.h"  // the size of a page buffer

namespace {

uint32_t NextRandom(uint32_t* state) {
    // xorshift32: fixed sequences on every platform.
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

uint32_t SeedState(uint32_t seed) { return seed * 2654435761u + 0x9E37; }

}  // namespace

Bytes QencRandom(uint32_t seed, size_t count) {
    uint32_t state = SeedState(seed);
    Bytes bytes(count);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(NextRandom(&state) >> 24);
    return bytes;
}

Bytes QencText(uint32_t seed, size_t count) {
    static const char* const words[] = {"the",     "of",      "and",    "cabinet", "folder",  "window", "quantum",
                                        "model",   "symbol",  "block",  "decoder", "encoder", "match",  "literal",
                                        "between", "through", "system", "install", "driver",  "setup",  "a",
                                        "is",      "was",     "which",  "archive", "extract", "memory", "page"};
    const uint32_t wordCount = sizeof words / sizeof words[0];
    uint32_t state = SeedState(seed);
    std::vector<uint32_t> successors(wordCount * 3);
    for (uint32_t& s : successors) s = NextRandom(&state) % wordCount;
    Bytes text;
    text.reserve(count + 16);
    uint32_t word = 0;
    uint32_t line = 0;
    while (text.size() < count) {
        const uint32_t pick = NextRandom(&state);
        word = pick % 5 ? successors[word * 3 + (pick >> 8) % 3] : (pick >> 8) % wordCount;
        for (const char* c = words[word]; *c; c++) text.push_back(static_cast<uint8_t>(*c));
        line += 8;
        if ((pick >> 16) % 16 == 0) text.push_back(',');
        if (line > 64) {
            text.push_back('\n');
            line = 0;
        } else {
            text.push_back(' ');
        }
    }
    text.resize(count);
    return text;
}

Bytes QencBinary(uint32_t seed, size_t count) {
    uint32_t state = SeedState(seed);
    Bytes data;
    data.reserve(count + 32);
    uint32_t id = 500;
    while (data.size() < count) {
        const uint32_t pick = NextRandom(&state);
        if (pick % 3) {
            // Code-like: an opcode from a small set, a ModRM byte, a small
            // immediate or a call to one of a few targets.
            static const uint8_t opcodes[] = {0x8B, 0x89, 0x83, 0xE8, 0x50, 0x58, 0x85, 0x74, 0xC3, 0x55};
            const uint8_t op = opcodes[(pick >> 4) % sizeof opcodes];
            data.push_back(op);
            if (op == 0xE8) {
                const uint32_t target = 0x1000 * ((pick >> 12) % 40) - static_cast<uint32_t>(data.size());
                for (int i = 0; i < 4; i++) data.push_back(static_cast<uint8_t>(target >> (8 * i)));
            } else if (op != 0xC3 && op != 0x50 && op != 0x58 && op != 0x55) {
                data.push_back(static_cast<uint8_t>(0x40 + (pick >> 20) % 64));
                data.push_back(static_cast<uint8_t>((pick >> 24) & 0x3C));
            }
        } else {
            // A record: increasing id, flags, a small count, some noise.
            for (int i = 0; i < 4; i++) data.push_back(static_cast<uint8_t>(id >> (8 * i)));
            id++;
            data.push_back(static_cast<uint8_t>((pick >> 8) % 4));
            data.push_back(0);
            data.push_back(static_cast<uint8_t>((pick >> 12) % 200));
            data.push_back(static_cast<uint8_t>(pick >> 24));
        }
    }
    data.resize(count);
    return data;
}

const char* QencDataName(QencData kind) {
    switch (kind) {
        case QencData::Random:
            return "random";
        case QencData::Text:
            return "text";
        case QencData::Binary:
            return "binary";
    }
    return "?";
}

Bytes QencMake(QencData kind, uint32_t seed, size_t count) {
    switch (kind) {
        case QencData::Random:
            return QencRandom(seed, count);
        case QencData::Text:
            return QencText(seed, count);
        case QencData::Binary:
            return QencBinary(seed, count);
    }
    return {};
}

QencFolder QencEncode(uint32_t windowBits, const Bytes& data, uint32_t blockBytes, QuantumMatchFinderLimits limits) {
    QencFolder folder;
    QuantumCompressor compressor(windowBits, limits);
    compressor.RecordItems(&folder.items);
    for (size_t start = 0; start < data.size(); start += blockBytes) {
        const uint32_t size = static_cast<uint32_t>(data.size() - start < blockBytes ? data.size() - start : blockBytes);
        Bytes stored;
        const CabCompressStatus status = compressor.CompressBlock(data.data() + start, size, &stored);
        EXPECT_EQ(status, CabCompressOk) << "block at " << start;
        folder.blocks.push_back(stored);
        folder.sizes.push_back(size);
        folder.itemEnds.push_back(folder.items.size());
    }
    return folder;
}

QencHeap qencHeap;
QencScratch qencScratch;
int qencPageBufferLimit = 0;

void* QencAlloc(uint32_t size) {
    if (qencHeap.failSize != 0 && size == qencHeap.failSize) {
        qencHeap.refusals++;
        return nullptr;
    }
    if (size == sizeof(PageBuffer) && qencPageBufferLimit > 0) {
        if (qencHeap.pageBuffersGiven >= qencPageBufferLimit) return nullptr;
        qencHeap.pageBuffersGiven++;
    }
    void* block = std::malloc(size ? size : 1);
    if (block) {
        // Garbage, so that a read of memory never written shows.
        std::memset(block, 0x5A, size);
        qencHeap.liveBlocks++;
    }
    return block;
}

void QencFree(void* block) {
    if (block) qencHeap.liveBlocks--;
    std::free(block);
}

int32_t QencScratchOpen(const char* path, int32_t, int32_t) {
    if (path[0] != '*' || path[1] != '\0' || qencScratch.open) return -1;
    qencScratch.opens++;
    qencScratch.open = true;
    qencScratch.position = 0;
    return qencScratchHandle;
}

int32_t QencScratchRead(int32_t handle, void* buffer, uint32_t count) {
    if (handle != qencScratchHandle || !qencScratch.open) return -1;
    qencScratch.reads++;
    const int64_t available = static_cast<int64_t>(qencScratch.bytes.size()) - qencScratch.position;
    const uint32_t n = available <= 0 ? 0 : count < available ? count : static_cast<uint32_t>(available);
    if (n) std::memcpy(buffer, qencScratch.bytes.data() + qencScratch.position, n);
    qencScratch.position += n;
    return static_cast<int32_t>(n);
}

int32_t QencScratchWrite(int32_t handle, const void* buffer, uint32_t count) {
    if (handle != qencScratchHandle || !qencScratch.open) return -1;
    qencScratch.writes++;
    const size_t end = static_cast<size_t>(qencScratch.position) + count;
    if (qencScratch.bytes.size() < end) qencScratch.bytes.resize(end);
    std::memcpy(qencScratch.bytes.data() + qencScratch.position, buffer, count);
    qencScratch.position = static_cast<int64_t>(end);
    return static_cast<int32_t>(count);
}

int32_t QencScratchClose(int32_t handle) {
    if (handle != qencScratchHandle || !qencScratch.open) return -1;
    qencScratch.open = false;
    return 0;
}

int32_t QencScratchSeek(int32_t handle, int32_t offset, int32_t origin) {
    if (handle != qencScratchHandle || !qencScratch.open) return -1;
    const int64_t target = (origin == 0 ? 0 : qencScratch.position) + offset;
    if (target < 0) return -1;
    qencScratch.position = target;
    return static_cast<int32_t>(target);
}

void QencResetHost() {
    qencHeap = QencHeap();
    qencScratch = QencScratch();
    qencPageBufferLimit = 0;
}

int QencDecode(uint32_t windowBits, const std::vector<QencFolder>& folders, std::vector<Bytes>* outputs) {
    uint32_t maxBlockSize = cabMaxBlockBytes;
    uint32_t inputBufferSize = 0;
    QuantumContext* context = nullptr;
    const QuantumConfig config = {static_cast<int32_t>(windowBits)};
    int status = QuantumCreate(&maxBlockSize, &config, QencAlloc, QencFree, &inputBufferSize, &context,
                               QencScratchOpen, QencScratchRead, QencScratchWrite, QencScratchClose, QencScratchSeek);
    if (status != QuantumOk) return status;
    for (size_t f = 0; f < folders.size() && status == QuantumOk; f++) {
        if (f > 0) status = QuantumReset(context);
        Bytes output;
        const QencFolder& folder = folders[f];
        for (size_t b = 0; b < folder.blocks.size() && status == QuantumOk; b++) {
            EXPECT_LE(folder.blocks[b].size(), inputBufferSize) << "folder " << f << " block " << b;
            // An exactly sized copy: a read past the block's end shows under
            // the address sanitizer.
            const Bytes input(folder.blocks[b]);
            Bytes block(folder.sizes[b]);
            status = QuantumDecompress(context, input.data(), static_cast<uint32_t>(input.size()), block.data(),
                                       &folder.sizes[b]);
            output.insert(output.end(), block.begin(), block.end());
        }
        outputs->push_back(output);
    }
    const int destroyed = QuantumDestroy(context);
    return status != QuantumOk ? status : destroyed;
}
