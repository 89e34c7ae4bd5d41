// kcab_main.cpp: the command line of kcab, a tool to list, extract, test and
// create cabinet files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kcab.h"

#ifndef KESTREL_VERSION
#define KESTREL_VERSION "unknown"
#endif

namespace {

const char usageText[] =
    "usage: kcab list CAB\n"
    "       kcab extract CAB DIR\n"
    "       kcab test CAB\n"
    "       kcab create [-m none|mszip] [--set-size BYTES] -o OUT.cab FILE|DIR...\n"
    "       kcab --help | --version\n";

const char helpText[] =
    "\n"
    "  list     print every file entry of CAB: size, date and time, attributes, name\n"
    "  extract  write every file that CAB delivers into DIR (folders are created;\n"
    "           files continued into later cabinets of a set are finished from the\n"
    "           cabinets beside CAB; files that begin in a later cabinet are\n"
    "           extracted from that cabinet)\n"
    "  test     decode everything in CAB and check it, writing nothing\n"
    "  create   write OUT.cab from the files and folders given (folders recursively,\n"
    "           names relative to the folder); with --set-size, a set of cabinets of\n"
    "           at most BYTES each: OUT.cab, OUT2.cab, ...\n"
    "\n"
    "  -m METHOD  compression of create: none, mszip (the default) or quantum[:BITS]\n"
    "             (Quantum with a window of 2^BITS bytes, BITS 10 to 21, default 21)\n"
    "\n"
    "Exit status: 0 success; 1 some files refused or not written, or create failed;\n"
    "2 usage error; 10 + code when the decoder fails (e.g. 14 CabErrCorrupt).\n";

int UsageError(const char* message) {
    std::fprintf(stderr, "kcab: %s\n%s", message, usageText);
    return kcabExitUsage;
}

bool ParseSize(const std::string& text, unsigned long long* value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12) {
        return false;
    }
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return *value > 0;
}

int ParseCreate(const std::vector<std::string>& args) {
    CreateOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= args.size()) return false;
            *out = args[++i];
            return true;
        };
        std::string text;
        if (arg == "-m" || arg == "--method") {
            if (!value(&options.method)) return UsageError("-m needs a method");
        } else if (arg.rfind("--method=", 0) == 0) {
            options.method = arg.substr(9);
        } else if (arg == "--set-size" || arg.rfind("--set-size=", 0) == 0) {
            if (arg == "--set-size") {
                if (!value(&text)) return UsageError("--set-size needs a number of bytes");
            } else {
                text = arg.substr(11);
            }
            if (!ParseSize(text, &options.setSizeBytes)) {
                return UsageError("--set-size needs a positive number of bytes");
            }
        } else if (arg == "-o" || arg == "--output") {
            if (!value(&options.outputPath)) return UsageError("-o needs a file name");
        } else if (arg == "--") {
            options.inputs.insert(options.inputs.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError(("unknown option " + arg).c_str());
        } else {
            options.inputs.push_back(arg);
        }
    }
    if (options.outputPath.empty()) return UsageError("create needs -o OUT.cab");
    if (options.outputPath.back() == '/') return UsageError("-o needs a file name, not a folder");
    if (options.inputs.empty()) return UsageError("create needs at least one file or folder");
    return RunCreate(options);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return UsageError("no command given");
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::printf("%s%s", usageText, helpText);
        return kcabExitOk;
    }
    if (command == "--version") {
        std::printf("kcab %s\n", KESTREL_VERSION);
        return kcabExitOk;
    }
    if (command == "list" || command == "test") {
        if (args.size() != 1) return UsageError((command + " needs exactly one cabinet").c_str());
        return RunDecode(command == "list" ? DecodeMode::List : DecodeMode::Test, args[0], std::string());
    }
    if (command == "extract") {
        if (args.size() != 2) return UsageError("extract needs a cabinet and a target folder");
        return RunDecode(DecodeMode::Extract, args[0], args[1]);
    }
    if (command == "create") {
        return ParseCreate(args);
    }
    return UsageError(("unknown command " + command).c_str());
}
