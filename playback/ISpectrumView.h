// What the play-state logic asks of the spectrum analyser: draw the engine's values, or clear.
// Threading: main window's thread only. The default methods do nothing.
#pragma once

class ISpectrumView {
public:
    virtual ~ISpectrumView() = default;
    // `values` stay valid only during the call.
    virtual void DrawSpectrum(const float* /*values*/, int /*count*/) {}
    virtual void ClearSpectrum() {}
};
