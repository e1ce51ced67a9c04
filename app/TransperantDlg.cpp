#include "app/TransperantDlg.h"

namespace {
constexpr UINT kIdOk = 1;
constexpr UINT kIdCancel = 2;
}  // namespace

CTransperantDlg::~CTransperantDlg() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool CTransperantDlg::Create() {
    hwnd_ = CreateMessageWindow(this, u"LoxanRadio");
    return hwnd_ != nullptr;
}

LRESULT CTransperantDlg::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_COMMAND && (LoWord(wParam) == kIdOk || LoWord(wParam) == kIdCancel)) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) hwnd_ = nullptr;
    return 0;
}
