// stub_strings.cpp: PE image -> resource tree -> string table, and back.
#include "stub_strings.h"

#include "package_entries.h"
#include "pe_image.h"
#include "resource_tree.h"
#include "windows_1252.h"

namespace {

bool ReadResourceTree(const std::vector<uint8_t>& file, PeImage* image, ResourceTree* tree, std::string* error) {
    if (!ParsePeImage(file, image, error)) return false;
    size_t index = 0;
    if (!FindResourceSection(*image, &index, error)) return false;
    const PeSection& section = image->sections[index];
    // Section bytes beyond the virtual size are file-alignment padding.
    const size_t bytes = section.virtualSize != 0 && section.virtualSize < section.rawSize ? section.virtualSize
                                                                                           : section.rawSize;
    return ParseResourceTree(file.data() + section.rawPointer, bytes, section.virtualAddress, tree, error);
}

}  // namespace

bool ReadImageStrings(const std::vector<uint8_t>& file, std::map<uint16_t, StringEntries>* languages,
                      std::string* error) {
    PeImage image;
    ResourceTree tree;
    if (!ReadResourceTree(file, &image, &tree, error)) return false;
    languages->clear();
    for (uint16_t language : StringTableLanguages(tree)) {
        bool lossy = false;
        if (!ReadStringTable(tree, language, &(*languages)[language], &lossy, error)) return false;
    }
    return true;
}

bool RewriteStubStrings(const std::vector<uint8_t>& stub, const StringEntries& packageEntries,
                        std::vector<uint8_t>* output, std::string* error) {
    PeImage image;
    ResourceTree tree;
    if (!ReadResourceTree(stub, &image, &tree, error)) return false;
    if (stub.size() > image.imageEnd) {
        *error = "the stub has " + std::to_string(stub.size() - image.imageEnd) +
                 " bytes after its executable image; is it already a package? Use the plain kestrel.exe";
        return false;
    }
    std::vector<uint16_t> languages = StringTableLanguages(tree);
    if (languages.empty()) languages.push_back(defaultStringLanguage);
    for (uint16_t language : languages) {
        // The stub's own texts stay in the units they were stored in.
        StringUnits entries;
        if (!ReadStringUnits(tree, language, &entries, error)) return false;
        for (auto it = entries.begin(); it != entries.end();) {
            it = IsPackageEntry(it->first) ? entries.erase(it) : std::next(it);
        }
        for (const auto& [id, text] : packageEntries) entries[id] = Utf16FromWindows1252(text);
        if (!WriteStringUnits(&tree, language, entries, error)) return false;
    }
    size_t index = 0;
    FindResourceSection(image, &index, error);
    std::vector<uint8_t> resourceBytes;
    if (!SerializeResourceTree(tree, image.sections[index].virtualAddress, &resourceBytes, error)) return false;
    return ReplaceResourceSection(stub, image, resourceBytes, output, error);
}
