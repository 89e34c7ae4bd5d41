// quantum_match_finder.cpp: hash chains over the folder's window.
#include "quantum_match_finder.h"

#include <cassert>
#include <cstring>

#include "cabdecode.h"

namespace {

const uint32_t hash3Bits = 14;        // 3-byte matches reach 4096 bytes back
const uint32_t smallHashBits = 15;    // windows below 64 KB
const uint32_t largeHashBits = 17;
const uint32_t largeWindowBits = 16;
const uint32_t shortPrefix = 4;       // bytes hashed by the first chains
const uint32_t longPrefix = 8;        // by the second

inline uint32_t Hash(uint32_t value, uint32_t bits) { return (value * 2654435761u) >> (32 - bits); }

inline uint32_t Load3(const uint8_t* at) { return at[0] | at[1] << 8 | static_cast<uint32_t>(at[2]) << 16; }
inline uint32_t Load4(const uint8_t* at) { return Load3(at) | static_cast<uint32_t>(at[3]) << 24; }
inline uint32_t Mix8(const uint8_t* at) { return Load4(at) ^ (Load4(at + 4) * 0x85EBCA6Bu); }

inline uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t length = 0;
    while (length < limit && a[length] == b[length]) length++;
    return length;
}

}  // namespace

QuantumMatchFinder::QuantumMatchFinder(uint32_t windowBits, QuantumMatchFinderLimits limits)
    : reach_(QuantumReachFor(windowBits)),
      limits_(limits),
      windowMask_((1u << windowBits) - 1),
      hashBits_(windowBits >= largeWindowBits ? largeHashBits : smallHashBits) {}

void QuantumMatchFinder::BeginBlock(const uint8_t* data, uint32_t size) {
    assert(size >= 1 && size <= cabMaxBlockBytes);
    if (buffer_.empty()) {
        // Allocated with the first block: a compressor made only to check a
        // method costs nothing. One window of history, plus room for a
        // stretch of blocks so that the buffer slides once per window of
        // input rather than once per block.
        buffer_.resize(2 * (windowMask_ + 1) + cabMaxBlockBytes);
        head4_.assign(1u << hashBits_, 0);
        prev_.assign(windowMask_ + 1, 0);
        head8_.assign(1u << hashBits_, 0);
        prev8_.assign(windowMask_ + 1, 0);
        head3_.assign(1u << hash3Bits, 0);
    }
    const uint32_t start = blockStart_ + blockSize_;
    uint32_t used = start - bufferBase_;
    if (used + size > buffer_.size()) {
        // Keep the last window; older bytes are out of every match's reach.
        const uint32_t keep = used < reach_.window ? used : reach_.window;
        const uint32_t shift = used - keep;
        std::memmove(buffer_.data(), buffer_.data() + shift, keep);
        bufferBase_ += shift;
        used = keep;
    }
    std::memcpy(buffer_.data() + used, data, size);
    blockStart_ = start;
    blockSize_ = size;
}

void QuantumMatchFinder::IndexUpTo(uint32_t limit) {
    const uint32_t known = blockStart_ + blockSize_;
    // A position is indexed once the bytes its hash covers are known; those
    // near the end of a block wait for the next block.
    const uint32_t last4 = known >= shortPrefix ? known - shortPrefix + 1 : 0;
    for (const uint32_t end = limit < last4 ? limit : last4; indexed4_ < end; indexed4_++) {
        const uint8_t* at = At(indexed4_);
        const uint32_t h = Hash(Load4(at), hashBits_);
        prev_[indexed4_ & windowMask_] = head4_[h];
        head4_[h] = indexed4_ + 1;
        head3_[Hash(Load3(at), hash3Bits)] = indexed4_ + 1;
    }
    const uint32_t last8 = known >= longPrefix ? known - longPrefix + 1 : 0;
    for (const uint32_t end = limit < last8 ? limit : last8; indexed8_ < end; indexed8_++) {
        const uint32_t h = Hash(Mix8(At(indexed8_)), hashBits_);
        prev8_[indexed8_ & windowMask_] = head8_[h];
        head8_[h] = indexed8_ + 1;
    }
}

uint32_t QuantumMatchFinder::WalkChain(uint32_t link, const std::vector<uint32_t>& prev, uint32_t maxLinks,
                                       uint32_t position, uint32_t maxLength, uint32_t* best, QuantumMatch* out,
                                       uint32_t count) const {
    const uint8_t* at = At(position);
    for (; link != 0 && maxLinks > 0 && *best < maxLength; maxLinks--) {
        const uint32_t candidate = link - 1;
        const uint32_t distance = position - candidate;
        if (distance > reach_.window) break;
        const uint8_t* from = At(candidate);
        // The byte that would make the match longer than the best is tested
        // first: most candidates fail there.
        if (from[*best] == at[*best]) {
            const uint32_t length = MatchLength(at, from, maxLength);
            const bool codable = length >= quantumEncMinLongMatch || (length == 4 && distance <= reach_.match4) ||
                                 (length == 3 && distance <= reach_.match3);
            if (length > *best && codable) {
                out[count++] = QuantumMatch{length, distance};
                *best = length;
                if (length >= limits_.niceLength) break;
            }
        }
        const uint32_t next = prev[candidate & windowMask_];
        if (next >= link) break;  // a ring slot reused: the chain ends here
        link = next;
    }
    return count;
}

uint32_t QuantumMatchFinder::Find(uint32_t blockOffset, QuantumMatch* out) {
    const uint32_t position = blockStart_ + blockOffset;
    IndexUpTo(position);
    const uint32_t left = blockSize_ - blockOffset;
    const uint32_t maxLength = left < quantumEncMaxMatch ? left : quantumEncMaxMatch;
    if (maxLength < quantumEncMinMatch) return 0;
    const uint8_t* at = At(position);
    uint32_t count = 0;
    uint32_t best = quantumEncMinMatch - 1;

    // The latest 3-byte occurrence, if near enough for a 3-byte match; at that
    // distance every longer length is codable too.
    const uint32_t latest3 = head3_[Hash(Load3(at), hash3Bits)];
    if (latest3 != 0 && position - (latest3 - 1) <= reach_.match3) {
        const uint32_t distance = position - (latest3 - 1);
        const uint32_t length = MatchLength(at, At(latest3 - 1), maxLength);
        if (length >= quantumEncMinMatch) {
            out[count++] = QuantumMatch{length, distance};
            best = length;
        }
    }
    if (maxLength >= shortPrefix) {
        count = WalkChain(head4_[Hash(Load4(at), hashBits_)], prev_, limits_.maxChain4, position, maxLength, &best,
                          out, count);
    }
    if (maxLength >= longPrefix && best < limits_.niceLength) {
        count = WalkChain(head8_[Hash(Mix8(at), hashBits_)], prev8_, limits_.maxChain8, position, maxLength, &best,
                          out, count);
    }
    return count;
}
