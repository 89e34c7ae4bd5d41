// pe_builder.cpp: see pe_builder.h.
#include "pe_builder.h"

#include <algorithm>

#include "byte_io.h"

uint32_t TestSectionAddress(const TestPeSpec& spec, size_t index) {
    uint32_t address = testSectionAlignment;
    for (size_t i = 0; i < index; ++i) {
        address += static_cast<uint32_t>(AlignUp(std::max<size_t>(spec.sections[i].data.size(), 1), testSectionAlignment));
    }
    return address;
}

std::vector<uint8_t> BuildTestPe(const TestPeSpec& spec) {
    std::vector<uint8_t> out;
    // DOS header: "MZ", zeros, e_lfanew at 0x3C.
    out.resize(0x40, 0);
    out[0] = 'M';
    out[1] = 'Z';
    PutLe32(&out, 0x3C, 0x40);
    AppendLe32(&out, 0x00004550);  // "PE\0\0"
    // COFF header.
    AppendLe16(&out, spec.machine);
    AppendLe16(&out, static_cast<uint16_t>(spec.sections.size()));
    AppendLe32(&out, 0);    // time stamp
    AppendLe32(&out, 0);    // symbol table pointer
    AppendLe32(&out, 0);    // symbol count
    AppendLe16(&out, 224);  // optional header size
    AppendLe16(&out, 0x0102);  // executable, 32-bit
    // Optional header.
    const size_t opt = out.size();
    out.resize(opt + 224, 0);
    PutLe16(&out, opt, spec.magic);
    PutLe32(&out, opt + 16, testSectionAlignment);  // entry point
    PutLe32(&out, opt + 28, 0x400000);              // image base
    PutLe32(&out, opt + 32, testSectionAlignment);
    PutLe32(&out, opt + 36, testFileAlignment);
    PutLe16(&out, opt + 68, 2);   // GUI subsystem
    PutLe32(&out, opt + 92, 16);  // directory count
    const size_t sectionTable = out.size();
    const uint32_t headers = static_cast<uint32_t>(AlignUp(sectionTable + 40 * spec.sections.size(), testFileAlignment));
    PutLe32(&out, opt + 60, headers);
    out.resize(headers, 0);

    uint32_t initialized = 0;
    for (size_t i = 0; i < spec.sections.size(); ++i) {
        const TestSection& section = spec.sections[i];
        const uint32_t address = TestSectionAddress(spec, i);
        const uint32_t rawPointer = static_cast<uint32_t>(out.size());
        const uint32_t rawSize = static_cast<uint32_t>(AlignUp(section.data.size(), testFileAlignment));
        out.insert(out.end(), section.data.begin(), section.data.end());
        out.resize(rawPointer + rawSize, 0);
        const size_t header = sectionTable + 40 * i;
        for (size_t k = 0; k < 8 && k < section.name.size(); ++k) out[header + k] = static_cast<uint8_t>(section.name[k]);
        PutLe32(&out, header + 8, static_cast<uint32_t>(section.data.size()));
        PutLe32(&out, header + 12, address);
        PutLe32(&out, header + 16, rawSize);
        PutLe32(&out, header + 20, rawPointer);
        PutLe32(&out, header + 36, section.characteristics);
        initialized += rawSize;
    }
    const uint32_t end = spec.sections.empty() ? testSectionAlignment : TestSectionAddress(spec, spec.sections.size());
    PutLe32(&out, opt + 8, initialized);
    PutLe32(&out, opt + 56, end);
    const size_t directories = opt + 96;
    if (spec.resourceSection >= 0) {
        const TestSection& section = spec.sections[spec.resourceSection];
        PutLe32(&out, directories + 8 * 2, TestSectionAddress(spec, spec.resourceSection) + spec.resourceOffset);
        PutLe32(&out, directories + 8 * 2 + 4, static_cast<uint32_t>(section.data.size() - spec.resourceOffset));
    }
    if (spec.withCertificate) {
        PutLe32(&out, directories + 8 * 4, static_cast<uint32_t>(out.size()));
        PutLe32(&out, directories + 8 * 4 + 4, 8);
    }
    if (spec.relocSection >= 0) {
        PutLe32(&out, directories + 8 * 5, TestSectionAddress(spec, spec.relocSection));
        PutLe32(&out, directories + 8 * 5 + 4, static_cast<uint32_t>(spec.sections[spec.relocSection].data.size()));
    }
    if (spec.debugSection >= 0) {
        PutLe32(&out, directories + 8 * 6, TestSectionAddress(spec, spec.debugSection));
        PutLe32(&out, directories + 8 * 6 + 4, 28);
    }
    return out;
}

std::vector<uint8_t> RelocationBlock(uint32_t pageRva, const std::vector<uint16_t>& offsets) {
    std::vector<uint8_t> block;
    std::vector<uint16_t> entries;
    for (uint16_t offset : offsets) entries.push_back(static_cast<uint16_t>(0x3000 | (offset & 0xFFF)));  // HIGHLOW
    if (entries.size() % 2 != 0) entries.push_back(0);  // ABSOLUTE padding
    AppendLe32(&block, pageRva);
    AppendLe32(&block, static_cast<uint32_t>(8 + 2 * entries.size()));
    for (uint16_t entry : entries) AppendLe16(&block, entry);
    return block;
}
