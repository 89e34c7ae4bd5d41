// package_build.cpp: entries, stub rewrite, marker and parts.
#include "package_build.h"

#include "cabinet_check.h"
#include "host_files.h"
#include "package_checksum.h"
#include "package_entries.h"
#include "stub_strings.h"

namespace {

const size_t markerBytes = 15;
const char* const markerPlaceholder = "CRC1,0x00000000";
const uint32_t maxSplitParts = 999;  // part names keep their three digits
// The stub size has to settle: its digits live in the stub. Two rounds settle
// it unless a digit more moves the resources across a file-alignment step.
const int maxStubSizeRounds = 6;

const char* Flag(bool on) { return on ? "1" : "0"; }

// Entries from the settings, with the sizes that are known before the stub is
// rewritten (all but the stub size).
bool ComputeEntries(const PackageSettings& settings, uint64_t headBytes, StringEntries* entries, std::string* error) {
    if (settings.programs.size() > static_cast<size_t>(maxPrograms)) {
        *error = "at most " + std::to_string(maxPrograms) + " programs fit entries 200 to 299";
        return false;
    }
    StringEntries& e = *entries;
    e[EntryCleanupWorkDir] = Flag(settings.cleanupWorkDir);
    e[EntryShowProgress] = Flag(settings.showProgress);
    e[EntryExtractInPlace] = Flag(settings.extractInPlace);
    e[EntryAskForFolder] = Flag(settings.askForFolder);
    if (!settings.additionalCabinets.empty()) e[EntryAdditionalCabinets] = settings.additionalCabinets;
    if (!settings.optionalCabinets.empty()) e[EntryOptionalCabinets] = settings.optionalCabinets;
    if (settings.hasBrowseTitle) e[EntryBrowseTitle] = settings.browseTitle;
    e[EntryPartBaseName] = settings.partBaseName;
    e[EntrySplitPartCount] = std::to_string(settings.splitParts);
    e[EntryProgramCount] = std::to_string(settings.programs.size());
    for (size_t k = 0; k < settings.programs.size(); ++k) {
        e[static_cast<uint16_t>(EntryProgramBase + k)] = settings.programs[k].file;
        if (!settings.programs[k].arguments.empty()) {
            e[static_cast<uint16_t>(EntryArgumentsBase + k)] = settings.programs[k].arguments;
        }
    }
    e[EntryPayloadSizeEcho] = std::to_string(headBytes);
    e[EntryPayloadSize] = std::to_string(headBytes);
    for (const auto& [id, text] : e) {
        const int capacity = EntryCapacity(id);
        if (capacity > 0 && text.size() > static_cast<size_t>(capacity - 1) && settings.overrides.count(id) == 0) {
            *error = "entry " + std::to_string(id) + " (" + EntryName(id) + ") would be \"" + text + "\", " +
                     std::to_string(text.size()) + " characters, but kestrel reads at most " +
                     std::to_string(capacity - 1);
            return false;
        }
    }
    return true;
}

// Splits the payload: head (kept in the package) and the tail cut into parts
// whose sizes differ by at most one byte, the larger ones first.
bool SplitPayload(const std::vector<uint8_t>& payload, const PackageSettings& settings, std::vector<uint8_t>* head,
                  std::vector<std::vector<uint8_t>>* parts, std::string* error) {
    parts->clear();
    const uint64_t total = payload.size();
    if (settings.splitParts == 0) {
        if (settings.hasHeadBytes && settings.headBytes != total) {
            *error = "--head-size needs --split-parts: without parts the whole payload stays in the package";
            return false;
        }
        *head = payload;
        return true;
    }
    if (settings.splitParts > maxSplitParts) {
        *error = "at most " + std::to_string(maxSplitParts) + " split parts (three-digit part numbers)";
        return false;
    }
    if (settings.partBaseName.empty()) {
        *error = "split parts need a part base name";
        return false;
    }
    const uint64_t pieces = uint64_t(settings.splitParts) + 1;
    const uint64_t headBytes = settings.hasHeadBytes ? settings.headBytes : (total + pieces - 1) / pieces;
    if (headBytes > total) {
        *error = "--head-size " + std::to_string(headBytes) + " is larger than the payload (" + std::to_string(total) +
                 " bytes)";
        return false;
    }
    head->assign(payload.begin(), payload.begin() + static_cast<ptrdiff_t>(headBytes));
    const uint64_t rest = total - headBytes;
    uint64_t at = headBytes;
    for (uint32_t n = 0; n < settings.splitParts; ++n) {
        const uint64_t bytes = rest / settings.splitParts + (n < rest % settings.splitParts ? 1 : 0);
        parts->emplace_back(payload.begin() + static_cast<ptrdiff_t>(at),
                            payload.begin() + static_cast<ptrdiff_t>(at + bytes));
        at += bytes;
    }
    return true;
}

}  // namespace

bool AssemblePackage(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload,
                     const PackageSettings& settings, AssembledPackage* package, std::string* error) {
    *package = AssembledPackage();
    if (settings.hasMarker && settings.marker.size() != markerBytes) {
        *error = "--marker needs exactly 15 characters (\"CRC1,0x\" and 8 digits), not " +
                 std::to_string(settings.marker.size());
        return false;
    }
    std::vector<uint8_t> head;
    if (!SplitPayload(payload, settings, &head, &package->parts, error)) return false;
    StringEntries entries;
    if (!ComputeEntries(settings, head.size(), &entries, error)) return false;
    for (const auto& [id, text] : settings.overrides) {
        entries[id] = text;
        const int capacity = EntryCapacity(id);
        if (capacity > 0 && text.size() > static_cast<size_t>(capacity - 1)) {
            package->warnings.push_back("entry " + std::to_string(id) + " is " + std::to_string(text.size()) +
                                        " characters; kestrel reads only the first " + std::to_string(capacity - 1));
        }
    }
    const bool stubSizeGiven = settings.overrides.count(EntryStubSize) != 0;
    if (!stubSizeGiven) {
        // 0 is only the first guess; the loop ends when the stored size is the size.
        entries[EntryStubSize] = "0";
    }
    std::vector<uint8_t> rewritten;
    for (int round = 0;; ++round) {
        if (!RewriteStubStrings(stub, entries, &rewritten, error)) return false;
        const std::string size = std::to_string(rewritten.size());
        if (stubSizeGiven || entries[EntryStubSize] == size) break;
        if (round == maxStubSizeRounds) {
            *error = "the stub size does not settle (internal error)";
            return false;
        }
        entries[EntryStubSize] = size;
    }
    if (!stubSizeGiven && entries[EntryStubSize].size() > static_cast<size_t>(EntryCapacity(EntryStubSize) - 1)) {
        *error = "the rewritten stub is " + entries[EntryStubSize] + " bytes, more than entry 461 can state";
        return false;
    }

    std::vector<uint8_t>& file = package->file;
    file = rewritten;
    const std::string firstMarker = settings.hasMarker ? settings.marker : markerPlaceholder;
    file.insert(file.end(), firstMarker.begin(), firstMarker.end());
    file.insert(file.end(), head.begin(), head.end());

    std::vector<const std::vector<uint8_t>*> parts;
    for (const std::vector<uint8_t>& part : package->parts) parts.push_back(&part);
    uint32_t checksum = 0;
    if (!ComputePackageChecksum(file, ReadNumberEntry(entries[EntryStubSize]), ReadNumberEntry(entries[EntryPayloadSize]),
                                parts, &checksum)) {
        package->warnings.push_back("the stored payload size lies outside the file; the marker holds 00000000");
    }
    package->marker = settings.hasMarker ? settings.marker
                                         : std::string(settings.checkOff ? "CRC0,0x" : "CRC1,0x") + ChecksumText(checksum);
    std::copy(package->marker.begin(), package->marker.end(), file.begin() + static_cast<ptrdiff_t>(rewritten.size()));
    package->entries = entries;
    package->stubBytes = rewritten.size();
    package->headBytes = head.size();
    return true;
}

std::string DefaultPartBaseName(const std::string& outputPath) {
    const std::string name = HostNameOf(outputPath);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool BuildPackage(const BuildRequest& request, BuildReport* report, std::string* error) {
    *report = BuildReport();
    std::vector<uint8_t> stub, payload;
    if (!ReadHostFile(request.stubPath, &stub, error)) return false;
    if (!request.cabinetPath.empty()) {
        if (!ReadHostFile(request.cabinetPath, &payload, error)) return false;
    } else if (HostPathIsInside(request.outputPath, request.folder.folder)) {
        *error = "the output " + request.outputPath + " lies inside the folder " + request.folder.folder +
                 " that is packed; the next build would pack this package into itself";
        return false;
    } else if (!MakeFolderCabinet(request.folder, &payload, &report->packedFiles, error)) {
        return false;
    }
    PackageSettings settings = request.settings;
    if (settings.partBaseName.empty()) settings.partBaseName = DefaultPartBaseName(request.outputPath);
    if (!AssemblePackage(stub, payload, settings, &report->package, error)) {
        *error = request.stubPath + ": " + *error;
        return false;
    }
    if (!request.cabinetPath.empty()) {
        // A ready cabinet is packed as it is (tests pack broken ones on
        // purpose), but nobody should ship one that does not extract.
        CabinetCheck check;
        std::string reason;
        if (!CheckPayloadCabinet(payload, &check, &reason)) {
            report->package.warnings.push_back(request.cabinetPath + " does not extract: " + reason);
        }
    }
    const AssembledPackage& package = report->package;
    if (!WriteHostFile(request.outputPath, package.file.data(), package.file.size(), error)) return false;
    const std::string folder = HostFolderOf(request.outputPath);
    for (size_t n = 0; n < package.parts.size(); ++n) {
        const std::string path = folder + SplitPartName(settings.partBaseName, static_cast<uint32_t>(n + 1));
        if (!WriteHostFile(path, package.parts[n].data(), package.parts[n].size(), error)) return false;
        report->partPaths.push_back(path);
    }
    return true;
}
