#include "directui/SkinColour.h"

#include <algorithm>
#include <cmath>

#include "platform/gfx/Bitmap.h"

namespace {

constexpr double kEpsilon = 0.00001;

double HueToChannel(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (6 * t < 1) return p + (q - p) * 6 * t;
    if (2 * t < 1) return q;
    if (3 * t < 2) return p + (q - p) * (2.0 / 3.0 - t) * 6;
    return p;
}

uint32_t ChannelByte(double v) {
    return static_cast<uint32_t>(std::clamp(v * 255, 0.0, 255.0));
}

}  // namespace

Hsl RgbToHsl(uint32_t colourRef) {
    const double r = (colourRef & 0xFF) / 255.0;
    const double g = ((colourRef >> 8) & 0xFF) / 255.0;
    const double b = ((colourRef >> 16) & 0xFF) / 255.0;
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});
    const double delta = max - min;
    Hsl out;
    if (std::fabs(delta) > kEpsilon) {
        if (std::fabs(max - r) <= kEpsilon) {
            out.h = (g - b) * 60 / delta;
            if (g < b) out.h += 360;
        } else if (std::fabs(max - g) <= kEpsilon) {
            out.h = (b - r) * 60 / delta + 120;
        } else {
            out.h = (r - g) * 60 / delta + 240;
        }
        out.h = std::clamp(out.h, 0.0, 360.0);
    }
    const double l = std::clamp((max + min) / 2, 0.0, 1.0);
    double s = 0;
    if (l > kEpsilon && delta > kEpsilon) {
        s = l <= 0.5 ? delta / (max + min) : delta / (2 - max - min);
        s = std::clamp(s, 0.0, 1.0);
    }
    out.l = l * 100;
    out.s = s * 100;
    return out;
}

uint32_t HslToRgb(uint8_t alpha, double h, double s, double l) {
    s /= 100;
    l /= 100;
    uint32_t r, g, b;
    if (s == 0) {
        r = g = b = ChannelByte(l);
    } else {
        const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
        const double p = 2 * l - q;
        const double t = h / 360;
        r = ChannelByte(HueToChannel(p, q, t + 1.0 / 3.0));
        g = ChannelByte(HueToChannel(p, q, t));
        b = ChannelByte(HueToChannel(p, q, t - 1.0 / 3.0));
    }
    return (static_cast<uint32_t>(alpha) << 24) | (b << 16) | (g << 8) | r;
}

double LightnessShift(double toneL) {
    const double exponent = static_cast<double>(0.88f);
    return toneL > 50 ? std::pow(toneL - 50, exponent) : -std::pow(50 - toneL, exponent);
}

uint32_t TintColour(uint32_t argb, uint32_t tone) {
    const Hsl t = RgbToHsl(SwapRedBlue(tone));
    const Hsl c = RgbToHsl(SwapRedBlue(argb));
    if (c.l >= 100 || c.l <= 0) return argb;
    return SwapRedBlue(HslToRgb(static_cast<uint8_t>(argb >> 24), t.h, t.s, c.l + LightnessShift(t.l)));
}

std::unique_ptr<Bitmap> TintImage(const Bitmap& image, uint32_t tone, uint32_t colourKey) {
    auto copy = std::make_unique<Bitmap>(image);
    const Hsl t = RgbToHsl(SwapRedBlue(tone));
    const double shift = LightnessShift(t.l);
    const uint32_t keyRgb = colourKey & 0x00FFFFFFu;
    uint32_t* px = copy->Pixels();
    const size_t count = static_cast<size_t>(copy->Width()) * static_cast<size_t>(copy->Height());
    // Icons repeat few colours: remember the last one to skip the conversion on runs.
    uint32_t lastIn = 0, lastOut = 0;
    bool haveLast = false;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = px[i];
        if ((p & 0x00FFFFFFu) == keyRgb) continue;
        if (haveLast && p == lastIn) {
            px[i] = lastOut;
            continue;
        }
        const Hsl c = RgbToHsl(SwapRedBlue(p));
        uint32_t out = p;
        if (c.l < 100 && c.l > 0)
            out = SwapRedBlue(HslToRgb(static_cast<uint8_t>(p >> 24), t.h, t.s, c.l + shift));
        lastIn = p;
        lastOut = out;
        haveLast = true;
        px[i] = out;
    }
    return copy;
}
