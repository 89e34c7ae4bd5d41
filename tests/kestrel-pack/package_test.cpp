// package_test.cpp: packages assembled from the test stubs: entries read back,
// other resources kept, layout and marker, split parts, overrides, and the
// faults that verify must find.
#include <gtest/gtest.h>

#include <algorithm>

#include "byte_io.h"
#include "pack_test_support.h"
#include "package_build.h"
#include "package_checksum.h"
#include "package_entries.h"
#include "package_verify.h"
#include "pe_image.h"
#include "string_table.h"

namespace {

struct StubCase {
    const char* name;
    std::vector<uint8_t> (*load)();
};

void PrintTo(const StubCase& stubCase, std::ostream* out) { *out << stubCase.name; }

class PackageTest : public ::testing::TestWithParam<StubCase> {
protected:
    void SetUp() override {
        stub = GetParam().load();
        payload = MakeCabinet({{"setup.exe", PatternBytes(30000, 1)}, {"data\\notes.txt", PatternBytes(5000, 2)}});
    }

    AssembledPackage Assemble(const PackageSettings& settings) {
        AssembledPackage package;
        std::string error;
        EXPECT_TRUE(AssemblePackage(stub, payload, settings, &package, &error)) << error;
        return package;
    }

    // The files beside a package: its parts and the additional cabinets that
    // FullSettings names.
    static std::map<std::string, std::vector<uint8_t>> PartFiles(const AssembledPackage& package,
                                                                 const std::string& base) {
        std::map<std::string, std::vector<uint8_t>> files = {{"extra1.cab", {}}, {"extra2.cab", {}}};
        for (size_t n = 0; n < package.parts.size(); ++n) {
            files[SplitPartName(base, static_cast<uint32_t>(n + 1))] = package.parts[n];
        }
        return files;
    }

    std::vector<uint8_t> stub;
    std::vector<uint8_t> payload;
};

PackageSettings FullSettings() {
    PackageSettings settings;
    settings.programs = {{"setup.exe", "/quiet /log:<tempdir>install.log"}, {"readme.txt", ""}};
    settings.cleanupWorkDir = false;
    settings.showProgress = false;
    settings.askForFolder = true;
    settings.hasBrowseTitle = true;
    settings.browseTitle = "Choisissez un dossier \xE9t\xE9 \x80";  // é, é and the euro sign in Windows-1252
    settings.additionalCabinets = "extra1.cab,extra2.cab";
    settings.optionalCabinets = "lang.cab";
    settings.partBaseName = "package";
    return settings;
}

TEST_P(PackageTest, StringTableReadsBackExactly) {
    const AssembledPackage package = Assemble(FullSettings());
    const std::string stubSize = std::to_string(package.stubBytes);
    const std::string payloadSize = std::to_string(payload.size());
    const StringEntries expected = {
        {103, "Kestrel Fixture"},
        {112, "Please wait..."},
        {113, "Cannot write the file"},
        {114, "Error"},
        {115, "Choisissez un dossier \xE9t\xE9 \x80"},
        {116, "Extracting"},
        {117, "Complete"},
        {200, "setup.exe"},
        {201, "readme.txt"},
        {300, "/quiet /log:<tempdir>install.log"},
        {460, "0"},
        {461, stubSize},
        {462, "0"},
        {463, "0"},
        {464, "extra1.cab,extra2.cab"},
        {465, "package"},
        {466, "0"},
        {467, "2"},
        {468, payloadSize},
        {469, payloadSize},
        {470, "lang.cab"},
        {471, "1"},
    };
    // The stale entries 250 and 460 of the stub are gone; nothing else appears.
    EXPECT_EQ(StringsOfImage(package.file), expected);
}

TEST_P(PackageTest, EveryOtherResourceIsKeptByteForByte) {
    const AssembledPackage package = Assemble(FullSettings());
    const auto others = [](const ResourceTree& tree) {
        std::vector<ResourceItem> items;
        for (const ResourceItem& item : tree.items) {
            if (!(item.type.isId && item.type.id == resourceTypeString)) items.push_back(item);
        }
        return items;
    };
    const std::vector<ResourceItem> before = others(TreeOfImage(stub));
    const std::vector<ResourceItem> after = others(TreeOfImage(package.file));
    // Icon, group icon, dialog in two languages, menu, accelerators, version,
    // named RCDATA and manifest.
    ASSERT_EQ(before.size(), 9u);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(after[i].type == before[i].type) << i;
        EXPECT_TRUE(after[i].name == before[i].name) << i;
        EXPECT_EQ(after[i].language, before[i].language) << i;
        EXPECT_EQ(after[i].codePage, before[i].codePage) << i;
        EXPECT_EQ(after[i].data, before[i].data) << i;
    }
}

TEST_P(PackageTest, LayoutMarkerAndChecksum) {
    const AssembledPackage package = Assemble(FullSettings());
    const std::vector<uint8_t>& file = package.file;
    ASSERT_EQ(file.size(), package.stubBytes + 15 + payload.size());
    EXPECT_EQ(ReadNumberEntry(package.entries.at(EntryStubSize)), static_cast<int64_t>(package.stubBytes));

    PeImage image;
    std::string error;
    ASSERT_TRUE(ParsePeImage(file, &image, &error)) << error;
    EXPECT_EQ(image.imageEnd, package.stubBytes);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), file.end() - static_cast<ptrdiff_t>(payload.size())));

    // The checksum over the image and the payload, computed here byte by byte.
    uint32_t expected = 0;
    for (size_t i = 0; i < package.stubBytes; ++i) expected = ChecksumStep(expected, file[i], 0x1021);
    for (uint8_t byte : payload) expected = ChecksumStep(expected, byte, 0x1021);
    const std::string marker(file.begin() + static_cast<ptrdiff_t>(package.stubBytes),
                             file.begin() + static_cast<ptrdiff_t>(package.stubBytes + 15));
    EXPECT_EQ(marker, "CRC1,0x" + ChecksumText(expected));
    EXPECT_EQ(package.marker, marker);

    const auto beside = PartFiles(package, "package");
    const VerifyReport report = VerifyPackageBytes(file, MemoryBeside(&beside));
    EXPECT_TRUE(report.Passed()) << report.verdict << (report.problems.empty() ? "" : report.problems[0]);
    EXPECT_TRUE(report.extracted);
    EXPECT_EQ(report.cabinetFiles, 2u);
    EXPECT_EQ(report.cabinetFileBytes, 35000u);
    // The optional cabinet is missing: worth a note, not a fault.
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_NE(report.notes[0].find("lang.cab"), std::string::npos);
}

TEST_P(PackageTest, RewrittenImageIsConsistent) {
    const AssembledPackage package = Assemble(FullSettings());
    const std::vector<uint8_t> image(package.file.begin(), package.file.begin() + package.stubBytes);
    PeImage before, after;
    std::string error;
    ASSERT_TRUE(ParsePeImage(stub, &before, &error)) << error;
    ASSERT_TRUE(ParsePeImage(image, &after, &error)) << error;
    ASSERT_EQ(after.sections.size(), before.sections.size());
    EXPECT_EQ(after.fileAlignment, before.fileAlignment);
    EXPECT_EQ(after.sectionAlignment, before.sectionAlignment);
    EXPECT_EQ(after.checksum, PeChecksum(image, after.ChecksumOffset()));

    size_t rsrc = 0;
    ASSERT_TRUE(FindResourceSection(after, &rsrc, &error));
    uint64_t end = 0;
    for (size_t i = 0; i < after.sections.size(); ++i) {
        const PeSection& section = after.sections[i];
        // Sections touch in memory, start on the alignments, and all but the
        // resources keep their bytes.
        if (i > 0) {
            EXPECT_EQ(section.virtualAddress, AlignUp(uint64_t(after.sections[i - 1].virtualAddress) +
                                                          after.sections[i - 1].Extent(),
                                                      after.sectionAlignment))
                << section.name;
        }
        EXPECT_EQ(section.rawPointer % after.fileAlignment, 0u) << section.name;
        EXPECT_EQ(section.rawSize % after.fileAlignment, 0u) << section.name;
        end = AlignUp(uint64_t(section.virtualAddress) + section.Extent(), after.sectionAlignment);
        if (i == rsrc) continue;
        const PeSection& old = before.sections[i];
        EXPECT_EQ(section.name, old.name);
        ASSERT_EQ(section.rawSize, old.rawSize) << section.name;
        EXPECT_TRUE(std::equal(stub.begin() + old.rawPointer, stub.begin() + old.rawPointer + old.rawSize,
                               image.begin() + section.rawPointer))
            << section.name;
    }
    EXPECT_EQ(after.sizeOfImage, end);
    EXPECT_EQ(after.directories[PeDirResource].rva, after.sections[rsrc].virtualAddress);
    EXPECT_EQ(after.directories[PeDirResource].size, after.sections[rsrc].virtualSize);
    if (before.directories[PeDirBaseReloc].rva != 0) {
        const int64_t shift = int64_t(after.sections.back().virtualAddress) - before.sections.back().virtualAddress;
        EXPECT_EQ(after.directories[PeDirBaseReloc].rva, before.directories[PeDirBaseReloc].rva + shift);
        EXPECT_EQ(after.directories[PeDirBaseReloc].size, before.directories[PeDirBaseReloc].size);
    }
    if (before.symbolTablePointer != 0) {
        const size_t bytes = before.imageEnd - before.symbolTablePointer;
        EXPECT_EQ(after.imageEnd - after.symbolTablePointer, bytes);
        EXPECT_TRUE(std::equal(stub.begin() + before.symbolTablePointer, stub.end(),
                               image.begin() + after.symbolTablePointer));
    }
}

TEST_P(PackageTest, SplitPartsCarryTheTailInOrder) {
    struct SplitCase {
        uint32_t parts;
        bool hasHead;
        uint64_t head;
    };
    const SplitCase cases[] = {{1, false, 0}, {3, false, 0}, {2, true, 0}, {2, true, 100}, {4, true, 34000}};
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.parts) + " parts, head " + std::to_string(c.head));
        PackageSettings settings = FullSettings();
        settings.splitParts = c.parts;
        settings.hasHeadBytes = c.hasHead;
        settings.headBytes = c.head;
        const AssembledPackage package = Assemble(settings);
        ASSERT_EQ(package.parts.size(), c.parts);
        if (c.hasHead) {
            EXPECT_EQ(package.headBytes, c.head);
        }
        std::vector<uint8_t> joined(package.file.begin() + static_cast<ptrdiff_t>(package.stubBytes + 15),
                                    package.file.end());
        EXPECT_EQ(joined.size(), package.headBytes);
        size_t smallest = payload.size(), largest = 0;
        for (const std::vector<uint8_t>& part : package.parts) {
            joined.insert(joined.end(), part.begin(), part.end());
            smallest = std::min(smallest, part.size());
            largest = std::max(largest, part.size());
        }
        EXPECT_EQ(joined, payload);
        EXPECT_LE(largest - smallest, 1u);
        EXPECT_EQ(package.entries.at(EntrySplitPartCount), std::to_string(c.parts));
        EXPECT_EQ(package.entries.at(EntryPayloadSize), std::to_string(package.headBytes));
        EXPECT_EQ(package.entries.at(EntryPartBaseName), "package");

        const auto parts = PartFiles(package, "package");
        const VerifyReport report = VerifyPackageBytes(package.file, MemoryBeside(&parts));
        EXPECT_TRUE(report.Passed()) << report.verdict << (report.problems.empty() ? "" : report.problems[0]);
    }
}

// Each case damages a fresh split package in one way; verify must fail and
// say so in words that point at the damage.
TEST_P(PackageTest, VerifyFindsDamage) {
    PackageSettings settings = FullSettings();
    settings.splitParts = 2;
    const AssembledPackage package = Assemble(settings);
    struct DamageCase {
        const char* name;
        void (*damage)(std::vector<uint8_t>* file, std::map<std::string, std::vector<uint8_t>>* parts, size_t stubBytes);
        const char* expected;  // in the verdict or a problem
        bool accepted;         // kestrel's verdict after the damage
    };
    const DamageCase cases[] = {
        {"byte in the stub", [](auto* file, auto*, size_t) { (*file)[600] ^= 0x01; }, "does not match", false},
        {"byte in the payload head", [](auto* file, auto*, size_t) { file->back() ^= 0x80; }, "does not match", false},
        {"byte in part 2", [](auto*, auto* parts, size_t) { (*parts)["package.002"][10] ^= 0x10; }, "does not match",
         false},
        {"part 2 missing", [](auto*, auto* parts, size_t) { parts->erase("package.002"); }, "\"package.002\", is missing",
         false},
        {"capital digits",
         [](auto* file, auto*, size_t stub) {
             std::transform(file->begin() + stub + 7, file->begin() + stub + 15, file->begin() + stub + 7,
                            [](uint8_t c) { return static_cast<uint8_t>(std::toupper(c)); });
         },
         "capital", false},
        {"byte appended to the stub",
         [](auto* file, auto*, size_t stub) { file->insert(file->begin() + static_cast<ptrdiff_t>(stub), 0); },
         "marker lies at offset", true},  // kestrel does not cover the gap, so it accepts
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> file = package.file;
        auto parts = PartFiles(package, "package");
        c.damage(&file, &parts, package.stubBytes);
        const VerifyReport report = VerifyPackageBytes(file, MemoryBeside(&parts));
        EXPECT_FALSE(report.Passed());
        EXPECT_EQ(report.accepted, c.accepted) << report.verdict;
        std::string all = report.verdict;
        for (const std::string& problem : report.problems) all += "\n" + problem;
        EXPECT_NE(all.find(c.expected), std::string::npos) << all;
    }
}

TEST_P(PackageTest, VerifyExtractsThePayload) {
    struct PayloadCase {
        const char* name;
        void (*damage)(std::vector<uint8_t>* cabinet);
        const char* expected;
    };
    const PayloadCase cases[] = {
        // The first data block starts after the header, one folder and two file
        // entries; a byte near the end lies in the last block's data.
        {"byte in a data block", [](auto* c) { (*c)[c->size() - 100] ^= 0x01; }, "damaged"},
        {"no cabinet at all", [](auto* c) { (*c)[0] = 'X'; }, "does not begin with a cabinet"},
        {"cabinet of a set", [](auto* c) { (*c)[30] |= 0x02; }, "does not extract"},
    };
    for (const PayloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> broken = payload;
        c.damage(&broken);
        AssembledPackage package;
        std::string error;
        // The packer packs what it is given; the checksum then matches.
        ASSERT_TRUE(AssemblePackage(stub, broken, FullSettings(), &package, &error)) << error;
        const auto beside = PartFiles(package, "package");
        const VerifyReport report = VerifyPackageBytes(package.file, MemoryBeside(&beside));
        EXPECT_TRUE(report.accepted) << report.verdict;
        EXPECT_FALSE(report.Passed());
        EXPECT_FALSE(report.extracted);
        std::string all;
        for (const std::string& problem : report.problems) all += problem + "\n";
        EXPECT_NE(all.find(c.expected), std::string::npos) << all;
    }
}

// Damage anywhere in the image or the payload, including the headers and the
// resource directory that verify itself parses, is found and never makes
// verify read outside the file (the sanitizer build runs this too).
TEST_P(PackageTest, VerifyFindsEveryScatteredDamage) {
    const AssembledPackage package = Assemble(FullSettings());
    const auto beside = PartFiles(package, "package");
    const std::vector<uint8_t> noise = PatternBytes(400, 99);
    for (size_t round = 0; round < 200; ++round) {
        std::vector<uint8_t> file = package.file;
        const size_t pick = (size_t(noise[2 * round]) << 8 | noise[2 * round + 1]) * 2654435761u;
        size_t offset = pick % file.size();
        if (offset >= package.stubBytes && offset < package.stubBytes + 15) offset -= 15;  // not the marker
        const uint8_t change = static_cast<uint8_t>(noise[(round * 7) % noise.size()] | 1);
        file[offset] ^= change;
        if (round % 10 == 9) file.resize(offset);  // and now and then cut the file there
        const VerifyReport report = VerifyPackageBytes(file, MemoryBeside(&beside));
        EXPECT_FALSE(report.verdict.empty());
        EXPECT_FALSE(report.Passed()) << "offset " << offset << " round " << round;
    }
}

// A stub with string tables in two languages gets the package entries in
// both, and keeps each language's own texts.
TEST_P(PackageTest, EveryStringTableLanguageGetsTheEntries) {
    const uint16_t german = 0x0407;
    ResourceTree tree = TreeOfImage(stub);
    std::string error;
    ASSERT_TRUE(WriteStringUnits(&tree, german, {{103, u"Testprogramm"}, {460, u"alt"}, {250, u"alt.exe"}}, &error));
    PeImage image;
    size_t index = 0;
    ASSERT_TRUE(ParsePeImage(stub, &image, &error) && FindResourceSection(image, &index, &error)) << error;
    std::vector<uint8_t> resources, twoLanguages;
    ASSERT_TRUE(SerializeResourceTree(tree, image.sections[index].virtualAddress, &resources, &error)) << error;
    ASSERT_TRUE(ReplaceResourceSection(stub, image, resources, &twoLanguages, &error)) << error;

    AssembledPackage package;
    ASSERT_TRUE(AssemblePackage(twoLanguages, payload, FullSettings(), &package, &error)) << error;
    const ResourceTree packed = TreeOfImage(package.file);
    ASSERT_EQ(StringTableLanguages(packed), (std::vector<uint16_t>{german, 0x0409}));
    StringEntries english, deutsch;
    bool lossy = false;
    ASSERT_TRUE(ReadStringTable(packed, 0x0409, &english, &lossy, &error));
    ASSERT_TRUE(ReadStringTable(packed, german, &deutsch, &lossy, &error));
    EXPECT_EQ(deutsch.at(103), "Testprogramm");
    EXPECT_EQ(english.at(103), "Kestrel Fixture");
    EXPECT_EQ(deutsch.count(250), 0u);
    for (const auto& [id, text] : english) {
        if (IsPackageEntry(id)) {
            EXPECT_EQ(deutsch[id], text) << id;
        }
    }
    const auto beside = PartFiles(package, "package");
    const VerifyReport report = VerifyPackageBytes(package.file, MemoryBeside(&beside));
    EXPECT_TRUE(report.Passed()) << (report.problems.empty() ? report.verdict : report.problems[0]);

    // A German table whose program differs: which program runs would depend
    // on the user's language.
    StringUnits changed;
    ResourceTree broken = packed;
    ASSERT_TRUE(ReadStringUnits(broken, german, &changed, &error));
    changed[200] = u"other.exe";
    ASSERT_TRUE(WriteStringUnits(&broken, german, changed, &error));
    const std::vector<uint8_t> packedStub(package.file.begin(), package.file.begin() + package.stubBytes);
    PeImage packedImage;
    ASSERT_TRUE(ParsePeImage(packedStub, &packedImage, &error) && FindResourceSection(packedImage, &index, &error));
    ASSERT_TRUE(SerializeResourceTree(broken, packedImage.sections[index].virtualAddress, &resources, &error));
    std::vector<uint8_t> file;
    ASSERT_TRUE(ReplaceResourceSection(packedStub, packedImage, resources, &file, &error)) << error;
    file.insert(file.end(), package.file.begin() + package.stubBytes, package.file.end());
    const VerifyReport disagreeing = VerifyPackageBytes(file, MemoryBeside(&beside));
    std::string all;
    for (const std::string& problem : disagreeing.problems) all += problem + "\n";
    EXPECT_NE(all.find("differ from the others"), std::string::npos) << all;
}

TEST_P(PackageTest, CheckOffMarkerIsAcceptedUnchecked) {
    PackageSettings settings = FullSettings();
    settings.checkOff = true;
    const AssembledPackage package = Assemble(settings);
    EXPECT_EQ(package.marker.substr(0, 7), "CRC0,0x");
    std::vector<uint8_t> file = package.file;
    file[600] ^= 0x01;  // kestrel does not look, so the verdict stands
    const auto beside = PartFiles(package, "package");
    const VerifyReport report = VerifyPackageBytes(file, MemoryBeside(&beside));
    EXPECT_TRUE(report.accepted);
    EXPECT_TRUE(report.Passed());
    ASSERT_EQ(report.notes.size(), 2u);
    EXPECT_NE(report.notes[1].find("/crc:on"), std::string::npos);
}

TEST_P(PackageTest, OverridesWinOverComputedValues) {
    PackageSettings settings = FullSettings();
    settings.hasMarker = true;
    settings.marker = "CRC1,0xDEADBEEF";
    settings.overrides[EntryPayloadSizeEcho] = "12";
    settings.overrides[103] = "Another Title";
    settings.overrides[EntryBrowseTitle] = "";  // removes the stub's own entry
    const AssembledPackage package = Assemble(settings);
    EXPECT_EQ(std::string(package.file.begin() + static_cast<ptrdiff_t>(package.stubBytes),
                          package.file.begin() + static_cast<ptrdiff_t>(package.stubBytes + 15)),
              "CRC1,0xDEADBEEF");
    const StringEntries entries = StringsOfImage(package.file);
    EXPECT_EQ(entries.at(468), "12");
    EXPECT_EQ(entries.at(469), std::to_string(payload.size()));
    EXPECT_EQ(entries.at(103), "Another Title");
    EXPECT_EQ(entries.count(115), 0u);
    const VerifyReport report = VerifyPackageBytes(package.file, MemoryBeside(nullptr));
    EXPECT_FALSE(report.accepted);
    EXPECT_NE(report.problems.at(0).find("capital"), std::string::npos);
}

TEST_P(PackageTest, StubSizeOverrideIsStoredAndCovered) {
    PackageSettings settings = FullSettings();
    settings.overrides[EntryStubSize] = "4096";
    const AssembledPackage package = Assemble(settings);
    EXPECT_EQ(StringsOfImage(package.file).at(461), "4096");
    // The checksum covers only the first 4096 bytes, as kestrel's would, so a
    // change after them goes unnoticed by kestrel; verify reports the layout.
    std::vector<uint8_t> file = package.file;
    file[5000] ^= 0xFF;
    const auto beside = PartFiles(package, "package");
    const VerifyReport report = VerifyPackageBytes(file, MemoryBeside(&beside));
    EXPECT_TRUE(report.accepted) << report.verdict;
    EXPECT_FALSE(report.Passed());
    EXPECT_NE(report.problems.at(0).find("entry 461 says the stub is 4096 bytes"), std::string::npos);
}

TEST_P(PackageTest, SameInputsGiveTheSameBytes) {
    PackageSettings settings = FullSettings();
    settings.splitParts = 2;
    const AssembledPackage first = Assemble(settings);
    const AssembledPackage second = Assemble(settings);
    EXPECT_EQ(first.file, second.file);
    EXPECT_EQ(first.parts, second.parts);
}

TEST_P(PackageTest, RefusesWhatCannotMakeAPackage) {
    struct RefusalCase {
        const char* name;
        void (*change)(PackageSettings* settings, std::vector<uint8_t>* stub);
        const char* expected;
    };
    const RefusalCase cases[] = {
        {"short marker", [](auto* s, auto*) { s->hasMarker = true, s->marker = "CRC1,0x1234567"; }, "exactly 15"},
        {"stub already packed", [](auto*, auto* stub) { stub->push_back('M'); }, "already a package"},
        {"head larger than payload", [](auto* s, auto*) { s->splitParts = 1, s->hasHeadBytes = true, s->headBytes = 1u << 30; },
         "larger than the payload"},
        {"part base name too long", [](auto* s, auto*) { s->partBaseName = std::string(260, 'p'); }, "entry 465"},
        {"too many programs", [](auto* s, auto*) { s->programs.resize(101, PackageProgram{"x.exe", ""}); },
         "at most 100 programs"},
        {"not an image", [](auto*, auto* stub) { (*stub)[0] = 'Z'; }, "not a Windows executable"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        PackageSettings settings = FullSettings();
        std::vector<uint8_t> changedStub = stub;
        c.change(&settings, &changedStub);
        AssembledPackage package;
        std::string error;
        EXPECT_FALSE(AssemblePackage(changedStub, payload, settings, &package, &error));
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

#ifdef FIXTURE_STUB_X64
std::vector<uint8_t> FixtureStubX64() { return ReadTestFile(FIXTURE_STUB_X64); }
#define X64_STUB_CASE , StubCase{"X64", FixtureStubX64}
#else
#define X64_STUB_CASE
#endif

INSTANTIATE_TEST_SUITE_P(Stubs, PackageTest,
                         ::testing::Values(StubCase{"LinkerLayout", FixtureStub},
                                           StubCase{"ResourcesLast", FixtureStubLast} X64_STUB_CASE),
                         [](const ::testing::TestParamInfo<StubCase>& info) { return std::string(info.param.name); });

}  // namespace
