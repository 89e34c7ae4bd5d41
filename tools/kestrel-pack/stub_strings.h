// stub_strings.h: the string table of an executable file, read from its bytes
// and rewritten into a copy.
//
// This joins the three layers: the PE headers (pe_image), the resource
// directory (resource_tree) and the RT_STRING blocks (string_table).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "string_table.h"

// Language for a string table when the stub has none: English (United States).
const uint16_t defaultStringLanguage = 0x0409;

// The string entries of every language of the image at the front of file
// (bytes after the image are ignored). False with a message when the file is
// no PE32 image, has no resources or a malformed directory or block.
bool ReadImageStrings(const std::vector<uint8_t>& file, std::map<uint16_t, StringEntries>* languages,
                      std::string* error);

// The stub with its string table rewritten, in every language that the stub's
// table uses: the stub's entries for package ids (200-399, 460-471) are
// dropped, its other entries kept, then every entry of packageEntries is set
// (an empty text removes the entry). All other resources are kept byte for
// byte. The stub must end where its image ends (no data appended to it).
bool RewriteStubStrings(const std::vector<uint8_t>& stub, const StringEntries& packageEntries,
                        std::vector<uint8_t>* output, std::string* error);
