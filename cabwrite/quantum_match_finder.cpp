// quantum_match_finder.cpp: hash chains over the folder's window.
#include "quantum_match_finder.h"

#include <cassert>
#include <cstring>

#include "cabdecode.h"

namespace {

const uint32_t hash3Bits = 14;        // 3-byte matches reach 4096 bytes back
const uint32_t smallHash4Bits = 15;   // windows below 64 KB
const uint32_t largeHash4Bits = 17;
const uint32_t largeWindowBits = 16;
const uint32_t hashedBytes = 4;       // a position is indexed once its 4 bytes are known

inline uint32_t Hash(uint32_t value, uint32_t bits) { return (value * 2654435761u) >> (32 - bits); }

inline uint32_t Load3(const uint8_t* at) { return at[0] | at[1] << 8 | static_cast<uint32_t>(at[2]) << 16; }
inline uint32_t Load4(const uint8_t* at) { return Load3(at) | static_cast<uint32_t>(at[3]) << 24; }

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
      hash4Bits_(windowBits >= largeWindowBits ? largeHash4Bits : smallHash4Bits),
      // One window of history, plus room for a stretch of blocks so that the
      // buffer slides once per window of input rather than once per block.
      buffer_((2u << windowBits) + cabMaxBlockBytes),
      head4_(1u << hash4Bits_, 0),
      prev_(1u << windowBits, 0),
      head3_(1u << hash3Bits, 0) {}

void QuantumMatchFinder::BeginBlock(const uint8_t* data, uint32_t size) {
    assert(size >= 1 && size <= cabMaxBlockBytes);
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
    if (known < hashedBytes) return;
    const uint32_t last = known - hashedBytes + 1;  // first position not yet indexable
    const uint32_t end = limit < last ? limit : last;
    for (; indexed_ < end; indexed_++) {
        const uint8_t* at = At(indexed_);
        const uint32_t h4 = Hash(Load4(at), hash4Bits_);
        prev_[indexed_ & windowMask_] = head4_[h4];
        head4_[h4] = indexed_ + 1;
        head3_[Hash(Load3(at), hash3Bits)] = indexed_ + 1;
    }
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
    if (maxLength < hashedBytes || best >= maxLength) return count;

    uint32_t link = head4_[Hash(Load4(at), hash4Bits_)];
    for (uint32_t chain = limits_.maxChain; link != 0 && chain > 0; chain--) {
        const uint32_t candidate = link - 1;
        const uint32_t distance = position - candidate;
        if (distance > reach_.window) break;
        const uint8_t* from = At(candidate);
        // The byte that would make the match longer than the best is tested
        // first: most candidates fail there.
        if (from[best] == at[best]) {
            const uint32_t length = MatchLength(at, from, maxLength);
            const bool codable = length >= quantumEncMinLongMatch ||
                                 (length == 4 && distance <= reach_.match4) ||
                                 (length == 3 && distance <= reach_.match3);
            if (length > best && codable) {
                out[count++] = QuantumMatch{length, distance};
                best = length;
                if (length >= limits_.niceLength || length >= maxLength) break;
            }
        }
        const uint32_t next = prev_[candidate & windowMask_];
        if (next >= link) break;  // a ring slot reused: the chain ends here
        link = next;
    }
    return count;
}
