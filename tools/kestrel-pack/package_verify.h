// package_verify.h: checking a package the way kestrel will, and saying in
// words what is wrong with it.
//
// The package's own string table gives the stub size, payload size, split
// parts and cabinet lists; the marker is found from the end of the file; the
// checksum is recomputed over the same ranges as kestrel's. Beyond kestrel's
// verdict, the check reports layout faults that kestrel tolerates but that
// make a package fragile: a stub size that does not meet the marker, a
// payload that is no cabinet or whose cabinet header disagrees with the bytes
// present, a cabinet that does not extract (every file is decoded in memory),
// missing cabinets, and entries longer than kestrel's buffers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct VerifyReport {
    bool accepted = false;              // kestrel's verdict on the marker and checksum
    std::string verdict;                // that verdict in one sentence
    std::vector<std::string> problems;  // faults: any makes the check fail
    std::vector<std::string> notes;     // facts worth knowing that are no fault
    std::string marker;                 // the 15 marker characters as found
    std::string computed;               // the checksum digits, when they could be computed
    bool extracted = false;             // the payload cabinet decoded in full
    size_t cabinetFiles = 0;            // ...with this many files
    uint64_t cabinetFileBytes = 0;      // ...of this many bytes

    bool Passed() const { return accepted && problems.empty(); }
};

// Gives the bytes of a file lying beside the package (bytes may be null to ask
// only whether it exists); false when there is no such file.
using BesideReader = std::function<bool(const std::string& name, std::vector<uint8_t>* bytes)>;

// Checks a package file held in memory.
VerifyReport VerifyPackageBytes(const std::vector<uint8_t>& file, const BesideReader& beside);

// Checks the package file at path, with its parts and cabinets beside it.
// False with a message only when the file itself cannot be read.
bool VerifyPackageFile(const std::string& path, VerifyReport* report, std::string* error);
