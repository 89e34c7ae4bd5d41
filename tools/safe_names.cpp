// safe_names.cpp: checks on names taken from cabinets.
#include "safe_names.h"

bool CabNameToRelativePath(const std::string& name, std::string* relative, std::string* reason) {
    if (name.find(':') != std::string::npos) {
        *reason = "it holds a drive or a ':'";
        return false;
    }
    if (!name.empty() && (name[0] == '\\' || name[0] == '/')) {
        *reason = "it is an absolute path";
        return false;
    }
    std::string result;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        const std::string component = name.substr(start, end - start);
        if (component == "..") {
            *reason = "it climbs out of the folder with \"..\"";
            return false;
        }
        if (!component.empty() && component != ".") {
            if (!result.empty()) result += '/';
            result += component;
        }
        start = end + 1;
    }
    if (result.empty()) {
        *reason = "it names no file";
        return false;
    }
    *relative = result;
    return true;
}

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/:") == std::string::npos;
}
