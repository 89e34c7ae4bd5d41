// resource_tree.cpp: parse and serialise the three-level resource directory.
#include "resource_tree.h"

#include <algorithm>

#include "byte_io.h"

namespace {

// Directory table: 16-byte header, then 8-byte entries.
//   0 u32 characteristics   4 u32 time stamp   8 u16 major   10 u16 minor
//  12 u16 named entries    14 u16 id entries
// Entry: u32 name (bit 31: offset of a name string, else the id in bits 0-15)
//        u32 target (bit 31: offset of a sub-directory, else of a data entry)
const size_t directoryHeaderBytes = 16;
const size_t directoryEntryBytes = 8;
const size_t dataEntryBytes = 16;
const uint32_t highBit = 0x80000000u;
const size_t dataAlignment = 8;

struct Parser {
    LeReader reader;
    uint32_t sectionRva;
    ResourceTree* tree;
    std::string* error;

    bool Fail(const std::string& text) {
        *error = "resource directory: " + text;
        return false;
    }

    bool ReadName(uint32_t field, ResourceName* name) {
        if (!(field & highBit)) {
            name->isId = true;
            name->id = static_cast<uint16_t>(field);
            return true;
        }
        const size_t offset = field & ~highBit;
        uint16_t length = 0;
        if (!reader.U16(offset, &length)) return Fail("a name lies outside the section");
        if (!reader.Has(offset + 2, size_t(length) * 2)) return Fail("a name runs past the end of the section");
        name->isId = false;
        name->text.clear();
        for (size_t i = 0; i < length; ++i) {
            uint16_t unit = 0;
            reader.U16(offset + 2 + 2 * i, &unit);
            name->text.push_back(static_cast<char16_t>(unit));
        }
        return true;
    }

    // Walks the table at offset; level 0 types, 1 names, 2 languages.
    bool Walk(size_t offset, int level, ResourceItem* path) {
        uint16_t named = 0, ids = 0;
        if (!reader.U16(offset + 12, &named) || !reader.U16(offset + 14, &ids)) {
            return Fail("a directory table lies outside the section");
        }
        const size_t count = size_t(named) + ids;
        if (!reader.Has(offset + directoryHeaderBytes, count * directoryEntryBytes)) {
            return Fail("a directory table runs past the end of the section");
        }
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = offset + directoryHeaderBytes + i * directoryEntryBytes;
            uint32_t nameField = 0, target = 0;
            reader.U32(entry, &nameField);
            reader.U32(entry + 4, &target);
            ResourceName name;
            if (!ReadName(nameField, &name)) return false;
            if (level == 0) path->type = name;
            if (level == 1) path->name = name;
            if (level == 2) {
                if (!name.isId) return Fail("a language is named by a string");
                path->language = name.id;
            }
            const bool isDirectory = (target & highBit) != 0;
            if (level < 2) {
                if (!isDirectory) return Fail("a resource lies above the language level");
                if (!Walk(target & ~highBit, level + 1, path)) return false;
                continue;
            }
            if (isDirectory) return Fail("the tree is deeper than type, name and language");
            if (!ReadLeaf(target, *path)) return false;
        }
        return true;
    }

    bool ReadLeaf(size_t offset, const ResourceItem& path) {
        uint32_t dataRva = 0, size = 0, codePage = 0;
        if (!reader.U32(offset, &dataRva) || !reader.U32(offset + 4, &size) || !reader.U32(offset + 8, &codePage)) {
            return Fail("a data entry lies outside the section");
        }
        if (tree->items.size() >= maxResourceItems) return Fail("more resources than any real image holds");
        const uint8_t* data = dataRva >= sectionRva ? reader.Bytes(dataRva - sectionRva, size) : nullptr;
        if (data == nullptr) return Fail("the data of a resource lies outside the resource section");
        ResourceItem item = path;
        item.codePage = codePage;
        item.data.assign(data, data + size);
        tree->items.push_back(std::move(item));
        return true;
    }
};

bool SameKey(const ResourceItem& a, const ResourceItem& b) {
    return a.type == b.type && a.name == b.name && a.language == b.language;
}

// Offsets of each distinct name string, appended to the string area.
struct NamePool {
    std::vector<std::u16string> texts;
    std::vector<size_t> offsets;
    size_t bytes = 0;
    size_t Add(const std::u16string& text) {
        for (size_t i = 0; i < texts.size(); ++i) {
            if (texts[i] == text) return offsets[i];
        }
        texts.push_back(text);
        offsets.push_back(bytes);
        bytes += 2 + 2 * text.size();
        return offsets.back();
    }
};

void AppendDirectoryHeader(std::vector<uint8_t>* out, uint16_t named, uint16_t ids) {
    AppendLe32(out, 0);  // characteristics
    AppendLe32(out, 0);  // time stamp: 0 for reproducible output
    AppendLe16(out, 0);  // major version
    AppendLe16(out, 0);  // minor version
    AppendLe16(out, named);
    AppendLe16(out, ids);
}

}  // namespace

bool operator==(const ResourceName& a, const ResourceName& b) {
    return a.isId == b.isId && (a.isId ? a.id == b.id : a.text == b.text);
}

bool ResourceNameBefore(const ResourceName& a, const ResourceName& b) {
    if (a.isId != b.isId) return !a.isId;
    return a.isId ? a.id < b.id : a.text < b.text;
}

bool ParseResourceTree(const uint8_t* section, size_t sectionBytes, uint32_t sectionRva, ResourceTree* tree,
                       std::string* error) {
    tree->items.clear();
    Parser parser{LeReader(section, sectionBytes), sectionRva, tree, error};
    ResourceItem path;
    return parser.Walk(0, 0, &path);
}

void SortResourceTree(ResourceTree* tree) {
    std::stable_sort(tree->items.begin(), tree->items.end(), [](const ResourceItem& a, const ResourceItem& b) {
        if (!(a.type == b.type)) return ResourceNameBefore(a.type, b.type);
        if (!(a.name == b.name)) return ResourceNameBefore(a.name, b.name);
        return a.language < b.language;
    });
}

bool SerializeResourceTree(const ResourceTree& input, uint32_t sectionRva, std::vector<uint8_t>* bytes,
                           std::string* error) {
    ResourceTree tree = input;
    SortResourceTree(&tree);
    const std::vector<ResourceItem>& items = tree.items;
    for (size_t i = 1; i < items.size(); ++i) {
        if (SameKey(items[i - 1], items[i])) {
            *error = "two resources share type, name and language";
            return false;
        }
    }

    // Group the sorted items: types[t] = first item of type t; names likewise.
    std::vector<size_t> typeStarts, nameStarts;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i == 0 || !(items[i].type == items[i - 1].type)) typeStarts.push_back(i);
        if (i == 0 || !(items[i].type == items[i - 1].type) || !(items[i].name == items[i - 1].name)) {
            nameStarts.push_back(i);
        }
    }
    typeStarts.push_back(items.size());
    nameStarts.push_back(items.size());
    const size_t typeCount = typeStarts.size() - 1;
    const size_t nameCount = nameStarts.size() - 1;
    if (typeCount > 0xFFFF || items.size() > maxResourceItems) {
        *error = "too many resources for one directory";
        return false;
    }

    // Sizes of the areas and the offset of each table.
    size_t tableBytes = directoryHeaderBytes + typeCount * directoryEntryBytes;
    std::vector<size_t> typeTableOffsets, nameTableOffsets;
    for (size_t t = 0; t < typeCount; ++t) {
        typeTableOffsets.push_back(tableBytes);
        size_t names = 0;
        for (size_t n = 0; n < nameCount; ++n) {
            if (nameStarts[n] >= typeStarts[t] && nameStarts[n] < typeStarts[t + 1]) ++names;
        }
        tableBytes += directoryHeaderBytes + names * directoryEntryBytes;
    }
    for (size_t n = 0; n < nameCount; ++n) {
        nameTableOffsets.push_back(tableBytes);
        tableBytes += directoryHeaderBytes + (nameStarts[n + 1] - nameStarts[n]) * directoryEntryBytes;
    }
    const size_t dataEntriesOffset = tableBytes;
    const size_t stringsOffset = dataEntriesOffset + items.size() * dataEntryBytes;
    NamePool names;
    for (const ResourceItem& item : items) {
        if ((!item.type.isId && item.type.text.size() > 0xFFFF) || (!item.name.isId && item.name.text.size() > 0xFFFF)) {
            *error = "a resource name is longer than 65535 characters";
            return false;
        }
        if (!item.type.isId) names.Add(item.type.text);
        if (!item.name.isId) names.Add(item.name.text);
    }
    size_t dataOffset = AlignUp(stringsOffset + names.bytes, dataAlignment);
    std::vector<size_t> itemDataOffsets;
    for (const ResourceItem& item : items) {
        itemDataOffsets.push_back(dataOffset);
        dataOffset = AlignUp(dataOffset + item.data.size(), dataAlignment);
    }
    if (uint64_t(sectionRva) + dataOffset > 0xFFFFFFFFull || dataOffset > 0x7FFFFFFF) {
        *error = "the resources do not fit a 32-bit image";
        return false;
    }

    auto nameField = [&names](const ResourceName& name, size_t stringsBase) -> uint32_t {
        return name.isId ? name.id : static_cast<uint32_t>(highBit | (stringsBase + names.Add(name.text)));
    };
    auto countNamed = [](const std::vector<const ResourceName*>& list) {
        uint16_t named = 0;
        for (const ResourceName* name : list) named += name->isId ? 0 : 1;
        return named;
    };

    std::vector<uint8_t>& out = *bytes;
    out.clear();
    // Root: one entry per type.
    {
        std::vector<const ResourceName*> list;
        for (size_t t = 0; t < typeCount; ++t) list.push_back(&items[typeStarts[t]].type);
        const uint16_t named = countNamed(list);
        AppendDirectoryHeader(&out, named, static_cast<uint16_t>(list.size() - named));
        for (size_t t = 0; t < typeCount; ++t) {
            AppendLe32(&out, nameField(*list[t], stringsOffset));
            AppendLe32(&out, static_cast<uint32_t>(highBit | typeTableOffsets[t]));
        }
    }
    // One table per type: one entry per name.
    for (size_t t = 0; t < typeCount; ++t) {
        std::vector<size_t> ownNames;
        for (size_t n = 0; n < nameCount; ++n) {
            if (nameStarts[n] >= typeStarts[t] && nameStarts[n] < typeStarts[t + 1]) ownNames.push_back(n);
        }
        std::vector<const ResourceName*> list;
        for (size_t n : ownNames) list.push_back(&items[nameStarts[n]].name);
        const uint16_t named = countNamed(list);
        AppendDirectoryHeader(&out, named, static_cast<uint16_t>(list.size() - named));
        for (size_t n : ownNames) {
            AppendLe32(&out, nameField(items[nameStarts[n]].name, stringsOffset));
            AppendLe32(&out, static_cast<uint32_t>(highBit | nameTableOffsets[n]));
        }
    }
    // One table per name: one entry per language, pointing at its data entry.
    for (size_t n = 0; n < nameCount; ++n) {
        const size_t languages = nameStarts[n + 1] - nameStarts[n];
        AppendDirectoryHeader(&out, 0, static_cast<uint16_t>(languages));
        for (size_t i = nameStarts[n]; i < nameStarts[n + 1]; ++i) {
            AppendLe32(&out, items[i].language);
            AppendLe32(&out, static_cast<uint32_t>(dataEntriesOffset + i * dataEntryBytes));
        }
    }
    for (size_t i = 0; i < items.size(); ++i) {
        AppendLe32(&out, static_cast<uint32_t>(sectionRva + itemDataOffsets[i]));
        AppendLe32(&out, static_cast<uint32_t>(items[i].data.size()));
        AppendLe32(&out, items[i].codePage);
        AppendLe32(&out, 0);  // reserved
    }
    for (const std::u16string& text : names.texts) {
        AppendLe16(&out, static_cast<uint16_t>(text.size()));
        for (char16_t unit : text) AppendLe16(&out, static_cast<uint16_t>(unit));
    }
    for (size_t i = 0; i < items.size(); ++i) {
        out.resize(itemDataOffsets[i], 0);
        out.insert(out.end(), items[i].data.begin(), items[i].data.end());
    }
    return true;
}
