// pe_image.cpp: PE32 header parsing and the resource-section rewrite.
#include "pe_image.h"

#include <algorithm>
#include <cstdio>

#include "byte_io.h"

namespace {

// Offsets inside the headers.
//   DOS header:   0x00 "MZ"          0x3C u32 offset of "PE\0\0"
//   COFF header (after "PE\0\0"):
//     +0 u16 machine  +2 u16 section count  +4 u32 time stamp
//     +8 u32 symbol table pointer  +12 u32 symbol count
//     +16 u16 optional header size  +18 u16 characteristics
//   Optional header (PE32; PE32+ where it differs):
//     +0 u16 magic 0x10B (PE32+: 0x20B)   +8 u32 SizeOfInitializedData
//     +32 u32 SectionAlignment   +36 u32 FileAlignment
//     +56 u32 SizeOfImage        +60 u32 SizeOfHeaders   +64 u32 CheckSum
//     +92 u32 NumberOfRvaAndSizes (PE32+: +108)
//     +96 data directories, 8 bytes each (PE32+: +112)
//   Section header, 40 bytes:
//     +0 name[8]  +8 VirtualSize  +12 VirtualAddress  +16 SizeOfRawData
//     +20 PointerToRawData  +24 PointerToRelocations  +28 PointerToLinenumbers
//     +32 u16 relocation count  +34 u16 line-number count  +36 Characteristics
const size_t dosLfanewOffset = 0x3C;
const size_t coffHeaderBytes = 20;
const uint16_t machineI386 = 0x14C;
const uint16_t machineAmd64 = 0x8664;
const uint16_t magicPe32 = 0x10B;
const uint16_t magicPe32Plus = 0x20B;
const size_t optInitializedData = 8;
const size_t optSectionAlignment = 32;
const size_t optFileAlignment = 36;
const size_t optSizeOfImage = 56;
const size_t optSizeOfHeaders = 60;
const size_t optDirectoryCount = 92;
const size_t optDirectories = 96;
const size_t optPlusExtraBytes = 16;  // PE32+ widens four stack and heap fields
const size_t sectionHeaderBytes = 40;
const size_t symbolRecordBytes = 18;
const uint16_t relocTypeAbsolute = 0;  // padding entry of a relocation block
const uint16_t relocTypeDir64 = 10;    // patches 8 bytes; every other type at most 4

const char* DirectoryName(size_t index) {
    static const char* const names[] = {"export",         "import",       "resource",     "exception",
                                        "certificate",    "base relocation", "debug",     "architecture",
                                        "global pointer", "TLS",          "load config",  "bound import",
                                        "import address", "delay import", "CLR runtime",  "reserved"};
    return index < sizeof names / sizeof names[0] ? names[index] : "unknown";
}

bool Fail(std::string* error, const std::string& text) {
    *error = text;
    return false;
}

std::string Hex(uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Describe(const PeSection& section) { return "section \"" + section.name + "\""; }

// Checks that every base relocation patches an address below limitRva, so
// that moving what lies at limitRva and above changes no patched value.
bool RelocationsStayBelow(const std::vector<uint8_t>& file, const PeImage& image, uint32_t limitRva,
                          std::string* error) {
    const PeDirectory& directory = image.directories[PeDirBaseReloc];
    const PeSection* holder = nullptr;
    for (const PeSection& section : image.sections) {
        if (section.Holds(directory.rva)) holder = &section;
    }
    if (holder == nullptr) return Fail(error, "the base relocation directory lies in no section");
    const uint64_t start = uint64_t(holder->rawPointer) + (directory.rva - holder->virtualAddress);
    const uint64_t available = holder->rawSize > directory.rva - holder->virtualAddress
                                   ? holder->rawSize - (directory.rva - holder->virtualAddress)
                                   : 0;
    if (directory.size > available || start + directory.size > file.size()) {
        return Fail(error, "the base relocation directory runs past its section");
    }
    LeReader reader(file.data() + start, directory.size);
    // Blocks: u32 page RVA, u32 block size (header included), u16 entries
    // (type in bits 12-15, offset in the page in bits 0-11).
    size_t offset = 0;
    while (offset + 8 <= directory.size) {
        uint32_t page = 0, blockBytes = 0;
        reader.U32(offset, &page);
        reader.U32(offset + 4, &blockBytes);
        if (blockBytes < 8 || !reader.Has(offset, blockBytes)) {
            return Fail(error, "a base relocation block runs past the directory");
        }
        for (size_t at = offset + 8; at + 2 <= offset + blockBytes; at += 2) {
            uint16_t entry = 0;
            reader.U16(at, &entry);
            const uint32_t width = (entry >> 12) == relocTypeDir64 ? 8 : 4;
            if ((entry >> 12) != relocTypeAbsolute && uint64_t(page) + (entry & 0xFFF) + width > limitRva) {
                return Fail(error, "a base relocation patches the resource section or a section after it (at " +
                                       Hex(page + (entry & 0xFFF)) + "), so they cannot be moved");
            }
        }
        offset += blockBytes;
    }
    return true;
}

}  // namespace

bool ParsePeImage(const std::vector<uint8_t>& file, PeImage* image, std::string* error) {
    *image = PeImage();
    LeReader reader(file);
    uint16_t dosMagic = 0;
    uint32_t peOffset = 0;
    if (!reader.U16(0, &dosMagic) || dosMagic != 0x5A4D || !reader.U32(dosLfanewOffset, &peOffset)) {
        return Fail(error, "not a Windows executable (no \"MZ\" header)");
    }
    uint32_t signature = 0;
    if (!reader.U32(peOffset, &signature) || signature != 0x00004550) {
        return Fail(error, "not a Windows executable (no \"PE\" header at " + Hex(peOffset) + ")");
    }
    const size_t coff = size_t(peOffset) + 4;
    uint16_t machine = 0, sectionCount = 0, optionalBytes = 0;
    if (!reader.U16(coff, &machine) || !reader.U16(coff + 2, &sectionCount) ||
        !reader.U32(coff + 8, &image->symbolTablePointer) || !reader.U32(coff + 12, &image->symbolCount) ||
        !reader.U16(coff + 16, &optionalBytes)) {
        return Fail(error, "the file ends inside its COFF header");
    }
    if (machine != machineI386 && machine != machineAmd64) {
        return Fail(error, "not an x86 image (machine " + Hex(machine) + "); kestrel stubs are i386 (or x86-64) images");
    }
    image->optionalOffset = coff + coffHeaderBytes;
    const size_t opt = image->optionalOffset;
    uint16_t magic = 0;
    uint32_t directoryCount = 0;
    if (!reader.Has(opt, optionalBytes) || !reader.U16(opt, &magic)) {
        return Fail(error, "the file ends inside its optional header");
    }
    const uint16_t expectedMagic = machine == machineI386 ? magicPe32 : magicPe32Plus;
    if (magic != expectedMagic) {
        return Fail(error, std::string("not a ") + (machine == machineI386 ? "PE32" : "PE32+") +
                               " image (optional header magic " + Hex(magic) + " for machine " + Hex(machine) + ")");
    }
    image->pe32Plus = magic == magicPe32Plus;
    const size_t extra = image->pe32Plus ? optPlusExtraBytes : 0;
    image->directoriesOffset = opt + optDirectories + extra;
    if (optionalBytes < optDirectories + extra) return Fail(error, "the optional header is too short");
    reader.U32(opt + optInitializedData, &image->sizeOfInitializedData);
    reader.U32(opt + optSectionAlignment, &image->sectionAlignment);
    reader.U32(opt + optFileAlignment, &image->fileAlignment);
    reader.U32(opt + optSizeOfImage, &image->sizeOfImage);
    reader.U32(opt + optSizeOfHeaders, &image->sizeOfHeaders);
    reader.U32(opt + 64, &image->checksum);
    reader.U32(opt + optDirectoryCount + extra, &directoryCount);
    const auto isPowerOfTwo = [](uint32_t value) { return value != 0 && (value & (value - 1)) == 0; };
    if (!isPowerOfTwo(image->fileAlignment) || !isPowerOfTwo(image->sectionAlignment) ||
        image->sectionAlignment < image->fileAlignment) {
        return Fail(error, "the image's alignments (file " + Hex(image->fileAlignment) + ", section " +
                               Hex(image->sectionAlignment) + ") are not valid");
    }
    const size_t directoriesFitting = (optionalBytes - optDirectories - extra) / 8;
    if (directoryCount > directoriesFitting) return Fail(error, "the data directories run past the optional header");
    for (size_t i = 0; i < directoryCount; ++i) {
        PeDirectory directory;
        reader.U32(image->directoriesOffset + 8 * i, &directory.rva);
        reader.U32(image->directoriesOffset + 8 * i + 4, &directory.size);
        image->directories.push_back(directory);
    }
    image->sectionTableOffset = opt + optionalBytes;
    if (!reader.Has(image->sectionTableOffset, size_t(sectionCount) * sectionHeaderBytes)) {
        return Fail(error, "the file ends inside its section table");
    }
    uint64_t end = std::max<uint64_t>(image->sizeOfHeaders, image->sectionTableOffset + sectionCount * sectionHeaderBytes);
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t header = image->sectionTableOffset + i * sectionHeaderBytes;
        PeSection section;
        const uint8_t* name = reader.Bytes(header, 8);
        section.name.assign(reinterpret_cast<const char*>(name), 8);
        section.name.resize(section.name.find('\0') == std::string::npos ? 8 : section.name.find('\0'));
        reader.U32(header + 8, &section.virtualSize);
        reader.U32(header + 12, &section.virtualAddress);
        reader.U32(header + 16, &section.rawSize);
        reader.U32(header + 20, &section.rawPointer);
        reader.U32(header + 36, &section.characteristics);
        if (section.rawSize > 0) {
            if (!reader.Has(section.rawPointer, section.rawSize)) {
                return Fail(error, Describe(section) + " runs past the end of the file (the file is cut short)");
            }
            end = std::max<uint64_t>(end, uint64_t(section.rawPointer) + section.rawSize);
        }
        image->sections.push_back(section);
    }
    if (image->symbolTablePointer != 0) {
        // COFF symbols, then the string table whose first u32 is its own size.
        const uint64_t strings = uint64_t(image->symbolTablePointer) + uint64_t(image->symbolCount) * symbolRecordBytes;
        uint32_t stringBytes = 0;
        if (strings > file.size() || !reader.U32(static_cast<size_t>(strings), &stringBytes) ||
            !reader.Has(static_cast<size_t>(strings), stringBytes)) {
            return Fail(error, "the COFF symbol table runs past the end of the file");
        }
        end = std::max<uint64_t>(end, strings + std::max<uint32_t>(stringBytes, 4));
    }
    image->imageEnd = end;
    return true;
}

bool FindResourceSection(const PeImage& image, size_t* index, std::string* error) {
    if (image.directories.size() <= PeDirResource || image.directories[PeDirResource].rva == 0) {
        return Fail(error, "the image has no resources (its resource directory is empty)");
    }
    const uint32_t rva = image.directories[PeDirResource].rva;
    for (size_t i = 0; i < image.sections.size(); ++i) {
        if (image.sections[i].Holds(rva)) {
            if (image.sections[i].virtualAddress != rva) {
                return Fail(error, "the resources share " + Describe(image.sections[i]) +
                                       " with other data; only a section of their own can be rewritten");
            }
            if (image.sections[i].rawSize == 0) return Fail(error, "the resource section has no bytes in the file");
            *index = i;
            return true;
        }
    }
    return Fail(error, "the resource directory points outside every section");
}

bool ReplaceResourceSection(const std::vector<uint8_t>& file, const PeImage& image,
                            const std::vector<uint8_t>& resourceBytes, std::vector<uint8_t>* output,
                            std::string* error) {
    size_t r = 0;
    if (!FindResourceSection(image, &r, error)) return false;
    const std::vector<PeSection>& sections = image.sections;
    const PeSection& resources = sections[r];
    const uint64_t resourcesRawEnd = uint64_t(resources.rawPointer) + resources.rawSize;

    for (size_t i = 1; i < sections.size(); ++i) {
        if (sections[i].virtualAddress < uint64_t(sections[i - 1].virtualAddress) + sections[i - 1].Extent()) {
            return Fail(error, "the sections are not in ascending address order");
        }
    }
    if (image.directories.size() > PeDirSecurity && image.directories[PeDirSecurity].rva != 0) {
        return Fail(error, "the stub carries a certificate table (it is signed); sign the finished package instead");
    }
    for (size_t i = 0; i < sections.size(); ++i) {
        const PeSection& section = sections[i];
        if (i == r || section.rawSize == 0) continue;
        const uint64_t rawEnd = uint64_t(section.rawPointer) + section.rawSize;
        if (i < r && rawEnd > resources.rawPointer) {
            return Fail(error, Describe(section) + " comes before the resources in memory but after them in the file");
        }
        if (i > r && section.rawPointer < resourcesRawEnd) {
            return Fail(error, Describe(section) + " comes after the resources in memory but before them in the file");
        }
    }
    // Sections after the resources move; only those nothing can address may.
    for (size_t i = r + 1; i < sections.size(); ++i) {
        const bool holdsRelocations = image.directories.size() > PeDirBaseReloc &&
                                      image.directories[PeDirBaseReloc].rva != 0 &&
                                      sections[i].Holds(image.directories[PeDirBaseReloc].rva);
        if (!holdsRelocations && !(sections[i].characteristics & peSectionDiscardable)) {
            return Fail(error, Describe(sections[i]) +
                                   " follows the resources and may be addressed by code; the resource section must be "
                                   "last, or followed only by relocations and discardable sections");
        }
    }
    for (size_t d = 0; d < image.directories.size(); ++d) {
        const PeDirectory& directory = image.directories[d];
        if (directory.rva == 0 || d == PeDirResource || d == PeDirSecurity || d == PeDirBaseReloc) continue;
        for (size_t i = r; i < sections.size(); ++i) {
            if (sections[i].Holds(directory.rva)) {
                return Fail(error, std::string("the ") + DirectoryName(d) + " directory lies in " + Describe(sections[i]) +
                                       ", which the rewrite would have to change or move");
            }
        }
    }
    if (image.directories.size() > PeDirBaseReloc && image.directories[PeDirBaseReloc].rva != 0) {
        if (resources.Holds(image.directories[PeDirBaseReloc].rva)) {
            return Fail(error, "the base relocation directory lies inside the resource section");
        }
        if (!RelocationsStayBelow(file, image, resources.virtualAddress, error)) return false;
    }
    if (image.symbolTablePointer != 0 && image.symbolTablePointer < resourcesRawEnd &&
        image.symbolTablePointer + uint64_t(image.symbolCount) * symbolRecordBytes > resources.rawPointer) {
        return Fail(error, "the COFF symbol table overlaps the resource section");
    }

    const uint64_t newRawBytes = AlignUp(resourceBytes.size(), image.fileAlignment);
    const uint64_t newSpan = AlignUp(std::max<size_t>(resourceBytes.size(), 1), image.sectionAlignment);
    const uint64_t oldSpan = r + 1 < sections.size() ? sections[r + 1].virtualAddress - resources.virtualAddress
                                                     : AlignUp(resources.Extent(), image.sectionAlignment);
    const int64_t addressShift = static_cast<int64_t>(newSpan) - static_cast<int64_t>(oldSpan);
    const int64_t fileShift = static_cast<int64_t>(newRawBytes) - static_cast<int64_t>(resources.rawSize);
    const uint64_t lastEnd = uint64_t(sections.back().virtualAddress) + sections.back().Extent() +
                             (r + 1 < sections.size() ? addressShift : 0);
    if (resourceBytes.size() > 0x7FFFFFFF || lastEnd + newSpan > 0xFFFFFFFFull ||
        image.imageEnd + newRawBytes > 0xFFFFFFFFull) {
        return Fail(error, "the new resources make the image larger than 4 GB");
    }

    // Bytes: everything before the resources, the new resources padded to the
    // file alignment, then everything after the old resources up to imageEnd.
    std::vector<uint8_t>& out = *output;
    out.assign(file.begin(), file.begin() + resources.rawPointer);
    out.insert(out.end(), resourceBytes.begin(), resourceBytes.end());
    out.resize(resources.rawPointer + newRawBytes, 0);
    out.insert(out.end(), file.begin() + static_cast<ptrdiff_t>(resourcesRawEnd),
               file.begin() + static_cast<ptrdiff_t>(image.imageEnd));

    const auto shiftOffset = [&](size_t field) {
        uint32_t value = 0;
        LeReader(out).U32(field, &value);
        if (value != 0 && value >= resourcesRawEnd) PutLe32(&out, field, static_cast<uint32_t>(value + fileShift));
    };
    uint64_t sizeOfImage = AlignUp(image.sizeOfHeaders, image.sectionAlignment);
    for (size_t i = 0; i < sections.size(); ++i) {
        const size_t header = image.sectionTableOffset + i * sectionHeaderBytes;
        PeSection section = sections[i];
        if (i == r) {
            section.virtualSize = static_cast<uint32_t>(resourceBytes.size());
            section.rawSize = static_cast<uint32_t>(newRawBytes);
            PutLe32(&out, header + 8, section.virtualSize);
            PutLe32(&out, header + 16, section.rawSize);
        } else if (i > r) {
            section.virtualAddress = static_cast<uint32_t>(section.virtualAddress + addressShift);
            PutLe32(&out, header + 12, section.virtualAddress);
            shiftOffset(header + 20);
        }
        shiftOffset(header + 24);
        shiftOffset(header + 28);
        sizeOfImage = std::max<uint64_t>(sizeOfImage, AlignUp(uint64_t(section.virtualAddress) + section.Extent(),
                                                              image.sectionAlignment));
    }
    const size_t opt = image.optionalOffset;
    const size_t directories = image.directoriesOffset;
    PutLe32(&out, directories + 8 * PeDirResource + 4, static_cast<uint32_t>(resourceBytes.size()));
    if (image.directories.size() > PeDirBaseReloc) {
        const uint32_t rva = image.directories[PeDirBaseReloc].rva;
        if (rva != 0 && rva >= resources.virtualAddress) {
            PutLe32(&out, directories + 8 * PeDirBaseReloc, static_cast<uint32_t>(rva + addressShift));
        }
    }
    PutLe32(&out, opt + optSizeOfImage, static_cast<uint32_t>(sizeOfImage));
    const int64_t initializedData = static_cast<int64_t>(image.sizeOfInitializedData) + fileShift;
    PutLe32(&out, opt + optInitializedData, static_cast<uint32_t>(std::max<int64_t>(initializedData, 0)));
    shiftOffset(opt - coffHeaderBytes + 8);  // COFF symbol table pointer
    PutLe32(&out, image.ChecksumOffset(), PeChecksum(out, image.ChecksumOffset()));
    return true;
}

uint32_t PeChecksum(const std::vector<uint8_t>& image, size_t checksumOffset) {
    const auto byteAt = [&](size_t i) -> uint32_t {
        return (i >= checksumOffset && i < checksumOffset + 4) ? 0 : image[i];
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        const uint32_t word = byteAt(i) | (i + 1 < image.size() ? byteAt(i + 1) << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}
