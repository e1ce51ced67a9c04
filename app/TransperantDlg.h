// The hidden owner window of the main window (title "LoxanRadio"): it keeps the main window off
// the task bar's own entry and gives the process one more top-level window that is never shown.
// Threading: user-interface thread only.
#pragma once

#include "platform/Message.h"

class CTransperantDlg : public IWindowProc {
public:
    CTransperantDlg() = default;
    ~CTransperantDlg();
    CTransperantDlg(const CTransperantDlg&) = delete;
    CTransperantDlg& operator=(const CTransperantDlg&) = delete;

    // Creates the hidden window; false when it cannot be made.
    bool Create();
    HWND hwnd() const { return hwnd_; }

    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND hwnd_ = nullptr;
};
