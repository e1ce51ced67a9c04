// Magnitudes of what is being played, for the spectrum display: a Hann-windowed 512-point real
// FFT (KISS FFT) of the last played samples, giving 256 magnitudes from the lowest frequency up.
// A full-scale sine gives about 128 at its bin; silence gives 0.
// Threading: one thread at a time (the session's clock thread).
#pragma once

#include <vector>

struct kiss_fftr_state;

namespace lxengine {

class SpectrumAnalyzer {
public:
    static constexpr int kFftSize = 512;
    static constexpr int kBins = kFftSize / 2;

    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // `samples`: kFftSize mono samples in -1..1; `out`: kBins magnitudes.
    void Compute(const float* samples, float* out);

private:
    kiss_fftr_state* config_;
    std::vector<float> window_;
    std::vector<float> input_;
    std::vector<float> spectrum_;  // kBins + 1 complex values, interleaved
};

}  // namespace lxengine
