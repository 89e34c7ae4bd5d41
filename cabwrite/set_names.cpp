// set_names.cpp: names of the members of a cabinet set and of writer results.
#include "cab_writer.h"

std::string CabSetMemberName(const std::string& firstName, uint32_t index) {
    if (index == 0) {
        return firstName;
    }
    const std::string number = std::to_string(index + 1);
    const size_t dot = firstName.find_last_of('.');
    const size_t separator = firstName.find_last_of("/\\");
    if (dot == std::string::npos || dot == 0 || (separator != std::string::npos && dot < separator)) {
        return firstName + number;
    }
    return firstName.substr(0, dot) + number + firstName.substr(dot);
}

const char* CabWriteStatusName(CabWriteStatus status) {
    switch (status) {
        case CabWriteOk: return "CabWriteOk";
        case CabWriteBadRequest: return "CabWriteBadRequest";
        case CabWriteReadFailed: return "CabWriteReadFailed";
        case CabWriteCompressFailed: return "CabWriteCompressFailed";
        case CabWriteTooLarge: return "CabWriteTooLarge";
        case CabWriteSetTooSmall: return "CabWriteSetTooSmall";
        case CabWriteSinkFailed: return "CabWriteSinkFailed";
    }
    return "CabWriteUnknown";
}
