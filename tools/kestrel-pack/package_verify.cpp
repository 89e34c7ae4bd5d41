// package_verify.cpp: kestrel's verdict and the layout checks around it.
#include "package_verify.h"

#include <cstdio>
#include <map>

#include "byte_io.h"
#include "cabinet_check.h"
#include "host_files.h"
#include "package_checksum.h"
#include "package_entries.h"
#include "pe_image.h"
#include "stub_strings.h"

namespace {

const size_t markerBytes = 15;
const uint32_t cabinetSignature = 0x4643534D;  // "MSCF"
const size_t cabinetSizeOffset = 8;            // u32 cbCabinet in the cabinet header
const int64_t maxMissingPartsListed = 5;

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
bool IsUpperHex(char c) { return c >= 'A' && c <= 'F'; }

// The package entries alone (a stub's own texts may differ by language).
StringEntries PackageEntriesOf(const StringEntries& entries) {
    StringEntries own;
    for (const auto& [id, text] : entries) {
        if (IsPackageEntry(id)) own[id] = text;
    }
    return own;
}

// Picks the entries of the first language that holds the stub size. Which
// language the loader picks depends on the user's, so every language must
// carry the same package entries.
const StringEntries* ChooseLanguage(const std::map<uint16_t, StringEntries>& languages, VerifyReport* report) {
    const StringEntries* chosen = nullptr;
    for (const auto& [language, entries] : languages) {
        if (chosen == nullptr && entries.count(EntryStubSize) != 0) chosen = &entries;
    }
    for (const auto& [language, entries] : languages) {
        if (chosen != nullptr && PackageEntriesOf(entries) != PackageEntriesOf(*chosen)) {
            char name[8];
            std::snprintf(name, sizeof name, "0x%04x", static_cast<unsigned>(language));
            report->problems.push_back(std::string("the package entries of string-table language ") + name +
                                       " differ from the others; which ones kestrel reads depends on the user's "
                                       "language");
        }
    }
    return chosen;
}

void CheckMarkerForm(const std::string& marker, VerifyReport* report) {
    bool upper = false, wellFormed = marker.compare(0, 3, "CRC") == 0 && marker.compare(4, 3, ",0x") == 0;
    for (size_t i = 7; i < markerBytes; ++i) {
        upper = upper || IsUpperHex(marker[i]);
        wellFormed = wellFormed && IsLowerHex(marker[i]);
    }
    if (upper) {
        report->problems.push_back("the marker " + Quote(marker) +
                                   " has capital hexadecimal digits; kestrel compares them case-sensitively and never "
                                   "accepts capitals (rebuild, or run the package with /crc:recal)");
    } else if (!wellFormed) {
        report->problems.push_back("the marker " + Quote(marker) +
                                   " is not of the form \"CRC1,0x\" and 8 lowercase hexadecimal digits");
    }
}

void CheckEntryLengths(const StringEntries& entries, VerifyReport* report) {
    for (const auto& [id, text] : entries) {
        const int capacity = EntryCapacity(id);
        if (capacity > 0 && text.size() > static_cast<size_t>(capacity - 1)) {
            report->problems.push_back("entry " + std::to_string(id) + " (" + EntryName(id) + ") is " +
                                       std::to_string(text.size()) + " characters; kestrel reads only the first " +
                                       std::to_string(capacity - 1) + ", " + Quote(text.substr(0, capacity - 1)));
        }
    }
}

void CheckPrograms(const StringEntries& entries, VerifyReport* report) {
    const auto text = [&entries](int id) {
        auto it = entries.find(static_cast<uint16_t>(id));
        return it == entries.end() ? std::string() : it->second;
    };
    const int64_t count = ReadNumberEntry(text(EntryProgramCount));
    if (count > maxPrograms) {
        report->problems.push_back("entry 467 asks for " + std::to_string(count) + " programs; entries 200 to 299 hold " +
                                   std::to_string(maxPrograms));
    }
    for (int64_t k = 0; k < count && k < maxPrograms; ++k) {
        if (text(EntryProgramBase + static_cast<int>(k)).empty()) {
            report->problems.push_back("program " + std::to_string(k) + " has no file name (entry " +
                                       std::to_string(EntryProgramBase + k) + " is empty)");
        }
    }
}

void CheckCabinetLists(const StringEntries& entries, const BesideReader& beside, VerifyReport* report) {
    const auto list = [&entries](uint16_t id) {
        auto it = entries.find(id);
        return ReadListEntry(it == entries.end() ? std::string() : it->second);
    };
    for (const std::string& name : list(EntryAdditionalCabinets)) {
        if (!beside(name, nullptr)) {
            report->problems.push_back("the additional cabinet " + Quote(name) +
                                       " (entry 464) is not beside the package; kestrel needs it");
        }
    }
    for (const std::string& name : list(EntryOptionalCabinets)) {
        if (!beside(name, nullptr)) report->notes.push_back("the optional cabinet " + Quote(name) + " is not present");
    }
}

}  // namespace

VerifyReport VerifyPackageBytes(const std::vector<uint8_t>& file, const BesideReader& beside) {
    VerifyReport report;
    std::string error;
    std::map<uint16_t, StringEntries> languages;
    if (!ReadImageStrings(file, &languages, &error)) {
        report.verdict = "kestrel cannot start: its string table cannot be read";
        report.problems.push_back(error);
        return report;
    }
    const StringEntries* chosen = ChooseLanguage(languages, &report);
    if (chosen == nullptr) {
        report.verdict = "kestrel would do nothing: the package has no stub size (entry 461)";
        report.problems.push_back("entry 461 (stub size) is missing: this is a bare stub, not a package");
        return report;
    }
    const StringEntries& entries = *chosen;
    const auto text = [&entries](uint16_t id) {
        auto it = entries.find(id);
        return it == entries.end() ? std::string() : it->second;
    };
    CheckEntryLengths(entries, &report);

    const int64_t fileBytes = static_cast<int64_t>(file.size());
    const int64_t stubSize = ReadNumberEntry(text(EntryStubSize));
    const int64_t payloadSize = ReadNumberEntry(text(EntryPayloadSize));
    if (stubSize <= 0) {
        report.verdict = "kestrel would do nothing at all: the stub size is 0 or less";
        report.problems.push_back("entry 461 (stub size) is " + Quote(text(EntryStubSize)) + ", which reads as " +
                                  std::to_string(stubSize));
        return report;
    }
    const int64_t markerOffset = fileBytes - payloadSize - static_cast<int64_t>(markerBytes);
    if (payloadSize < 0 || markerOffset < 0) {
        report.verdict = "kestrel would do nothing: there is no marker where the payload size puts it";
        report.problems.push_back("entry 469 (payload size) is " + std::to_string(payloadSize) + ", but the file has " +
                                  std::to_string(fileBytes) + " bytes, too few for a marker and that payload");
        return report;
    }
    report.marker.assign(file.begin() + markerOffset, file.begin() + markerOffset + static_cast<int64_t>(markerBytes));
    CheckMarkerForm(report.marker, &report);

    PeImage image;
    if (ParsePeImage(file, &image, &error) && static_cast<int64_t>(image.imageEnd) != stubSize) {
        report.problems.push_back("entry 461 says the stub is " + std::to_string(stubSize) +
                                  " bytes, but its executable image ends at " + std::to_string(image.imageEnd));
    }
    if (stubSize != markerOffset) {
        report.problems.push_back(
            "entry 461 says the stub is " + std::to_string(stubSize) + " bytes, but the marker lies at offset " +
            std::to_string(markerOffset) +
            (stubSize < markerOffset ? " (the bytes between are not covered by the checksum)"
                                     : " (the checksum covers the marker itself)") +
            "; the payload size (entry 469) or the stub size is wrong");
    }
    if (text(EntryPayloadSizeEcho) != text(EntryPayloadSize)) {
        report.notes.push_back("entry 468 " + Quote(text(EntryPayloadSizeEcho)) + " differs from entry 469 " +
                               Quote(text(EntryPayloadSize)) + "; kestrel never reads 468");
    }

    // Split parts, in number order, as kestrel names them.
    const int64_t partCount = ReadNumberEntry(text(EntrySplitPartCount));
    const std::string baseName = text(EntryPartBaseName);
    std::vector<std::vector<uint8_t>> parts;
    bool partsComplete = true;
    int64_t missing = 0;
    for (int64_t n = 1; n <= partCount && missing < maxMissingPartsListed; ++n) {
        const std::string name = SplitPartName(baseName, static_cast<uint32_t>(n));
        parts.emplace_back();
        if (!beside(name, &parts.back())) {
            partsComplete = false;
            ++missing;
            report.problems.push_back("split part " + std::to_string(n) + " of " + std::to_string(partCount) + ", " +
                                      Quote(name) + ", is missing beside the package");
        }
    }
    if (missing == maxMissingPartsListed) report.problems.push_back("(further parts were not looked for)");

    // The payload should be one cabinet, whose header knows its full size.
    uint64_t payloadTotal = static_cast<uint64_t>(payloadSize);
    for (const std::vector<uint8_t>& part : parts) payloadTotal += part.size();
    std::vector<uint8_t> start(file.end() - payloadSize, file.end());
    if (start.size() < 12 && !parts.empty() && partsComplete) {
        for (const std::vector<uint8_t>& part : parts) start.insert(start.end(), part.begin(), part.end());
    }
    uint32_t signature = 0, cabinetBytes = 0;
    LeReader reader(start);
    if (payloadTotal == 0) {
        report.problems.push_back("the payload is empty");
    } else if (reader.U32(0, &signature) && signature != cabinetSignature) {
        report.problems.push_back("the payload does not begin with a cabinet (\"MSCF\")");
    } else if (reader.U32(cabinetSizeOffset, &cabinetBytes) && partsComplete && cabinetBytes != payloadTotal) {
        report.problems.push_back("the cabinet header says the cabinet has " + std::to_string(cabinetBytes) +
                                  " bytes, but payload and parts hold " + std::to_string(payloadTotal));
    } else if (partsComplete) {
        // The cabinet as the worker puts it together: payload, then the parts.
        std::vector<uint8_t> cabinet(file.end() - payloadSize, file.end());
        for (const std::vector<uint8_t>& part : parts) cabinet.insert(cabinet.end(), part.begin(), part.end());
        CabinetCheck check;
        if (CheckPayloadCabinet(cabinet, &check, &error)) {
            report.extracted = true;
            report.cabinetFiles = check.fileCount;
            report.cabinetFileBytes = check.fileBytes;
        } else {
            report.problems.push_back("the payload cabinet does not extract: " + error);
        }
    }
    CheckCabinetLists(entries, beside, &report);
    CheckPrograms(entries, &report);

    // kestrel's verdict.
    uint32_t checksum = 0;
    std::vector<const std::vector<uint8_t>*> partPointers;
    for (const std::vector<uint8_t>& part : parts) partPointers.push_back(&part);
    const bool computed = partsComplete && ComputePackageChecksum(file, stubSize, payloadSize, partPointers, &checksum);
    if (computed) report.computed = ChecksumText(checksum);
    const bool digitsMatch = computed && report.marker.find(report.computed) != std::string::npos;
    if (report.marker.find("CRC0") != std::string::npos) {
        report.accepted = true;
        report.verdict = "kestrel would accept the package without checking it: the marker turns the check off";
        if (computed && !digitsMatch) {
            report.notes.push_back("the marker's digits do not match the checksum " + report.computed +
                                   "; turning the check on (/crc:on) would make the package fail");
        }
    } else if (!computed) {
        report.verdict = "kestrel would reject the package with \"---CRC Err---\": a split part is missing";
    } else if (digitsMatch) {
        report.accepted = true;
        report.verdict = "kestrel would accept the package: the checksum " + report.computed + " matches the marker";
    } else {
        report.verdict = "kestrel would reject the package with \"" + report.marker + ":0x" + report.computed +
                         "\": the checksum does not match the marker; the package was changed after it was built";
    }
    return report;
}

bool VerifyPackageFile(const std::string& path, VerifyReport* report, std::string* error) {
    std::vector<uint8_t> file;
    if (!ReadHostFile(path, &file, error)) return false;
    const std::string folder = HostFolderOf(path);
    const BesideReader beside = [&folder](const std::string& name, std::vector<uint8_t>* bytes) {
        const std::string besidePath = folder + name;
        if (bytes == nullptr) return HostFileExists(besidePath);
        std::string ignored;
        return HostFileExists(besidePath) && ReadHostFile(besidePath, bytes, &ignored);
    };
    *report = VerifyPackageBytes(file, beside);
    return true;
}
