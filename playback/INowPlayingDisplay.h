// What the play-state logic asks of the now-playing display: status, title, LED clock, bit rate,
// buffer percent, the play/pause/recording pictures, the volume slider and the mute button.
// Threading: called on the main window's thread only. The default methods do nothing, so a view
// that is not there yet (or a headless run) can use the base class as it is.
#pragma once

#include <cstdint>
#include <string>

class INowPlayingDisplay {
public:
    virtual ~INowPlayingDisplay() = default;
    virtual void SetStatus(const std::u16string& /*text*/) {}
    virtual void SetTitle(const std::u16string& /*text*/) {}
    // Seconds shown by the LED clock.
    virtual void SetLedTime(int64_t /*seconds*/) {}
    // "" or "%dKbps".
    virtual void SetBitRate(const std::u16string& /*text*/) {}
    // "%d%%" while buffering.
    virtual void SetPercent(const std::u16string& /*text*/) {}
    virtual void ShowPlayPicture(bool /*show*/) {}
    virtual void ShowPausePicture(bool /*show*/) {}
    virtual void ShowRecordPicture(bool /*show*/) {}
    // Moves the volume slider (0..100).
    virtual void SetVolumeSlider(int /*volume*/) {}
    virtual void SetMuteLook(bool /*muted*/) {}
    virtual void Redraw() {}
};
