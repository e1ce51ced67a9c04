#include "app/Application.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "app/ArgumentHandOff.h"
#include "app/MainDlg.h"
#include "app/SignalWatcher.h"
#include "app/TransperantDlg.h"
#include "app/WorkingSetTrimmer.h"
#include "platform/CrashHandler.h"
#include "platform/Message.h"
#include "platform/Paths.h"
#include "platform/SharedMemory.h"
#include "platform/SingleInstance.h"
#include "platform/Text.h"
#include "platform/Trace.h"
#include "platform/Version.h"
#include "net/HttpClient.h"
#include "storage/ActionCounterStore.h"
#include "storage/Config.h"
#include "storage/DatabasePath.h"
#include "storage/SqlWriteQueue.h"

namespace {

constexpr char16_t kSingleInstanceName[] = u"LoxanRadioSingleEven";
constexpr UINT kMsgRestore = CMainDlg::kMsgRestore;
constexpr UINT kMsgCommandLine = CMainDlg::kMsgCommandLine;

// The process entry is a command-line front end too: what the user must know goes to stderr.
void TellUser(const std::string& text) { std::fprintf(stderr, "loxanradio: %s\n", text.c_str()); }

}  // namespace

Application::Application(std::vector<std::u16string> args, Gui gui) : args_(std::move(args)), gui_(std::move(gui)) {}

bool Application::PrepareUserData() {
    if (AppDataBase().empty()) {
        TellUser("cannot find a folder for the user's data: set APPDATA, XDG_DATA_HOME or HOME");
        return false;
    }
    const std::u16string folder = AppDataPath();
    if (!EnsureDirectory(folder)) {
        TellUser("cannot create the data folder " + Utf16ToUtf8(folder) + "; settings will not be kept");
    }
    if (DatabasePath().empty()) SetDatabasePath(AppDataPath(u"LXRadio.db"));
    return true;
}

int Application::Main() {
    const SingleInstance instance(kSingleInstanceName);
    if (instance.AlreadyExisted()) return HandOverToFirstInstance();
    if (AppDataBase().empty()) {
        PrepareUserData();
        return 1;
    }
    // Installed before any window exists, so an early SIGTERM waits until the window can take it.
    SignalWatcher watcher;
    const WorkingSetTrimmer trimmer;
    const int code = Run(watcher);
    TearDown();
    if (gui_.stop) gui_.stop();
    // The loop's code says how the window closed (1 OK, 2 exit command); both are a normal end.
    return code < 0 ? 1 : 0;
}

int Application::HandOverToFirstInstance() {
    const HWND window = FindWindow(kMainWindowTitle);
    if (!window) {
        LX_TRACE("a copy holds the single-instance lock but shows no window");
        return 0;
    }
    PostMessage(window, kMsgRestore, 0, CMainDlg::kRestoreRequest);
    SetForegroundWindow(window);
    const std::u16string text = BuildHandOffString(args_);
    if (!IsWorthHandingOver(text)) return 0;
    if (text.size() > kMaxHandOffLength) {
        TellUser("the file names are too long to hand over to the running player (at most " +
                 std::to_string(kMaxHandOffLength) + " characters)");
        return 0;
    }
    SharedMemory block;
    if (block.Open(kMappingName, kMappingBytes) && WriteHandOff(block.data(), block.size(), text)) {
        block.Close();
        PostMessage(window, kMsgCommandLine, 0, 0);
    }
    return 0;
}

int Application::Run(SignalWatcher& watcher) {
    if (gui_.start && !gui_.start()) return -1;
    CrashHandler::Install(AppDataPath());
    auto loop = std::make_unique<MessageLoop>();

    const std::u16string program_path = ProgramFilePath();
    std::u16string version;
    if (GetFileVersionString(program_path, &version)) CrashHandler::SetDumpName(version + u".dmp");

    // Made with its defaults only; the main window loads it.
    CConfig::Instance().programFilePath = program_path;
    PrepareUserData();

    auto owner = std::make_unique<CTransperantDlg>();
    owner->Create();
    auto main_dlg = std::make_unique<CMainDlg>(program_path);
    if (!main_dlg->Create(owner->hwnd())) {
        TellUser("cannot create the main window");
        return -1;
    }
    if (!CConfig::Instance().LoadSucceeded()) {
        TellUser("cannot read the settings from " + Utf16ToUtf8(DatabasePath()) + "; running with defaults");
    }

    SharedMemory mapping;
    if (!mapping.Create(kMappingName, kMappingBytes)) LX_TRACE("cannot create the command-line block");
    const std::u16string text = BuildHandOffString(args_);
    if (IsWorthHandingOver(text) && mapping.IsOpen() && WriteHandOff(mapping.data(), mapping.size(), text)) {
        PostMessage(main_dlg->hwnd(), kMsgCommandLine, 0, 0);
    } else if (text.size() > kMaxHandOffLength) {
        TellUser("the file names are too long to open at start (at most " + std::to_string(kMaxHandOffLength) +
                 " characters)");
    }

    watcher.Watch(main_dlg->hwnd());
    LX_TRACE("running");
    const int code = loop->Run();
    LX_TRACE(Format(u"message loop ended with %d", code));

    mapping.Close();
    main_dlg.reset();
    owner.reset();
    loop.reset();
    return code;
}

void Application::TearDown() {
    // The configuration was saved when the main window closed; it is only deleted here.
    CConfig::DestroyInstance();
    HttpClient::DestroyInstance();
    // Queued database writes are committed here, on the writer thread's way out.
    SqlWriteQueue::DestroyInstance();
    ActionCounterStore::DestroyInstance();
    LX_TRACE("torn down");
}
