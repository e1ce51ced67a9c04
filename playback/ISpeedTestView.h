// What the play-state logic asks of the speed test's label ("CurTestRadioLabel") and stop button
// ("StopTestBtn").
// Threading: main window's thread only. The default methods do nothing.
#pragma once

#include <string>

class ISpeedTestView {
public:
    virtual ~ISpeedTestView() = default;
    virtual void ShowSpeedTest(bool /*show*/) {}
    virtual void SetSpeedTestText(const std::u16string& /*text*/) {}
};
