// make_seeds.cpp: writes the seed corpora of the fuzz targets.
//
//   make_seeds DIR    creates DIR/cabinet/ and DIR/cabinet_set/
// The seeds are valid cabinets from the writer, a few KB each; the same
// program always writes the same bytes.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "fuzz_seed_set.h"

static bool WriteSeeds(const std::string& folder, const std::vector<FuzzSeed>& seeds) {
    mkdir(folder.c_str(), 0777);
    for (const FuzzSeed& seed : seeds) {
        const std::string path = folder + "/" + seed.name;
        FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            std::fprintf(stderr, "make_seeds: cannot create %s\n", path.c_str());
            return false;
        }
        const bool written = std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), file) == seed.bytes.size();
        if (std::fclose(file) != 0 || !written) {
            std::fprintf(stderr, "make_seeds: writing %s failed\n", path.c_str());
            return false;
        }
    }
    std::printf("%s: %zu seeds\n", folder.c_str(), seeds.size());
    return true;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const std::string root = argv[1];
    mkdir(root.c_str(), 0777);
    return WriteSeeds(root + "/cabinet", CabinetSeeds()) && WriteSeeds(root + "/cabinet_set", CabinetSetSeeds()) ? 0 : 1;
}
