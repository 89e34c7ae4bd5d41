// resource_tree.h: the resource directory of a PE image as a flat list of
// resources, parsed from and written back to the bytes of a resource section.
//
// The directory has three levels: type, name, language. Every leaf becomes one
// ResourceItem that carries its data bytes unchanged, so a rewrite keeps every
// resource that it does not replace byte for byte.
//
// Serialised layout (all offsets relative to the section start):
//
//   | directory tables  | root, then every type's table, then every name's table |
//   | data entries      | 16 bytes each: data RVA, size, code page, reserved     |
//   | name strings      | u16 length + UTF-16 units, no terminator               |
//   | data              | each resource's bytes, starting on an 8-byte boundary  |
//
// Directory entries are sorted as the loader's binary search expects: named
// entries first, in ascending order of their UTF-16 units, then id entries in
// ascending order. Directory time stamps and versions are written as 0, so
// the same resources always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

const uint16_t resourceTypeString = 6;  // RT_STRING

struct ResourceName {
    bool isId = true;
    uint16_t id = 0;
    std::u16string text;  // when !isId
};

bool operator==(const ResourceName& a, const ResourceName& b);
// Directory order: named before id entries, names by code units, ids ascending.
bool ResourceNameBefore(const ResourceName& a, const ResourceName& b);

inline ResourceName ResourceId(uint16_t id) {
    ResourceName name;
    name.id = id;
    return name;
}

struct ResourceItem {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::vector<uint8_t> data;
};

struct ResourceTree {
    std::vector<ResourceItem> items;
};

// Parses the resource directory at the start of a resource section mapped at
// sectionRva. Every data entry must point inside the section. Returns false
// with a message in *error for any structure that leaves the section, a leaf
// at the wrong level, or more than maxResourceItems leaves (a directory that
// refers to itself).
const size_t maxResourceItems = 65536;
bool ParseResourceTree(const uint8_t* section, size_t sectionBytes, uint32_t sectionRva, ResourceTree* tree,
                       std::string* error);

// Puts the items into directory order (type, name, language). Two items with
// the same type, name and language keep their relative order; Serialise
// refuses them.
void SortResourceTree(ResourceTree* tree);

// The bytes of a resource section mapped at sectionRva that holds the tree.
// Returns false when two items share type, name and language or a size does
// not fit the format.
bool SerializeResourceTree(const ResourceTree& tree, uint32_t sectionRva, std::vector<uint8_t>* bytes,
                           std::string* error);
