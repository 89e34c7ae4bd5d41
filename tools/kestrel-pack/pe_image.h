// pe_image.h: the headers of a Windows executable (PE32 for i386; PE32+ for
// x86-64 as well, the build that Wine runs on machines without i386 support),
// and the rewrite that gives it a new resource section.
//
// Only what a resource rewrite needs is parsed: the COFF header, the PE32
// optional header with its data directories, the section table and the COFF
// symbol table that MinGW links leave behind the sections. imageEnd is where
// the image file ends; bytes after it (a package's marker and payload) are no
// part of the image.
//
// The rewrite keeps the resource section where it is and lets it grow or
// shrink. Sections after it are moved along, in the address space and in the
// file, when nothing can refer to their addresses: the base-relocation
// section (its entries name pages of the sections before it) and discardable
// sections (debug information). A section that code or data might address,
// a data directory into a moved section, or a certificate table makes the
// rewrite fail with a message that says which.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum PeDirectoryIndex : size_t {
    PeDirExport = 0,
    PeDirImport = 1,
    PeDirResource = 2,
    PeDirException = 3,
    PeDirSecurity = 4,  // a file offset, not an address: the certificate table
    PeDirBaseReloc = 5,
    PeDirDebug = 6,
};

const uint32_t peSectionDiscardable = 0x02000000;  // IMAGE_SCN_MEM_DISCARDABLE

struct PeSection {
    std::string name;  // as stored, up to 8 bytes ("/4" names a COFF string)
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;
    uint32_t characteristics = 0;

    // The bytes the section spans in memory before alignment; some linkers
    // leave virtualSize 0 and mean rawSize.
    uint32_t Extent() const { return virtualSize != 0 ? virtualSize : rawSize; }
    bool Holds(uint32_t rva) const { return rva >= virtualAddress && rva - virtualAddress < Extent(); }
};

struct PeDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

struct PeImage {
    bool pe32Plus = false;          // x86-64 image
    size_t optionalOffset = 0;      // file offset of the optional header
    size_t directoriesOffset = 0;   // file offset of the first data directory
    size_t sectionTableOffset = 0;  // file offset of the first section header
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfImage = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t sizeOfInitializedData = 0;
    uint32_t checksum = 0;
    uint32_t symbolTablePointer = 0;  // COFF symbols, 0 when stripped
    uint32_t symbolCount = 0;
    std::vector<PeDirectory> directories;
    std::vector<PeSection> sections;
    uint64_t imageEnd = 0;  // headers, section data and COFF symbols end here

    size_t ChecksumOffset() const { return optionalOffset + 64; }
};

// Parses the headers of file. Returns false with a message a person can act
// on for anything that is not a PE32 i386 (or PE32+ x86-64) image or whose
// headers or section data lie outside the file.
bool ParsePeImage(const std::vector<uint8_t>& file, PeImage* image, std::string* error);

// The index of the section that the resource directory starts; false (with a
// message) when the image has no resources or they share a section.
bool FindResourceSection(const PeImage& image, size_t* index, std::string* error);

// The image file with its resource section replaced by resourceBytes, which
// must have been laid out for the section's unchanged address. Section sizes,
// later sections' addresses and file offsets, the resource and base-
// relocation directories, SizeOfImage, SizeOfInitializedData, the COFF symbol
// pointer and the checksum are brought up to date; alignments are kept.
// Bytes of file after image.imageEnd are not copied.
bool ReplaceResourceSection(const std::vector<uint8_t>& file, const PeImage& image,
                            const std::vector<uint8_t>& resourceBytes, std::vector<uint8_t>* output,
                            std::string* error);

// The PE checksum of an image file: 16-bit one's-complement-style sum of its
// words with carries folded back, the 4-byte checksum field counted as zero,
// plus the file length.
uint32_t PeChecksum(const std::vector<uint8_t>& image, size_t checksumOffset);
