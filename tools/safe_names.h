// safe_names.h: turns names stored in a cabinet into paths that stay inside
// the extraction folder.
//
// A cabinet is untrusted input: its names may hold a drive ("C:x"), an
// absolute path ("\abs"), or ".." components with either separator. Such names
// are refused, never rewritten into something else.
#pragma once

#include <string>

// On success *relative is the name with '/' between its components, "." and
// empty components dropped. Refuses (false, *reason for a person) a name with
// any ':', a leading '\' or '/', a ".." component, or nothing left.
bool CabNameToRelativePath(const std::string& name, std::string* relative, std::string* reason);

// True for a name that can only mean a file beside the current cabinet: no
// separator, no ':', not "." or "..", not empty. Names of continuation
// cabinets must be such names.
bool IsPlainFileName(const std::string& name);
