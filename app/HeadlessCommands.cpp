// The table of headless entries. To add one: declare its function below (it lives in its own
// file) and add one line to kCommands.
#include "app/HeadlessCommand.h"

#include <cstdio>
#include <cstring>

#include "platform/Text.h"
#include "platform/Version.h"

int RunCheckSkin(const std::vector<std::u16string>& args);  // CheckSkinCommand.cpp
int RunPlay(const std::vector<std::u16string>& args);       // PlayCommand.cpp
int RunImportPackage(const std::vector<std::u16string>& args);   // CatalogueCommands.cpp
int RunPrintCatalogue(const std::vector<std::u16string>& args);  // CatalogueCommands.cpp

namespace {

int PrintHelp(const std::vector<std::u16string>& args);
int PrintVersion(const std::vector<std::u16string>& args);

constexpr HeadlessCommand kCommands[] = {
    {"--help", "", "list the options and exit", &PrintHelp, false},
    {"--version", "", "print the version and exit", &PrintVersion, false},
    {"--check-skin", "PATH", "describe a skin package as JSON (exit 0 loaded, 1 not, 2 unreadable)",
     &RunCheckSkin, false},
    {"--play", "ADDRESS", "play a stream or file in the terminal, printing the status texts", &RunPlay, false},
    {"--import-package", "PATH", "replace the catalogue with a resource package (zip or folder)", &RunImportPackage,
     true},
    {"--print-catalogue", "", "print the station catalogue as JSON", &RunPrintCatalogue, true},
};

int PrintVersion(const std::vector<std::u16string>&) {
    std::printf("loxanradio %s\n", Utf16ToUtf8(ProgramVersion()).c_str());
    return 0;
}

int PrintHelp(const std::vector<std::u16string>&) {
    std::printf(
        "Usage: loxanradio [FILE...]\n"
        "       loxanradio OPTION [ARGUMENTS]\n"
        "\n"
        "Without an option, starts the player with the audio FILEs given; when the player runs\n"
        "already, brings it to the front and hands the FILEs over to it. Use \"--\" before file\n"
        "names that begin with \"--\".\n"
        "\n"
        "Options:\n");
    for (const HeadlessCommand& c : kCommands) {
        std::string left = c.option;
        if (*c.arguments) left += std::string(" ") + c.arguments;
        std::printf("  %-28s %s\n", left.c_str(), c.help);
    }
    std::printf(
        "\n"
        "Data: $APPDATA/LoxanRadio (else $XDG_DATA_HOME/LoxanRadio, else ~/.local/share/LoxanRadio).\n"
        "Set LOXANRADIO_TRACE=1 to see diagnostics on stderr.\n");
    return 0;
}

}  // namespace

std::span<const HeadlessCommand> HeadlessCommands() { return kCommands; }

const HeadlessCommand* FindHeadlessCommand(std::u16string_view option) {
    const std::string o = Utf16ToUtf8(option);
    for (const HeadlessCommand& c : kCommands) {
        if (o == c.option) return &c;
    }
    return nullptr;
}
