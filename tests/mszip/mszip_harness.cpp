// mszip_harness.cpp: see mszip_harness.h.
#include "mszip_harness.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

AllocLog allocLog;

void* TestAlloc(uint32_t size) {
    allocLog.allocs++;
    if (allocLog.failAt != 0 && allocLog.allocs == allocLog.failAt) return nullptr;
    return malloc(size);
}

void TestFree(void* block) {
    allocLog.frees++;
    if (allocLog.keepFreed) {
        allocLog.freed.push_back(block);
        return;
    }
    ::free(block);
}

MszipDecoder::MszipDecoder(uint32_t maxBlockSize) : window(windowBytes, 0) {
    uint32_t inputBufferSize = 0;
    if (MszipCreate(&maxBlockSize, TestAlloc, TestFree, &inputBufferSize, &context) != MszipOk) {
        throw std::runtime_error("MszipCreate failed");
    }
}

MszipDecoder::~MszipDecoder() {
    if (context != nullptr) MszipDestroy(context);
}

int MszipDecoder::Decode(const Bytes& block, Bytes* output, uint32_t room) {
    // An allocation of exactly the block's size: reading past it is caught.
    uint8_t* exact = static_cast<uint8_t*>(malloc(block.size() ? block.size() : 1));
    if (!block.empty()) memcpy(exact, block.data(), block.size());
    uint32_t outputSize = room;
    int status = MszipDecompress(context, exact, static_cast<uint32_t>(block.size()), window.data(), &outputSize);
    free(exact);
    if (status == MszipOk && output != nullptr) output->assign(window.begin(), window.begin() + outputSize);
    return status;
}

std::vector<Bytes> CompressFolder(const Bytes& data, int level, int strategy) {
    std::vector<Bytes> blocks;
    for (size_t start = 0; start < data.size(); start += windowBytes) {
        size_t size = data.size() - start < windowBytes ? data.size() - start : windowBytes;
        z_stream stream = {};
        if (deflateInit2(&stream, level, Z_DEFLATED, -15, 9, strategy) != Z_OK) throw std::runtime_error("deflateInit2");
        if (start != 0) {
            // The previous piece is a whole 32 KB: the history the block may reach.
            deflateSetDictionary(&stream, data.data() + start - windowBytes, windowBytes);
        }
        Bytes block(2 + deflateBound(&stream, static_cast<uLong>(size)) + 64);
        block[0] = 'C';
        block[1] = 'K';
        stream.next_in = const_cast<Bytef*>(data.data() + start);
        stream.avail_in = static_cast<uInt>(size);
        stream.next_out = block.data() + 2;
        stream.avail_out = static_cast<uInt>(block.size() - 2);
        if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        block.resize(2 + stream.total_out);
        deflateEnd(&stream);
        if (block.size() > windowBytes + 12) throw std::runtime_error("MSZIP block above 32780 bytes");
        blocks.push_back(block);
    }
    return blocks;
}

bool ZlibInflateBlock(const Bytes& block, const Bytes& dictionary, uint32_t maxOutput, Bytes* output) {
    if (block.size() < 2 || block[0] != 'C' || block[1] != 'K') return false;
    z_stream stream = {};
    if (inflateInit2(&stream, -15) != Z_OK) return false;
    if (!dictionary.empty() &&
        inflateSetDictionary(&stream, dictionary.data(), static_cast<uInt>(dictionary.size())) != Z_OK) {
        inflateEnd(&stream);
        return false;
    }
    output->assign(maxOutput, 0);
    stream.next_in = const_cast<Bytef*>(block.data() + 2);
    stream.avail_in = static_cast<uInt>(block.size() - 2);
    stream.next_out = output->data();
    stream.avail_out = maxOutput;
    int result = inflate(&stream, Z_FINISH);
    output->resize(stream.total_out);
    inflateEnd(&stream);
    return result == Z_STREAM_END;
}

bool DecodeFolder(const std::vector<Bytes>& blocks, Bytes* output) {
    MszipDecoder decoder;
    output->clear();
    for (const Bytes& block : blocks) {
        Bytes piece;
        if (decoder.Decode(block, &piece) != MszipOk) return false;
        output->insert(output->end(), piece.begin(), piece.end());
    }
    return true;
}

Bytes RandomBytes(size_t size, uint32_t seed) {
    TestRandom random(seed);
    Bytes data(size);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>(random.Next() >> 24);
    return data;
}

Bytes TextLikeBytes(size_t size, uint32_t seed) {
    static const char* const words[] = {
        "the",    "cabinet", "folder", "of",      "and",     "block",   "file",    "data",   "to",    "a",
        "window", "is",      "in",     "setup",   "driver",  "install", "package", "with",   "for",   "history",
        "bytes",  "each",    "that",   "decoder", "system",  "extract", "program", "temp",   "on",    "work",
        "Huffman", "code",   "length", "distance", "literal", "stream",  "bits",    "table",  "match", "copy"};
    const size_t wordCount = sizeof words / sizeof words[0];
    TestRandom random(seed);
    Bytes data;
    data.reserve(size + 16);
    size_t previous = 0;
    while (data.size() < size) {
        // Markov-ish: the next word mostly follows from the previous one.
        size_t word = random.Below(4) != 0 ? (previous * 7 + random.Below(5)) % wordCount : random.Below(wordCount);
        for (const char* c = words[word]; *c; c++) data.push_back(static_cast<uint8_t>(*c));
        uint32_t r = random.Below(16);
        data.push_back(r == 0 ? '.' : r == 1 ? ',' : r == 2 ? '\n' : ' ');
        previous = word;
    }
    data.resize(size);
    return data;
}

Bytes MixedBytes(size_t size, uint32_t seed) {
    TestRandom random(seed);
    Bytes data;
    data.reserve(size);
    while (data.size() < size) {
        uint32_t kind = random.Below(4);
        size_t run = 1 + random.Below(20000);
        if (kind == 0) {
            Bytes noise = RandomBytes(run, random.Next());
            data.insert(data.end(), noise.begin(), noise.end());
        } else if (kind == 1) {
            Bytes text = TextLikeBytes(run, random.Next());
            data.insert(data.end(), text.begin(), text.end());
        } else if (kind == 2) {
            data.insert(data.end(), run, static_cast<uint8_t>(random.Next()));
        } else if (!data.empty()) {
            // Repeat an earlier stretch, possibly from far back.
            size_t from = random.Below(static_cast<uint32_t>(data.size()));
            for (size_t i = 0; i < run; i++) data.push_back(data[from + i]);
        }
    }
    data.resize(size);
    return data;
}
