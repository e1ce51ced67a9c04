// What the play-state logic asks of the main window's own play controls: the play button's look
// and the position slider of local files.
// Threading: main window's thread only. The default methods do nothing.
#pragma once

class IPlayControls {
public:
    virtual ~IPlayControls() = default;
    // true: the playing look ("暂停/停止"), false: the idle look ("播放").
    virtual void SetPlayButtonPlaying(bool /*playing*/) {}
    virtual void SetPositionSlider(int /*percent*/) {}
    virtual void EnablePositionSlider(bool /*enable*/) {}
    virtual void ShowPositionSlider(bool /*show*/) {}
};
