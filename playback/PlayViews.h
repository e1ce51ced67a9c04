// The views the play-state logic drives, one interface per kind of view. A member left at its
// default is a view that does nothing (headless runs, views that do not exist yet).
// Threading: main window's thread only.
#pragma once

#include "playback/IFilePanel.h"
#include "playback/INowPlayingDisplay.h"
#include "playback/IPlayControls.h"
#include "playback/IRecordButton.h"
#include "playback/ISpectrumView.h"
#include "playback/ISpeedTestView.h"
#include "playback/IStationTrees.h"
#include "playback/ITipWindows.h"
#include "playback/ITrayTip.h"

struct PlayViews {
    INowPlayingDisplay* display = nullptr;
    ISpectrumView* spectrum = nullptr;
    IPlayControls* controls = nullptr;
    IRecordButton* record = nullptr;
    ITrayTip* tray = nullptr;
    ITipWindows* tips = nullptr;
    IStationTrees* trees = nullptr;
    IFilePanel* files = nullptr;
    ISpeedTestView* speedTest = nullptr;
};
