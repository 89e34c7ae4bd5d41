// pack_command_line.cpp: option parsing for build and verify.
#include "pack_command_line.h"

#include <set>

#include "package_entries.h"
#include "windows_1252.h"

namespace {

const char usageText[] =
    "usage: kestrel-pack build --stub KESTREL.EXE --output PACKAGE.EXE PAYLOAD [SETTINGS]\n"
    "       kestrel-pack verify PACKAGE.EXE\n"
    "       kestrel-pack --help | --version\n"
    "\n"
    "build writes the stub with its string table replaced, the integrity marker\n"
    "and the payload cabinet; verify checks a package as kestrel would.\n"
    "\n"
    "payload (one of):\n"
    "  --cabinet FILE          a ready cabinet\n"
    "  --files DIR             a cabinet of every file below DIR, in name order\n"
    "  --compression METHOD    with --files: none, mszip (default) or quantum[:BITS]\n"
    "  --file-time STAMP       with --files: store this date for every file\n"
    "                          (\"YYYY-MM-DD\" or \"YYYY-MM-DD HH:MM:SS\"),\n"
    "                          instead of each file's modification time\n"
    "settings:\n"
    "  --program NAME          a program to start after extraction (repeatable)\n"
    "  --args TEXT             argument text of the program just named\n"
    "  --no-cleanup            keep the work folder (460 = 0)\n"
    "  --no-progress           run without the progress dialog (462 = 0)\n"
    "  --in-place              extract beside the package (463 = 1)\n"
    "  --ask-folder            let the user pick the folder (471 = 1)\n"
    "  --browse-title TEXT     instruction line of the folder browser (115)\n"
    "  --additional A,B        cabinets beside the package that must be present (464)\n"
    "  --optional A,B          cabinets beside the package used when present (470)\n"
    "  --split-parts N         cut the payload's tail into N part files (1 to 999)\n"
    "  --head-size BYTES       payload bytes kept in the package (default: an\n"
    "                          equal share)\n"
    "  --part-base NAME        base name of the part files (default: the\n"
    "                          output's name without extension)\n"
    "for tests and repairs:\n"
    "  --string ID=TEXT        store TEXT as entry ID, over any computed value\n"
    "                          (repeatable; an empty TEXT removes the entry)\n"
    "  --marker TEXT           store this 15-character marker as it is\n"
    "  --check-off             store the marker with the check turned off (CRC0)\n"
    "  --utf8                  option texts are UTF-8; store them as Windows-1252\n"
    "                          (without it they are taken as Windows-1252 bytes)\n"
    "\n"
    "Exit status: 0 on success (verify: the package passes), 1 otherwise.\n";

bool ParseCount(const std::string& text, uint64_t limit, uint64_t* value) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<uint64_t>(c - '0');
    }
    if (result > limit) return false;
    *value = result;
    return true;
}

class ArgumentWalker {
public:
    explicit ArgumentWalker(const std::vector<std::string>& args) : args_(args) {}
    bool Done() const { return index_ >= args_.size(); }
    const std::string& Next() { return args_[index_++]; }
    // The value after option; false with a message when there is none.
    bool Value(const std::string& option, std::string* value, std::string* error) {
        if (Done()) {
            *error = option + " needs a value";
            return false;
        }
        *value = Next();
        return true;
    }

private:
    const std::vector<std::string>& args_;
    size_t index_ = 0;
};

bool ParseBuild(ArgumentWalker* walker, BuildRequest* request, std::string* error) {
    PackageSettings& settings = request->settings;
    bool utf8 = false, sawCompression = false, sawFileTime = false, argsAllowed = false;
    std::set<std::string> seen;
    std::vector<std::string*> texts;  // option texts subject to --utf8
    std::vector<std::pair<uint16_t, std::string>> overrides;
    while (!walker->Done()) {
        const std::string option = walker->Next();
        const bool repeatable = option == "--program" || option == "--args" || option == "--string";
        if (!repeatable && !seen.insert(option).second) {
            *error = option + " is given twice";
            return false;
        }
        static const std::set<std::string> switches = {"--no-cleanup", "--no-progress", "--in-place",
                                                       "--ask-folder", "--check-off",   "--utf8"};
        static const std::set<std::string> valued = {
            "--stub",       "--output",      "--cabinet",    "--files",      "--compression", "--file-time",
            "--program",    "--args",        "--browse-title", "--additional", "--optional",  "--split-parts",
            "--head-size",  "--part-base",   "--string",     "--marker"};
        if (switches.count(option) == 0 && valued.count(option) == 0) {
            *error = "unknown option \"" + option + "\" (see kestrel-pack --help)";
            return false;
        }
        std::string value;
        if (valued.count(option) != 0 && !walker->Value(option, &value, error)) return false;
        const bool wasArgsAllowed = argsAllowed;
        argsAllowed = false;
        if (option == "--stub") {
            request->stubPath = value;
        } else if (option == "--output") {
            request->outputPath = value;
        } else if (option == "--cabinet") {
            request->cabinetPath = value;
        } else if (option == "--files") {
            request->folder.folder = value;
        } else if (option == "--compression") {
            request->folder.method = value;
            sawCompression = true;
        } else if (option == "--file-time") {
            if (!ParseDosStamp(value, &request->folder.stamp, error)) return false;
            request->folder.fixedStamp = true;
            sawFileTime = true;
        } else if (option == "--program") {
            settings.programs.push_back(PackageProgram{value, ""});
            argsAllowed = true;
        } else if (option == "--args") {
            if (!wasArgsAllowed) {
                *error = "--args belongs right after the --program it gives arguments to";
                return false;
            }
            settings.programs.back().arguments = value;
        } else if (option == "--no-cleanup") {
            settings.cleanupWorkDir = false;
        } else if (option == "--no-progress") {
            settings.showProgress = false;
        } else if (option == "--in-place") {
            settings.extractInPlace = true;
        } else if (option == "--ask-folder") {
            settings.askForFolder = true;
        } else if (option == "--browse-title") {
            settings.hasBrowseTitle = true;
            settings.browseTitle = value;
        } else if (option == "--additional") {
            settings.additionalCabinets = value;
        } else if (option == "--optional") {
            settings.optionalCabinets = value;
        } else if (option == "--split-parts") {
            uint64_t parts = 0;
            if (!ParseCount(value, 999, &parts) || parts == 0) {
                *error = "--split-parts needs a number from 1 to 999, not \"" + value + "\"";
                return false;
            }
            settings.splitParts = static_cast<uint32_t>(parts);
        } else if (option == "--head-size") {
            if (!ParseCount(value, 0xFFFFFFFFull, &settings.headBytes)) {
                *error = "--head-size needs a byte count, not \"" + value + "\"";
                return false;
            }
            settings.hasHeadBytes = true;
        } else if (option == "--part-base") {
            if (value.empty() || value.find_first_of("/\\") != std::string::npos) {
                *error = "--part-base needs a file name without folder, not \"" + value + "\"";
                return false;
            }
            settings.partBaseName = value;
        } else if (option == "--string") {
            const size_t equals = value.find('=');
            uint64_t id = 0;
            if (equals == std::string::npos || !ParseCount(value.substr(0, equals), 65535, &id)) {
                *error = "--string needs ID=TEXT with an id from 0 to 65535, not \"" + value + "\"";
                return false;
            }
            overrides.emplace_back(static_cast<uint16_t>(id), value.substr(equals + 1));
        } else if (option == "--marker") {
            settings.hasMarker = true;
            settings.marker = value;
        } else if (option == "--check-off") {
            settings.checkOff = true;
        } else if (option == "--utf8") {
            utf8 = true;
        } else {
            *error = "unknown option \"" + option + "\" (see kestrel-pack --help)";
            return false;
        }
    }
    if (request->stubPath.empty() || request->outputPath.empty()) {
        *error = "build needs --stub and --output";
        return false;
    }
    if (request->cabinetPath.empty() == request->folder.folder.empty()) {
        *error = "build needs exactly one payload: --cabinet FILE or --files DIR";
        return false;
    }
    if (!request->cabinetPath.empty() && (sawCompression || sawFileTime)) {
        *error = "--compression and --file-time apply to --files only; a ready cabinet is packed as it is";
        return false;
    }
    if ((settings.hasHeadBytes || !settings.partBaseName.empty()) && settings.splitParts == 0) {
        *error = "--head-size and --part-base need --split-parts";
        return false;
    }
    if (settings.hasMarker && settings.checkOff) {
        *error = "--marker and --check-off cannot be combined; put the state character into the marker";
        return false;
    }
    if (utf8) {
        for (PackageProgram& program : settings.programs) {
            texts.push_back(&program.file);
            texts.push_back(&program.arguments);
        }
        texts.push_back(&settings.browseTitle);
        texts.push_back(&settings.additionalCabinets);
        texts.push_back(&settings.optionalCabinets);
        texts.push_back(&settings.partBaseName);
        texts.push_back(&settings.marker);
        for (auto& override : overrides) texts.push_back(&override.second);
        for (std::string* text : texts) {
            std::string converted;
            if (!Windows1252FromUtf8(*text, &converted, error)) return false;
            *text = converted;
        }
    }
    for (const auto& [id, text] : overrides) settings.overrides[id] = text;
    return true;
}

}  // namespace

bool ParsePackCommandLine(const std::vector<std::string>& args, PackCommand* command, std::string* error) {
    *command = PackCommand();
    if (args.empty()) {
        *error = "no command given (see kestrel-pack --help)";
        return false;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        command->kind = PackCommandKind::Help;
        return true;
    }
    if (first == "--version") {
        command->kind = PackCommandKind::Version;
        return true;
    }
    if (first == "verify") {
        if (args.size() != 2 || args[1].empty() || args[1][0] == '-') {
            *error = "verify takes exactly one package file";
            return false;
        }
        command->kind = PackCommandKind::Verify;
        command->verifyPath = args[1];
        return true;
    }
    if (first == "build") {
        command->kind = PackCommandKind::Build;
        std::vector<std::string> rest(args.begin() + 1, args.end());
        ArgumentWalker walker(rest);
        return ParseBuild(&walker, &command->build, error);
    }
    *error = "unknown command \"" + first + "\"; use build or verify (see kestrel-pack --help)";
    return false;
}

const char* PackUsageText() { return usageText; }
