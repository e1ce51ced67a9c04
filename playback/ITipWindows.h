// What the play-state logic asks of the two tip windows: "TipWnd" (recording notices, default
// place) and "ConnectTipWnd" (the connection notice near the tray icon).
// Threading: main window's thread only. The default methods do nothing.
#pragma once

#include <string>

class ITipWindows {
public:
    virtual ~ITipWindows() = default;
    // `seconds` -1: stays until dismissed.
    virtual void ShowTip(const std::u16string& /*text*/, int /*seconds*/, const std::u16string& /*title*/) {}
    // Placed 4 right and 6 down from the tray icon's corner, then 120 left and 79 up.
    virtual void ShowConnectTip(const std::u16string& /*text*/, int /*seconds*/) {}
};
