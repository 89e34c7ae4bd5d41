// pack_command_line.h: the command line of kestrel-pack, parsed into a request.
#pragma once

#include <string>
#include <vector>

#include "package_build.h"

enum class PackCommandKind { Help, Version, Build, Verify };

struct PackCommand {
    PackCommandKind kind = PackCommandKind::Help;
    BuildRequest build;
    std::string verifyPath;
};

// Parses the arguments after the program name. False with a message that
// names the offending option for anything malformed or missing.
bool ParsePackCommandLine(const std::vector<std::string>& args, PackCommand* command, std::string* error);

// The text of --help.
const char* PackUsageText();
