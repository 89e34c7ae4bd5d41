// set_checks.cpp: rules of a well-formed cabinet set.
#include "set_checks.h"

#include <algorithm>
#include <map>

#include "cabdecode.h"

namespace {

bool Continues(uint16_t folderIndex) {
    return folderIndex == FolderToNext || folderIndex == FolderPrevAndNext;
}

bool Continued(uint16_t folderIndex) {
    return folderIndex == FolderFromPrevious || folderIndex == FolderPrevAndNext;
}

}  // namespace

testing::AssertionResult CheckSet(const std::vector<CabMemoryCabinet>& cabinets, uint32_t maxCabinetBytes,
                                  SetShape* shape) {
    *shape = SetShape();
    std::map<std::string, int> cabinetsPerFile;
    for (size_t i = 0; i < cabinets.size(); ++i) {
        ParsedCabinet cab;
        std::string problem;
        if (!ParseCabinet(cabinets[i].bytes, &cab, &problem)) {
            return testing::AssertionFailure() << "cabinet " << i << ": " << problem;
        }
        if (maxCabinetBytes != 0 && cabinets[i].bytes.size() > maxCabinetBytes) {
            return testing::AssertionFailure() << "cabinet " << i << " has " << cabinets[i].bytes.size() << " bytes";
        }
        if (cab.cabinetSize != cabinets[i].bytes.size() || cab.endOfData != cabinets[i].bytes.size()) {
            return testing::AssertionFailure() << "cabinet " << i << ": size field or data end is wrong";
        }
        if (cab.cabinetIndex != i) {
            return testing::AssertionFailure() << "cabinet " << i << " has index " << cab.cabinetIndex;
        }
        const bool hasPrevious = (cab.flags & FlagHasPrevious) != 0;
        const bool hasNext = (cab.flags & FlagHasNext) != 0;
        if (hasPrevious != (i > 0) || hasNext != (i + 1 < cabinets.size())) {
            return testing::AssertionFailure() << "cabinet " << i << ": previous/next flags " << cab.flags;
        }
        if (hasPrevious && cab.previousName != cabinets[i - 1].name) {
            return testing::AssertionFailure() << "cabinet " << i << " names " << cab.previousName << " as previous";
        }
        if (hasNext && cab.nextName != cabinets[i + 1].name) {
            return testing::AssertionFailure() << "cabinet " << i << " names " << cab.nextName << " as next";
        }
        if (i > 0 && cab.setId != shape->parsed[0].setId) {
            return testing::AssertionFailure() << "cabinet " << i << " has another set id";
        }
        // Listing order: continued files first, continuing files last.
        int stage = 0;
        for (const ParsedFile& file : cab.files) {
            const int rank = file.folderIndex == FolderFromPrevious ? 0 : Continues(file.folderIndex) ? 2 : 1;
            if (rank < stage) {
                return testing::AssertionFailure() << "cabinet " << i << ": " << file.name << " listed out of order";
            }
            stage = std::max(stage, rank);
            if (!Continued(file.folderIndex) && !Continues(file.folderIndex) && file.folderIndex >= cab.folderCount) {
                return testing::AssertionFailure() << "cabinet " << i << ": " << file.name << " names a missing folder";
            }
            ++cabinetsPerFile[file.name];
        }
        // Split blocks: only the last block of the last folder.
        for (size_t f = 0; f < cab.folders.size(); ++f) {
            const ParsedFolder& folder = cab.folders[f];
            if (folder.blocks.empty()) {
                return testing::AssertionFailure() << "cabinet " << i << ": folder " << f << " has no block";
            }
            for (size_t b = 0; b < folder.blocks.size(); ++b) {
                const bool last = f + 1 == cab.folders.size() && b + 1 == folder.blocks.size();
                if (folder.blocks[b].unpackedSize == 0 && !last) {
                    return testing::AssertionFailure() << "cabinet " << i << ": split block inside a folder";
                }
            }
        }
        shape->parsed.push_back(cab);
    }

    for (size_t i = 0; i + 1 < shape->parsed.size(); ++i) {
        const ParsedCabinet& cab = shape->parsed[i];
        const ParsedCabinet& next = shape->parsed[i + 1];
        std::vector<const ParsedFile*> leaving, arriving;
        for (const ParsedFile& file : cab.files) {
            if (Continues(file.folderIndex)) leaving.push_back(&file);
        }
        for (const ParsedFile& file : next.files) {
            if (Continued(file.folderIndex)) arriving.push_back(&file);
        }
        if (leaving.size() != arriving.size()) {
            return testing::AssertionFailure() << "cabinet " << i << " passes " << leaving.size() << " files on, "
                                               << "cabinet " << i + 1 << " takes " << arriving.size();
        }
        for (size_t k = 0; k < leaving.size(); ++k) {
            if (next.files[k].name != leaving[k]->name || next.files[k].folderOffset != leaving[k]->folderOffset ||
                next.files[k].size != leaving[k]->size) {
                return testing::AssertionFailure() << "cabinet " << i + 1 << " entry " << k << " is not "
                                                   << leaving[k]->name;
            }
        }
        const bool endsSplit = !cab.folders.empty() && cab.folders.back().blocks.back().unpackedSize == 0;
        if (endsSplit) {
            ++shape->splitBlocks;
            if (leaving.empty()) return testing::AssertionFailure() << "cabinet " << i << " splits for no file";
        } else if (!leaving.empty()) {
            ++shape->blockBoundaryContinues;
        }
        if (!leaving.empty() && (next.folders.empty() || next.folders[0].compression != cab.folders.back().compression)) {
            return testing::AssertionFailure() << "cabinet " << i + 1 << " does not go on with the same folder";
        }
    }
    for (const auto& entry : cabinetsPerFile) {
        if (entry.second >= 3) ++shape->filesInThreeCabinets;
    }
    return testing::AssertionSuccess();
}
