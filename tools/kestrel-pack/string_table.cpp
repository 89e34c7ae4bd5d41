// string_table.cpp: RT_STRING blocks to entries and back.
#include "string_table.h"

#include <algorithm>

#include "byte_io.h"
#include "windows_1252.h"

namespace {

const uint16_t maxStringBlockId = 65535 / 16 + 1;

bool IsStringBlock(const ResourceItem& item) { return item.type.isId && item.type.id == resourceTypeString; }

}  // namespace

std::vector<uint8_t> EncodeStringBlock(const StringBlockTexts& texts) {
    std::vector<uint8_t> bytes;
    for (const std::u16string& text : texts) {
        AppendLe16(&bytes, static_cast<uint16_t>(text.size()));
        for (char16_t unit : text) AppendLe16(&bytes, static_cast<uint16_t>(unit));
    }
    return bytes;
}

bool DecodeStringBlock(const std::vector<uint8_t>& bytes, StringBlockTexts* texts) {
    LeReader reader(bytes);
    size_t offset = 0;
    for (std::u16string& text : *texts) {
        uint16_t length = 0;
        if (!reader.U16(offset, &length) || !reader.Has(offset + 2, size_t(length) * 2)) return false;
        text.clear();
        for (size_t i = 0; i < length; ++i) {
            uint16_t unit = 0;
            reader.U16(offset + 2 + 2 * i, &unit);
            text.push_back(static_cast<char16_t>(unit));
        }
        offset += 2 + size_t(length) * 2;
    }
    return true;
}

std::vector<uint16_t> StringTableLanguages(const ResourceTree& tree) {
    std::vector<uint16_t> languages;
    for (const ResourceItem& item : tree.items) {
        if (IsStringBlock(item) && std::find(languages.begin(), languages.end(), item.language) == languages.end()) {
            languages.push_back(item.language);
        }
    }
    std::sort(languages.begin(), languages.end());
    return languages;
}

bool ReadStringUnits(const ResourceTree& tree, uint16_t language, StringUnits* entries, std::string* error) {
    entries->clear();
    for (const ResourceItem& item : tree.items) {
        if (!IsStringBlock(item) || item.language != language) continue;
        if (!item.name.isId || item.name.id == 0 || item.name.id > maxStringBlockId) {
            *error = "the string table has a block that no string id can reach";
            return false;
        }
        StringBlockTexts texts;
        if (!DecodeStringBlock(item.data, &texts)) {
            *error = "string block " + std::to_string(item.name.id) + " (ids " +
                     std::to_string((item.name.id - 1) * 16) + " to " + std::to_string((item.name.id - 1) * 16 + 15) +
                     ") ends before its last entry";
            return false;
        }
        for (size_t i = 0; i < stringsPerBlock; ++i) {
            if (!texts[i].empty()) (*entries)[static_cast<uint16_t>((item.name.id - 1) * 16 + i)] = texts[i];
        }
    }
    return true;
}

bool ReadStringTable(const ResourceTree& tree, uint16_t language, StringEntries* entries, bool* lossy,
                     std::string* error) {
    StringUnits units;
    entries->clear();
    *lossy = false;
    if (!ReadStringUnits(tree, language, &units, error)) return false;
    for (const auto& [id, text] : units) {
        if (!Windows1252FromUtf16(text, &(*entries)[id])) *lossy = true;
    }
    return true;
}

bool WriteStringUnits(ResourceTree* tree, uint16_t language, const StringUnits& entries, std::string* error) {
    uint32_t codePage = 0;
    bool sawBlock = false;
    std::vector<ResourceItem> kept;
    for (ResourceItem& item : tree->items) {
        if (IsStringBlock(item) && item.language == language) {
            if (!sawBlock) codePage = item.codePage;
            sawBlock = true;
        } else {
            kept.push_back(std::move(item));
        }
    }
    std::map<uint16_t, StringBlockTexts> blocks;
    for (const auto& [id, text] : entries) {
        if (text.empty()) continue;
        if (text.size() > 0xFFFF) {
            *error = "string " + std::to_string(id) + " is longer than 65535 characters";
            return false;
        }
        blocks[StringBlockId(id)][id % 16] = text;
    }
    for (const auto& [blockId, texts] : blocks) {
        ResourceItem item;
        item.type = ResourceId(resourceTypeString);
        item.name = ResourceId(blockId);
        item.language = language;
        item.codePage = codePage;
        item.data = EncodeStringBlock(texts);
        kept.push_back(std::move(item));
    }
    tree->items = std::move(kept);
    SortResourceTree(tree);
    return true;
}
