// quantum_reference.cpp: the naive reference encoder of the Quantum tests.
#include "quantum_reference.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <random>
#include <string>
#include <utility>

// ---------------------------------------------------------------------------
// RefModel

RefModel::RefModel(int symbolCount) : symbols(symbolCount), freqs(symbolCount, 1) {
    for (int i = 0; i < symbolCount; i++) symbols[i] = static_cast<uint32_t>(i);
}

uint32_t RefModel::Total() const { return CumFrom(0); }

uint32_t RefModel::CumFrom(size_t place) const {
    uint32_t sum = 0;
    for (size_t i = place; i < freqs.size(); i++) sum += freqs[i];
    return sum;
}

size_t RefModel::PlaceOf(uint32_t symbol) const {
    for (size_t i = 0; i < symbols.size(); i++) {
        if (symbols[i] == symbol) return i;
    }
    assert(!"symbol not in model");
    return 0;
}

void RefModel::Update(size_t place) {
    // Adding 8 to the cumulative values of all places up to this one is
    // adding 8 to this place's own frequency.
    freqs[place] += 8;
    if (Total() > 3800) Rescale();
}

void RefModel::Rescale() {
    size_t n = freqs.size();
    rebuildCountdown--;
    if (rebuildCountdown != 0) {
        // Halving works on the cumulative values.
        std::vector<uint32_t> cum(n + 1, 0);
        for (size_t i = 0; i < n; i++) cum[i] = CumFrom(i);
        for (size_t k = n; k-- > 0;) {
            cum[k] /= 2;
            if (cum[k] <= cum[k + 1]) cum[k] = cum[k + 1] + 1;
        }
        for (size_t i = 0; i < n; i++) freqs[i] = cum[i] - cum[i + 1];
        return;
    }
    rebuildCountdown = 50;
    for (uint32_t& f : freqs) f = (f + 1) / 2;
    for (size_t i = 0; i + 1 < n; i++) {
        for (size_t j = i + 1; j < n; j++) {
            if (freqs[j] > freqs[i]) {
                std::swap(freqs[i], freqs[j]);
                std::swap(symbols[i], symbols[j]);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// RefArithmeticEncoder

void RefArithmeticEncoder::Emit(uint8_t bit) {
    arithBits_.push_back(bit);
    for (; pending_ > 0; pending_--) arithBits_.push_back(static_cast<uint8_t>(bit ^ 1));
}

void RefArithmeticEncoder::Encode(uint32_t cumLow, uint32_t cumHigh, uint32_t total) {
    uint32_t range = high_ - low_ + 1;
    high_ = low_ + cumHigh * range / total - 1;
    low_ = low_ + cumLow * range / total;
    for (;;) {
        if (high_ < 0x8000) {
            Emit(0);
        } else if (low_ >= 0x8000) {
            Emit(1);
            low_ -= 0x8000;
            high_ -= 0x8000;
        } else if (low_ >= 0x4000 && high_ < 0xC000) {
            pending_++;
            low_ -= 0x4000;
            high_ -= 0x4000;
        } else {
            break;
        }
        low_ = 2 * low_;
        high_ = 2 * high_ + 1;
    }
}

void RefArithmeticEncoder::RawBits(uint32_t bitCount, uint32_t value) {
    // The decoder has read 16 arithmetic bits more than the encoder has
    // produced (pending bits count as produced: each stands for one shift).
    RawGroup group;
    group.beforeArithBit = 16 + arithBits_.size() + pending_;
    for (uint32_t i = bitCount; i-- > 0;) group.bits.push_back(static_cast<uint8_t>((value >> i) & 1));
    raw_.push_back(std::move(group));
}

std::vector<uint8_t> RefArithmeticEncoder::Finish() {
    size_t shifts = arithBits_.size() + pending_;
    // Two bits select a value inside the final interval.
    pending_++;
    Emit(low_ < 0x4000 ? 0 : 1);
    // The decoder reads 16 bits beyond the last shift; they must lie inside
    // the block.
    while (arithBits_.size() < shifts + 16) arithBits_.push_back(0);

    std::vector<uint8_t> bits;
    size_t next = 0;
    for (size_t j = 0; j <= arithBits_.size(); j++) {
        while (next < raw_.size() && raw_[next].beforeArithBit == j) {
            bits.insert(bits.end(), raw_[next].bits.begin(), raw_[next].bits.end());
            next++;
        }
        if (j < arithBits_.size()) bits.push_back(arithBits_[j]);
    }
    assert(next == raw_.size());
    std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); i++) {
        if (bits[i]) bytes[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    }
    *this = RefArithmeticEncoder();
    return bytes;
}

// ---------------------------------------------------------------------------
// RefQuantumEncoder

const uint32_t RefQuantumEncoder::lengthBase[27] = {0,  1,  2,  3,  4,  5,  6,   8,   10,  12,  14,  18,  22, 26,
                                                    30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
const uint32_t RefQuantumEncoder::lengthExtra[27] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                                     3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

uint32_t RefQuantumEncoder::PositionExtra(uint32_t slot) { return slot < 4 ? 0 : slot / 2 - 1; }

uint32_t RefQuantumEncoder::PositionBase(uint32_t slot) {
    static const std::vector<uint32_t> bases = [] {
        std::vector<uint32_t> table(43, 0);
        for (uint32_t s = 1; s <= 42; s++) table[s] = table[s - 1] + (1u << PositionExtra(s - 1));
        return table;
    }();
    return bases[slot];
}

RefQuantumEncoder::RefQuantumEncoder(int windowBits) : windowBits_(windowBits), window_(1u << windowBits, 0) {
    InitModels();
}

void RefQuantumEncoder::InitModels() {
    int slots = 2 * windowBits_;
    models_[RefSelector] = RefModel(7);
    for (int k = 0; k < 4; k++) models_[RefLiteral0 + k] = RefModel(64);
    models_[RefLength] = RefModel(27);
    models_[RefPos3] = RefModel(std::min(slots, 24));
    models_[RefPos4] = RefModel(std::min(slots, 36));
    models_[RefPos5] = RefModel(slots);
}

void RefQuantumEncoder::ResetFolder() {
    windowPos_ = 0;
    InitModels();
}

void RefQuantumEncoder::Symbol(int modelId, uint32_t symbol) {
    RefModel& model = models_[modelId];
    size_t place = model.PlaceOf(symbol);
    coder_.Encode(model.CumFrom(place + 1), model.CumFrom(place), model.Total());
    model.Update(place);
}

void RefQuantumEncoder::Put(uint8_t byte) {
    window_[windowPos_ & (windowSize() - 1)] = byte;
    windowPos_++;
    output_.push_back(byte);
    blockOutput_++;
}

void RefQuantumEncoder::Literal(uint8_t byte) {
    Symbol(RefSelector, byte / 64);
    Symbol(RefLiteral0 + byte / 64, byte % 64);
    Put(byte);
}

uint32_t RefQuantumEncoder::MaxDistance(uint32_t length) const {
    uint32_t reach = length == 3 ? 4096 : length == 4 ? 262144 : 0xFFFFFFFF;
    return std::min(reach, windowSize());
}

void RefQuantumEncoder::Match(uint32_t length, uint32_t distance) {
    assert(length >= 3 && length <= 259);
    assert(distance >= 1 && distance <= MaxDistance(length));
    int posModel;
    if (length == 3) {
        Symbol(RefSelector, 4);
        posModel = RefPos3;
    } else if (length == 4) {
        Symbol(RefSelector, 5);
        posModel = RefPos4;
    } else {
        Symbol(RefSelector, 6);
        uint32_t value = length - 5;
        uint32_t slot = 26;
        while (lengthBase[slot] > value) slot--;
        Symbol(RefLength, slot);
        Raw(lengthExtra[slot], value - lengthBase[slot]);
        posModel = RefPos5;
    }
    uint32_t value = distance - 1;
    uint32_t slot = 41;
    while (PositionBase(slot) > value) slot--;
    Symbol(posModel, slot);
    Raw(PositionExtra(slot), value - PositionBase(slot));

    uint32_t mask = windowSize() - 1;
    for (uint32_t i = 0; i < length; i++) Put(window_[(windowPos_ - distance) & mask]);
}

std::vector<uint8_t> RefQuantumEncoder::EndBlock() {
    lastBlockOutput_ = blockOutput_;
    blockOutput_ = 0;
    return coder_.Finish();
}

// ---------------------------------------------------------------------------
// Stream builders

static void EndStreamBlock(RefQuantumEncoder& encoder, RefStream& stream) {
    stream.blocks.push_back(encoder.EndBlock());
    stream.blockSizes.push_back(encoder.lastBlockOutput());
}

RefStream RandomStream(RefQuantumEncoder& encoder, uint32_t seed, uint32_t outputBytes, uint32_t blockBytes) {
    std::mt19937 rng(seed);
    RefStream stream;
    size_t startOutput = encoder.output().size();
    uint32_t total = 0;
    while (total < outputBytes) {
        uint32_t target = std::min(blockBytes, outputBytes - total);
        while (encoder.blockOutputSoFar() < target) {
            uint32_t room = target - encoder.blockOutputSoFar();
            uint32_t pick = rng() % 100;
            // Matches reach only bytes written since the folder began.
            uint32_t produced = encoder.produced();
            if (produced == 0 || room < 3 || pick < 35) {
                uint8_t byte = (rng() % 4 != 0) ? static_cast<uint8_t>("etaoin shrdlu"[rng() % 13])
                                                : static_cast<uint8_t>(rng() % 256);
                encoder.Literal(byte);
                continue;
            }
            uint32_t length;
            uint32_t kind = rng() % 10;
            if (kind < 3) length = 3;
            else if (kind < 5) length = 4;
            else if (kind < 6) length = 259;
            else length = 5 + rng() % 60;
            if (length > room) length = room;
            uint32_t maxDistance = std::min(encoder.MaxDistance(length), produced);
            uint32_t distance;
            uint32_t spread = rng() % 10;
            if (spread < 4) distance = 1 + rng() % std::min<uint32_t>(maxDistance, 64);
            else if (spread < 8) distance = 1 + rng() % maxDistance;
            else distance = maxDistance - rng() % std::min<uint32_t>(maxDistance, 16);
            encoder.Match(length, distance);
        }
        total += target;
        EndStreamBlock(encoder, stream);
    }
    stream.expected.assign(encoder.output().begin() + static_cast<std::ptrdiff_t>(startOutput),
                           encoder.output().end());
    return stream;
}

RefStream GreedyStream(RefQuantumEncoder& encoder, const std::vector<uint8_t>& data) {
    RefStream stream;
    size_t startOutput = encoder.output().size();
    const uint32_t hashBits = 16;
    std::vector<int64_t> head(1u << hashBits, -1);
    auto hashAt = [&](size_t pos) {
        uint32_t v = data[pos] | (data[pos + 1] << 8) | (data[pos + 2] << 16);
        return (v * 2654435761u) >> (32 - hashBits);
    };
    size_t pos = 0;
    while (pos < data.size()) {
        size_t blockEnd = std::min(data.size(), pos + 32768);
        while (pos < blockEnd) {
            size_t length = 0;
            size_t distance = 0;
            if (pos + 3 <= blockEnd) {
                uint32_t h = hashAt(pos);
                int64_t candidate = head[h];
                head[h] = static_cast<int64_t>(pos);
                if (candidate >= 0) {
                    distance = pos - static_cast<size_t>(candidate);
                    size_t limit = std::min<size_t>(259, blockEnd - pos);
                    while (length < limit && data[candidate + length] == data[pos + length]) length++;
                    if (length < 3 || distance > encoder.MaxDistance(static_cast<uint32_t>(length))) length = 0;
                }
            }
            if (length == 0) {
                encoder.Literal(data[pos]);
                pos++;
                continue;
            }
            encoder.Match(static_cast<uint32_t>(length), static_cast<uint32_t>(distance));
            for (size_t k = 1; k < length && pos + k + 3 <= blockEnd; k++) head[hashAt(pos + k)] = pos + k;
            pos += length;
        }
        EndStreamBlock(encoder, stream);
    }
    stream.expected.assign(encoder.output().begin() + static_cast<std::ptrdiff_t>(startOutput),
                           encoder.output().end());
    return stream;
}

std::vector<uint8_t> SampleText(uint32_t seed, uint32_t bytes) {
    static const char* const words[] = {
        "the",    "window",  "cabinet", "folder", "block",   "quantum", "of",     "and",     "a",
        "to",     "decoder", "model",   "symbol", "page",    "in",      "is",     "bytes",   "match",
        "length", "slot",    "scratch", "file",   "extract", "setup",   "driver", "package", "kestrel",
    };
    std::mt19937 rng(seed);
    std::vector<uint8_t> text;
    text.reserve(bytes);
    while (text.size() < bytes) {
        std::string word = words[rng() % (sizeof(words) / sizeof(words[0]))];
        if (rng() % 16 == 0) word = std::to_string(rng() % 100000);
        if (rng() % 12 == 0) word[0] = static_cast<char>(word[0] - 32 * (word[0] >= 'a' && word[0] <= 'z'));
        uint32_t p = rng() % 20;
        word += p == 0 ? ".\r\n" : p == 1 ? ", " : " ";
        for (char c : word) {
            if (text.size() < bytes) text.push_back(static_cast<uint8_t>(c));
        }
    }
    return text;
}
