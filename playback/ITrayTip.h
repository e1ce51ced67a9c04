// What the play-state logic asks of the tray icon: its tooltip, and whether it is shown at all
// (the connection notice points at it only then).
// Threading: main window's thread only. The default methods do nothing.
#pragma once

#include <string>

class ITrayTip {
public:
    virtual ~ITrayTip() = default;
    virtual void SetTrayTip(const std::u16string& /*text*/) {}
    virtual bool IsTrayEnabled() const { return false; }
};
