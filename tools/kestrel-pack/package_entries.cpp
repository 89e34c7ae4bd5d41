// package_entries.cpp: capacities and reading rules of the package entries.
#include "package_entries.h"

#include <cstdio>
#include <limits>

int EntryCapacity(uint16_t id) {
    switch (id) {
    case EntryCleanupWorkDir:
    case EntryShowProgress:
    case EntryExtractInPlace:
    case EntryProgramCount:
    case EntryAskForFolder:
        return 5;
    case EntryStubSize:
    case EntrySplitPartCount:
    case EntryPayloadSizeEcho:
    case EntryPayloadSize:
        return 10;
    case EntryAdditionalCabinets:
    case EntryPartBaseName:
    case EntryOptionalCabinets:
    case EntryBrowseTitle:
        return 260;
    default:
        return (id >= EntryProgramBase && id < EntryArgumentsBase + maxPrograms) ? 260 : 0;
    }
}

bool IsPackageEntry(uint16_t id) {
    return (id >= EntryProgramBase && id < EntryArgumentsBase + maxPrograms) ||
           (id >= EntryCleanupWorkDir && id <= EntryAskForFolder);
}

const char* EntryName(uint16_t id) {
    switch (id) {
    case EntryBrowseTitle: return "folder browser title";
    case EntryCleanupWorkDir: return "clean-up flag";
    case EntryStubSize: return "stub size";
    case EntryShowProgress: return "progress flag";
    case EntryExtractInPlace: return "in-place flag";
    case EntryAdditionalCabinets: return "additional cabinets";
    case EntryPartBaseName: return "split part base name";
    case EntrySplitPartCount: return "split part count";
    case EntryProgramCount: return "program count";
    case EntryPayloadSizeEcho: return "payload size copy";
    case EntryPayloadSize: return "payload size";
    case EntryOptionalCabinets: return "optional cabinets";
    case EntryAskForFolder: return "ask-for-folder flag";
    default:
        if (id >= EntryProgramBase && id < EntryProgramBase + maxPrograms) return "program file";
        if (id >= EntryArgumentsBase && id < EntryArgumentsBase + maxPrograms) return "program arguments";
        return "";
    }
}

int64_t ReadNumberEntry(const std::string& text) {
    size_t i = 0;
    // isspace in the C locale: blank, \t, \n, \v, \f, \r.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    const int64_t limit = std::numeric_limits<int64_t>::max() / 10 - 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < limit) value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

bool ReadFlagEntry(const std::string& text) { return text.find('1') != std::string::npos; }

std::vector<std::string> ReadListEntry(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        if (comma > start) items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

std::string SplitPartName(const std::string& baseName, uint32_t number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03u", static_cast<unsigned>(number));
    return baseName + "." + digits;
}
