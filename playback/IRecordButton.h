// What the play-state logic asks of the record button: enabled or not, pressed look or not.
// Threading: main window's thread only. The default methods do nothing.
#pragma once

class IRecordButton {
public:
    virtual ~IRecordButton() = default;
    virtual void EnableRecordButton(bool /*enable*/) {}
    // true while recording ("停止录音"), false otherwise ("开始录音").
    virtual void SetRecordPressed(bool /*pressed*/) {}
};
