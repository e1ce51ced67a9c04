// The program's entry: headless command-line entries first (they start no window and do not
// contact a running copy), then the player itself, which alone starts the GUI toolkit.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/HeadlessCommand.h"
#include "platform/Message.h"
#include "platform/Text.h"
#include "platform/gui/GuiApplication.h"

int main(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf8ToUtf16(argv[i]));

    if (!args.empty() && args[0].rfind(u"--", 0) == 0) {
        if (args[0] == u"--") {
            args.erase(args.begin());
        } else if (const HeadlessCommand* command = FindHeadlessCommand(args[0])) {
            if (command->uses_user_data && !Application::PrepareUserData()) return 1;
            return command->run(std::vector<std::u16string>(args.begin() + 1, args.end()));
        } else {
            std::fprintf(stderr, "loxanradio: unknown option %s (see loxanradio --help)\n", argv[1]);
            return 2;
        }
    }

    // Qt sees only the program name: the file arguments are the player's.
    int qt_argc = 1;
    std::unique_ptr<QApplication> qt;
    Application::Gui gui;
    gui.start = [&] {
        // Without a display Qt would abort; say what is missing instead.
        const char* platform = std::getenv("QT_QPA_PLATFORM");
        const char* x11 = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if (!(platform && *platform) && !(x11 && *x11) && !(wayland && *wayland)) {
            std::fprintf(stderr, "loxanradio: no display (DISPLAY or WAYLAND_DISPLAY is not set); "
                                 "the player needs a desktop session\n");
            return false;
        }
        qt = std::make_unique<QApplication>(qt_argc, argv);
        InstallQtPump();
        return true;
    };
    gui.stop = [&] {
        SetThreadPump(nullptr);
        qt.reset();
    };
    return Application(std::move(args), std::move(gui)).Main();
}
