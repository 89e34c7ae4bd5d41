// main.cpp: kestrel-pack, the tool that assembles kestrel packages and checks
// them. Exit status 0 on success, 1 on any failure.
#include <cstdio>
#include <string>
#include <vector>

#include "pack_command_line.h"
#include "package_build.h"
#include "package_verify.h"

#ifndef KESTREL_VERSION
#define KESTREL_VERSION "0"
#endif

namespace {

int RunBuild(const BuildRequest& request) {
    BuildReport report;
    std::string error;
    if (!BuildPackage(request, &report, &error)) {
        std::fprintf(stderr, "kestrel-pack: %s\n", error.c_str());
        return 1;
    }
    const AssembledPackage& package = report.package;
    for (const std::string& warning : package.warnings) std::fprintf(stderr, "kestrel-pack: warning: %s\n", warning.c_str());
    std::printf("%s: %zu bytes: stub %llu, marker %s, payload %llu", request.outputPath.c_str(), package.file.size(),
                static_cast<unsigned long long>(package.stubBytes), package.marker.c_str(),
                static_cast<unsigned long long>(package.headBytes));
    if (report.packedFiles > 0) std::printf(" (%zu files)", report.packedFiles);
    std::printf("\n");
    for (size_t n = 0; n < report.partPaths.size(); ++n) {
        std::printf("%s: %zu bytes\n", report.partPaths[n].c_str(), package.parts[n].size());
    }
    return 0;
}

int RunVerify(const std::string& path) {
    VerifyReport report;
    std::string error;
    if (!VerifyPackageFile(path, &report, &error)) {
        std::fprintf(stderr, "kestrel-pack: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %s\n", path.c_str(), report.verdict.c_str());
    if (report.extracted) {
        std::printf("  the payload cabinet extracts: %zu files, %llu bytes\n", report.cabinetFiles,
                    static_cast<unsigned long long>(report.cabinetFileBytes));
    }
    for (const std::string& problem : report.problems) std::printf("  problem: %s\n", problem.c_str());
    for (const std::string& note : report.notes) std::printf("  note: %s\n", note.c_str());
    std::printf("%s: %s\n", path.c_str(), report.Passed() ? "ok" : "FAILED");
    return report.Passed() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    PackCommand command;
    std::string error;
    if (!ParsePackCommandLine(args, &command, &error)) {
        std::fprintf(stderr, "kestrel-pack: %s\n", error.c_str());
        return 1;
    }
    switch (command.kind) {
    case PackCommandKind::Help:
        std::fputs(PackUsageText(), stdout);
        return 0;
    case PackCommandKind::Version:
        std::printf("kestrel-pack %s\n", KESTREL_VERSION);
        return 0;
    case PackCommandKind::Build:
        return RunBuild(command.build);
    case PackCommandKind::Verify:
        return RunVerify(command.verifyPath);
    }
    return 1;
}
