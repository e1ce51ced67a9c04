// The command-line entries that do their work without the player's windows (and without asking
// a running copy): "--version", "--help", and one line per tool in HeadlessCommands.cpp.
// Threading: run on the main thread by main() before anything else starts.
#pragma once

#include <span>
#include <string>
#include <vector>

struct HeadlessCommand {
    const char* option;     // "--import-package"
    const char* arguments;  // shown by --help after the option ("FILE"), "" when none
    const char* help;       // one line for --help
    // The arguments after the option; returns the process exit code. Prints to stdout/stderr.
    int (*run)(const std::vector<std::u16string>& args);
    // When true, start-up first makes sure the user data folder exists and sets the database path.
    bool uses_user_data;
};

// Every entry, in the order --help lists them.
std::span<const HeadlessCommand> HeadlessCommands();
// The entry for `option`, or nullptr.
const HeadlessCommand* FindHeadlessCommand(std::u16string_view option);
