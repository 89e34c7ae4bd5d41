// cabinet_set.cpp: the two-cabinet set of the spanning tests.
#include "cabinet_set.h"

CabFileSpec FileAt(const std::string& name, uint32_t offset, uint32_t size, uint16_t folderIndex) {
    CabFileSpec file;
    file.name = name;
    file.folderOffset = offset;
    file.fileSize = size;
    file.folderIndex = folderIndex;
    return file;
}

CabinetSet MakeCabinetSet(bool withReserve) {
    CabinetSet set;
    Bytes a = PatternBytes(600, 1), b = PatternBytes(800, 2), c = PatternBytes(500, 3);
    set.blockD = PatternBytes(64, 4);
    set.folderData = a;
    set.folderData.insert(set.folderData.end(), b.begin(), b.end());
    set.folderData.insert(set.folderData.end(), c.begin(), c.end());

    CabinetSpec& one = set.one;
    one.setId = 0x5E7;
    one.cabinetIndex = 0;
    one.hasNext = true;
    one.nextCabinet = "two.cab";
    one.nextDisk = "Disk 2";
    CabFolderSpec crossing;
    crossing.blocks = {StoredBlock(a), SplitFirstPart(b, 300)};
    one.folders = {crossing};
    one.files = {FileAt("f1", 0, 100, 0), FileAt("f2", 550, 1000, FolderToNext)};

    CabinetSpec& two = set.two;
    two.setId = 0x5E7;
    two.cabinetIndex = 1;
    two.hasPrevious = true;
    two.prevCabinet = "one.cab";
    two.prevDisk = "Disk 1";
    CabFolderSpec continued;
    continued.blocks = {SplitSecondPart(b, 300), StoredBlock(c)};
    CabFolderSpec own;
    own.blocks = {StoredBlock(set.blockD)};
    two.folders = {continued, own};
    two.files = {FileAt("f2", 550, 1000, FolderFromPrevious), FileAt("f3", 1600, 200, 0), FileAt("f4", 0, 64, 1)};

    if (withReserve) {
        uint8_t tag = 0x10;
        for (CabinetSpec* spec : {&one, &two}) {
            spec->hasReserve = true;
            spec->cabinetReserve = PatternBytes(5, tag++);
            spec->folderReserveSize = 3;
            spec->blockReserveSize = 2;
            for (CabFolderSpec& folder : spec->folders) {
                folder.reserve = PatternBytes(3, tag++);
                for (CabBlockSpec& block : folder.blocks) block.reserve = PatternBytes(2, tag++);
            }
        }
    }
    return set;
}
