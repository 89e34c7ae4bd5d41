// folder_cabinet.h: the payload cabinet made from a folder's files.
//
// Every regular file below the folder goes into one cabinet folder with the
// chosen compression, under its path relative to the folder ('\' between
// components), in bytewise name order. Dates are the files' modification
// times in local time, or one fixed stamp for every file, which makes the
// cabinet independent of when the files were checked out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DosStamp {
    uint16_t date = 0x21;  // 1980-01-01
    uint16_t time = 0;
};

struct FolderCabinetOptions {
    std::string folder;
    std::string method = "mszip";  // "none", "mszip" or "quantum[:BITS]"
    bool fixedStamp = false;
    DosStamp stamp;                // when fixedStamp
};

// Parses "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS" (1980 to 2107; seconds are
// stored in 2-second steps). False with a message for anything else.
bool ParseDosStamp(const std::string& text, DosStamp* stamp, std::string* error);

// The cabinet bytes. False with a message for an unreadable folder or file, a
// name the format cannot hold, an unknown method, or a writer failure.
bool MakeFolderCabinet(const FolderCabinetOptions& options, std::vector<uint8_t>* cabinet, size_t* fileCount,
                       std::string* error);
