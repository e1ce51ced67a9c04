// FFT magnitudes for the spectrum display (see the header).
#include "SpectrumAnalyzer.h"

#include <kiss_fftr.h>

#include <cmath>

namespace lxengine {

SpectrumAnalyzer::SpectrumAnalyzer()
    : config_(kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr)),
      window_(kFftSize),
      input_(kFftSize),
      spectrum_(2 * (kBins + 1)) {
    for (int i = 0; i < kFftSize; ++i) {
        window_[i] = 0.5f - 0.5f * std::cos(2.0f * static_cast<float>(M_PI) * static_cast<float>(i) / (kFftSize - 1));
    }
}

SpectrumAnalyzer::~SpectrumAnalyzer() { kiss_fftr_free(config_); }

void SpectrumAnalyzer::Compute(const float* samples, float* out) {
    for (int i = 0; i < kFftSize; ++i) input_[i] = samples[i] * window_[i];
    auto* bins = reinterpret_cast<kiss_fft_cpx*>(spectrum_.data());
    kiss_fftr(config_, input_.data(), bins);
    for (int k = 0; k < kBins; ++k) out[k] = std::hypot(bins[k + 1].r, bins[k + 1].i);
}

}  // namespace lxengine
