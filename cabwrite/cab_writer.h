// cab_writer.h: writes cabinets, single or as a set of cabinets of bounded
// size, from a list of files and their content.
//
// The caller describes the files (name, size, DOS date, time, attributes)
// and the folders they go into (one compression method each), and supplies
// the content through a CabContentSource and receives finished cabinet files
// through a CabCabinetSink. Nothing here touches the file system.
//
// Output is reproducible: the same request and content give the same bytes.
//
// Layout of a set. Cabinets are filled in order. When a folder's data does not
// fit the cabinet at hand, its block is split (the first part, unpackedSize 0,
// ends this cabinet; the second part is the first block of folder 0 of the
// next cabinet), or, when no part fits, the folder goes on with whole blocks in
// the next cabinet. A folder that continues into the next cabinet ends there
// with the last file that began in the earlier cabinet; the files that begin
// in the later cabinet go into a new folder. Every cabinet can so be extracted
// on its own, and the files that continue from one cabinet into the next are
// listed last in the one and first in the other, in the same order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cab_records.h"
#include "compression_method.h"

struct CabWriteFile {
    std::string name;          // 1..255 characters; backslashes separate folders
    uint32_t size = 0;
    uint16_t date = 0;         // MS-DOS date
    uint16_t time = 0;         // MS-DOS time
    uint16_t attributes = 0;
    uint32_t folder = 0;       // index into CabWriteRequest::folders
};

struct CabWriteFolder {
    CabMethod method;
};

struct CabWriteRequest {
    // Files in the order of their content; a folder's files are contiguous
    // and folders appear in ascending order. A folder may receive several
    // folder entries (a set boundary, or the format's 4 GB folder limit).
    std::vector<CabWriteFile> files;
    std::vector<CabWriteFolder> folders;

    // 0: a single cabinet. Otherwise a set whose every cabinet file is at most
    // this many bytes.
    uint32_t maxCabinetBytes = 0;
    uint16_t setId = 0;
    // The names that the cabinets record for each other, index 0 first. Unset:
    // CabSetMemberName of "cabinet.cab".
    std::function<std::string(uint32_t index)> cabinetName;
    std::function<std::string(uint32_t index)> diskName;  // unset: ""
    CabReserveLayout reserve;
    bool withChecksums = true;
};

// Supplies file content. ReadContent is called for the files in order; each
// call asks for the next count bytes of file fileIndex, and all of a file's
// bytes are asked for before the next file's. Returns false when the bytes
// cannot be delivered (the write then fails with CabWriteReadFailed).
class CabContentSource {
public:
    virtual ~CabContentSource() = default;
    virtual bool ReadContent(uint32_t fileIndex, uint8_t* buffer, uint32_t count) = 0;
};

// Receives each finished cabinet file, index 0 first. Returns false to stop
// the write (CabWriteSinkFailed).
class CabCabinetSink {
public:
    virtual ~CabCabinetSink() = default;
    virtual bool TakeCabinet(uint32_t index, const std::string& name, const std::vector<uint8_t>& bytes) = 0;
};

enum CabWriteStatus : int {
    CabWriteOk = 0,
    CabWriteBadRequest = 1,    // a name, a folder index or an option out of range
    CabWriteReadFailed = 2,    // the content source failed
    CabWriteCompressFailed = 3,
    CabWriteTooLarge = 4,      // a single cabinet would exceed the format's limits
    CabWriteSetTooSmall = 5,   // maxCabinetBytes cannot hold a block or an entry
    CabWriteSinkFailed = 6,
};

struct CabWriteResult {
    CabWriteStatus status = CabWriteOk;
    uint32_t cabinetCount = 0;
    std::string message;  // for a person, empty on success
};

CabWriteResult WriteCabinets(const CabWriteRequest& request, CabContentSource* source, CabCabinetSink* sink);

// The name of member index of a set whose first cabinet is firstName:
// "out.cab", "out2.cab", "out3.cab", ... (the number goes before the last
// extension; a name without extension just gets it appended).
std::string CabSetMemberName(const std::string& firstName, uint32_t index);

// Names carried by the status values, for messages.
const char* CabWriteStatusName(CabWriteStatus status);
