// pe_builder.h: minimal PE32 images built field by field, for the cases a
// linker never produces (foreign machines, signed images, sections that
// cannot move) and for the rewrite's own bookkeeping.
//
// Layout: DOS header (e_lfanew 0x40), "PE\0\0", COFF header, a 224-byte
// optional header with 16 data directories, the section table; headers fill
// 0x200 bytes. Sections follow at file alignment 0x200 and section alignment
// 0x1000, from address 0x1000, in the order given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestSection {
    std::string name;
    uint32_t characteristics = 0x40000040;  // initialised data, readable
    std::vector<uint8_t> data;
};

struct TestPeSpec {
    uint16_t machine = 0x14C;
    uint16_t magic = 0x10B;
    std::vector<TestSection> sections;
    int resourceSection = -1;     // directory 2 points at its start
    uint32_t resourceOffset = 0;  // ...plus this many bytes
    int relocSection = -1;        // directory 5 covers its data
    int debugSection = -1;        // directory 6 points at its start
    bool withCertificate = false; // directory 4 names a certificate table
};

const uint32_t testFileAlignment = 0x200;
const uint32_t testSectionAlignment = 0x1000;

// The address the builder gives section index.
uint32_t TestSectionAddress(const TestPeSpec& spec, size_t index);

std::vector<uint8_t> BuildTestPe(const TestPeSpec& spec);

// A base relocation block for one page with HIGHLOW entries at the given
// offsets (padded with an ABSOLUTE entry to a multiple of 4 bytes).
std::vector<uint8_t> RelocationBlock(uint32_t pageRva, const std::vector<uint16_t>& offsets);
