// The main window "洛新收音机". It routes every action of the player; until the skinned window is
// built on it, it does the non-visual parts of its life: initialisation, late initialisation
// (message 5056), the restore request of a second copy (6025), the files handed over through the
// shared block (5032) and the orderly exit (WM_COMMAND IDCANCEL, menu "退出"; also WM_CLOSE).
// Threading: user-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/GetAllRadioResourceHandler.h"
#include "net/IGetRadioResourceVersion.h"
#include "net/ListenerCountPoster.h"
#include "platform/Message.h"
#include "storage/RadioManagement.h"

inline constexpr char16_t kMainWindowTitle[] = u"洛新收音机";

class CMainDlg : public IWindowProc, public IGetRadioResourceVersion {
public:
    static constexpr UINT kMsgRestore = 6025;        // wParam 0, lParam 24 from a second copy
    static constexpr UINT kMsgCommandLine = 5032;    // files waiting in the shared block
    static constexpr UINT kMsgLateInit = 5056;       // posted to itself at the end of initialisation
    static constexpr UINT kMsgRadioResourceReady = WM_RADIO_RESOURCE_READY;  // 5038: downloaded package unpacked
    static constexpr UINT kMsgRequestListenerCounts = 5044;  // wParam: the catalogue node
    static constexpr UINT kMsgListenerCounts = WM_LISTENER_COUNTS;  // 5046: wParam results (ours to free)
    static constexpr LPARAM kRestoreRequest = 24;
    static constexpr UINT kIdOk = 1;
    static constexpr UINT kIdCancel = 2;

    // One message as the window understood it.
    struct Received {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        std::vector<std::u16string> paths;  // 5032: the pieces read from the shared block
    };

    explicit CMainDlg(std::u16string program_path);
    ~CMainDlg();
    CMainDlg(const CMainDlg&) = delete;
    CMainDlg& operator=(const CMainDlg&) = delete;

    // Creates the window (owned by `owner`) and runs its initialisation; false on failure.
    bool Create(HWND owner);
    HWND hwnd() const { return hwnd_; }
    const std::u16string& program_path() const { return program_path_; }
    bool late_initialised() const { return late_initialised_; }
    // Every 6025, 5032 and foreground request received, in order.
    const std::vector<Received>& received() const { return received_; }

    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The package query service has a newer package: download it.
    void OnNewRadioResourceVersion(const RadioResourceVersionInfo& info) override;
    // The catalogue, as the catalogue tree will show it.
    CRadioManagement& radio_store() { return radio_store_; }

private:
    // WM_INITDIALOG of the dialog: loads the configuration, builds the window's parts, posts 5056.
    void OnInitDialog();
    // 5056: the work that may wait until the window is up (engine, package update, last play).
    void OnLateInit();
    void OnRestore(WPARAM wParam, LPARAM lParam);
    void OnCommandLine();
    // 5038: imports the unpacked package into the catalogue and reloads it.
    void OnRadioResourceReady();
    // 5046: the listener counts of one group (applied to the trees once they exist).
    void OnListenerCounts(WPARAM wParam, LPARAM lParam);
    // IDCANCEL: saves the configuration, destroys the window and quits with code 2.
    void OnExit();

    const std::u16string program_path_;
    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    bool late_initialised_ = false;
    std::vector<Received> received_;
    CRadioManagement radio_store_;
    std::unique_ptr<ListenerCountPoster> listener_poster_;
};
