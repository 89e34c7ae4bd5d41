// pack_test_support.h: helpers shared by the kestrel-pack tests: the test
// stubs, real cabinets made in memory, and readers of a package's parts.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "package_verify.h"
#include "resource_tree.h"
#include "string_table.h"

// The bytes of a file; fails the current test when it cannot be read.
std::vector<uint8_t> ReadTestFile(const std::string& path);

// The two test stubs: the linker's own layout, and resources last.
std::vector<uint8_t> FixtureStub();
std::vector<uint8_t> FixtureStubLast();

// The resource tree of an image file (failing the test when it has none).
ResourceTree TreeOfImage(const std::vector<uint8_t>& file);

// The string entries of an image in English (United States), the fixture's language.
StringEntries StringsOfImage(const std::vector<uint8_t>& file);

// A real single-folder MSZIP cabinet holding the given (name, content) files.
std::vector<uint8_t> MakeCabinet(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files);

// Bytes that look random but are the same in every run.
std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed);

// A BesideReader over files held in memory (none when files is null).
BesideReader MemoryBeside(const std::map<std::string, std::vector<uint8_t>>* files);
