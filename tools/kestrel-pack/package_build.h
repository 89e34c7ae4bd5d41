// package_build.h: assembling a package from a stub, a payload and settings.
//
// A package is the stub with its string table replaced, then the 15-character
// integrity marker, then the payload (a cabinet) to the end of the file. With
// split parts, the package keeps the head of the payload and the tail is cut
// into part files beside it, named by the part base name, a dot and 001, 002...
//
// Entries the packer computes: 461 stub size (the length of the rewritten
// stub), 468 and 469 payload size (the head kept in the package), 465 part
// base name, 466 part count, 467 program count. The others come from the
// options. An entry given as an override is stored as given, even when it
// makes the package broken; tests build broken packages on purpose that way.
//
// The checksum covers what kestrel will cover: the first stubSize bytes, the
// last payloadSize bytes of the file and the parts this build writes, with
// stubSize and payloadSize read back from the stored texts by kestrel's rules.
// Overrides of 465 and 466 change what is stored, not which parts are covered.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "folder_cabinet.h"
#include "string_table.h"

struct PackageProgram {
    std::string file;       // entry 200 + k
    std::string arguments;  // entry 300 + k (left out when empty)
};

struct PackageSettings {
    std::vector<PackageProgram> programs;
    bool cleanupWorkDir = true;   // 460
    bool showProgress = true;     // 462
    bool extractInPlace = false;  // 463
    bool askForFolder = false;    // 471
    bool hasBrowseTitle = false;
    std::string browseTitle;         // 115 (else the stub's own text stays)
    std::string additionalCabinets;  // 464, ","-separated
    std::string optionalCabinets;    // 470, ","-separated
    uint32_t splitParts = 0;
    bool hasHeadBytes = false;
    uint64_t headBytes = 0;          // payload bytes kept in the package
    std::string partBaseName;        // 465
    StringEntries overrides;         // win over every computed value
    bool hasMarker = false;
    std::string marker;              // exactly 15 characters
    bool checkOff = false;           // state character '0' instead of '1'
};

struct AssembledPackage {
    std::vector<uint8_t> file;                 // stub, marker, payload head
    std::vector<std::vector<uint8_t>> parts;   // split parts in number order
    StringEntries entries;                     // the package entries as stored
    uint64_t stubBytes = 0;
    uint64_t headBytes = 0;
    std::string marker;
    std::vector<std::string> warnings;
};

// Lays out a package in memory. Requires settings.partBaseName to be set when
// splitParts > 0. False with a message for a stub that cannot be rewritten,
// a marker that is not 15 characters, a computed value longer than kestrel's
// buffer holds, or split settings the payload cannot meet.
bool AssemblePackage(const std::vector<uint8_t>& stub, const std::vector<uint8_t>& payload,
                     const PackageSettings& settings, AssembledPackage* package, std::string* error);

struct BuildRequest {
    std::string stubPath;
    std::string outputPath;
    std::string cabinetPath;      // the payload as a ready cabinet, or
    FolderCabinetOptions folder;  // a cabinet made from folder.folder
    PackageSettings settings;     // an empty partBaseName means the output's name without extension
};

struct BuildReport {
    AssembledPackage package;
    std::vector<std::string> partPaths;
    size_t packedFiles = 0;  // 0 when the payload was a ready cabinet
};

// Reads the inputs, assembles the package and writes it and its parts.
bool BuildPackage(const BuildRequest& request, BuildReport* report, std::string* error);

// The output's file name without its last extension ("setup" for "out/setup.exe").
std::string DefaultPartBaseName(const std::string& outputPath);
