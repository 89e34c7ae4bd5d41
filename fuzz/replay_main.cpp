// replay_main.cpp: runs a fuzz target's entry point over corpus files without
// libFuzzer, for regression tests under ctest.
//
//   replay_TARGET FILE|DIR...   every file, and every file in each folder
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static void Collect(const std::string& path, std::vector<std::string>* files) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return;
    if (!S_ISDIR(info.st_mode)) {
        files->push_back(path);
        return;
    }
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> names;
    while (struct dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) Collect(path + "/" + name, files);
}

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) Collect(argv[i], &files);
    if (files.empty()) {
        std::fprintf(stderr, "replay: no input files\n");
        return 1;
    }
    for (const std::string& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
