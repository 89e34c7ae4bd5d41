// quantum_match_finder.h: finds earlier occurrences of the bytes at a
// position of a Quantum folder, within the window and the reach of each kind
// of match, never past the end of the block at hand.
//
// Positions are counts of bytes since the folder began (a folder holds less
// than 4 GB). The finder keeps the folder's last window of bytes plus the
// block being coded in one buffer, which slides forward by whole stretches
// when it fills. Two indexes over it:
//   - hash chains over 4-byte prefixes: head4_ gives the latest position of a
//     hash, prev_ (a ring of one window, indexed by position) the one before;
//     a chain is followed nearest first and abandoned beyond the window, so
//     stale links are never followed;
//   - hash chains over 8-byte prefixes, built the same way: in a large window
//     the 4-byte chains of common prefixes are long and mostly lead to short
//     matches, so the long matches are looked for among the positions that
//     share 8 bytes, much fewer;
//   - the latest position of each 3-byte hash, for 3-byte matches, which only
//     reach 4096 bytes back.
// Table entries hold position + 1, so 0 means none.
#pragma once

#include <cstdint>
#include <vector>

#include "quantum_enc_tables.h"

struct QuantumMatch {
    uint32_t length;    // 3 to 259
    uint32_t distance;  // 1 to the reach of its length
};

// At most one match per length from 3 to 259, in increasing length.
const uint32_t quantumMaxMatchesPerPosition = quantumEncMaxMatch - quantumEncMinMatch + 1;

struct QuantumMatchFinderLimits {
    uint32_t maxChain4 = 32;   // 4-byte chain links followed per search
    uint32_t maxChain8 = 32;   // 8-byte chain links followed per search
    uint32_t niceLength = 128; // a match this long ends the search
};

class QuantumMatchFinder {
public:
    QuantumMatchFinder(uint32_t windowBits, QuantumMatchFinderLimits limits);

    // Takes the next block of the folder (1 to 32768 bytes); positions of
    // earlier blocks stay searchable within the window.
    void BeginBlock(const uint8_t* data, uint32_t size);

    // The bytes of the block at hand; offset 0 is the block's first byte.
    const uint8_t* Block() const { return buffer_.data() + (blockStart_ - bufferBase_); }

    // Searches matches for the bytes at blockOffset among all earlier
    // positions of the folder. Writes to out, in increasing length, each
    // match found that is longer than the ones before it (the nearest of its
    // length among those searched), every one codable at its distance and
    // ending within the block, and returns their count (0 to
    // quantumMaxMatchesPerPosition). Offsets may be searched in any rising
    // order; the positions passed over are indexed on the way.
    uint32_t Find(uint32_t blockOffset, QuantumMatch* out);

private:
    // Indexes every position before limit whose 4 (8) bytes are known.
    void IndexUpTo(uint32_t limit);
    // Follows a chain from link, nearest first, appending to out the matches
    // longer than *best; returns the new count.
    uint32_t WalkChain(uint32_t link, const std::vector<uint32_t>& prev, uint32_t maxLinks, uint32_t position,
                       uint32_t maxLength, uint32_t* best, QuantumMatch* out, uint32_t count) const;
    const uint8_t* At(uint32_t position) const { return buffer_.data() + (position - bufferBase_); }

    QuantumReach reach_;
    QuantumMatchFinderLimits limits_;
    uint32_t windowMask_;
    uint32_t hashBits_;  // of the 4- and 8-byte heads
    std::vector<uint8_t> buffer_;   // folder bytes from bufferBase_ on
    uint32_t bufferBase_ = 0;       // folder position of buffer_[0]
    uint32_t blockStart_ = 0;       // folder position of the block's first byte
    uint32_t blockSize_ = 0;
    uint32_t indexed4_ = 0;         // positions below this are in the 4-byte chains
    uint32_t indexed8_ = 0;         // and in the 8-byte chains
    std::vector<uint32_t> head4_;
    std::vector<uint32_t> prev_;
    std::vector<uint32_t> head8_;
    std::vector<uint32_t> prev8_;
    std::vector<uint32_t> head3_;
};
