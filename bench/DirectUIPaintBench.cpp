// Painting an 800 x 600 host of 60 skinned controls offscreen: a full repaint, and the repaint of
// one 40 x 20 dirty rectangle (goals: under 4 ms and under 0.3 ms).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "directui/Container.h"
#include "directui/WinCtrlImpl.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Graphics.h"

namespace {

// A 4-state button strip as a skin has them: a rounded frame with an alpha edge.
std::shared_ptr<Bitmap> MakeStrip(int frameWidth, int height) {
    auto strip = std::make_shared<Bitmap>(frameWidth * 4, height, 0xFF3070C0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < frameWidth * 4; ++x) {
            const int fx = x % frameWidth;
            if (fx == 0 || fx == frameWidth - 1 || y == 0 || y == height - 1) strip->SetPixel(x, y, 0x80204060);
        }
    }
    return strip;
}

// Draws the normal frame of its strip stretched over itself (three bands: edges kept), then its
// caption centred, like a skinned button.
class BenchButton : public CControl {
public:
    explicit BenchButton(std::shared_ptr<Bitmap> strip) : strip_(std::move(strip)) {}
    std::u16string_view GetTypeName() const override { return u"DirectUIButton"; }
    void Draw(Graphics& g) override {
        const int fw = strip_->Width() / 4, h = strip_->Height();
        const Rect c = GetClientRect();
        const int sep = fw / 2;
        g.DrawImage(*strip_, {0, 0, sep, c.height}, {0, 0, sep, h}, m_alpha);
        g.DrawImage(*strip_, {sep, 0, c.width - fw + 1, c.height}, {sep, 0, 1, h}, m_alpha);
        g.DrawImage(*strip_, {c.width - (fw - sep - 1), 0, fw - sep - 1, c.height}, {sep + 1, 0, fw - sep - 1, h},
                    m_alpha);
        g.DrawText(m_text, c, m_fontColour, GetFont(), text::kCentre | text::kVCentre | text::kEllipsis);
    }

private:
    std::shared_ptr<Bitmap> strip_;
};

class BenchPanel : public CContainer {
public:
    std::u16string_view GetTypeName() const override { return u"DirectUIPanel"; }
    void Draw(Graphics& g) override {
        g.FillRect(GetClientRect(), 0xFFE8ECF0);
        g.DrawFrameRect(GetClientRect(), 0xFF8090A0);
    }
};

class BenchHost : public CWinCtrlImpl {
public:
    void Draw(Graphics& g) override { g.FillGradient(GetClientRect(), 0xFF203040, 0xFF405060, true); }
};

// 800 x 600: 4 panels of 14 buttons each, plus the panels' 4 = 60 controls.
struct Scene {
    Scene() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        host.CreateHostWindow(nullptr, {0, 0, 800, 600});
        auto strip = MakeStrip(40, 24);
        for (int p = 0; p < 4; ++p) {
            auto panel = std::make_unique<BenchPanel>();
            panel->Create(u"", {10 + (p % 2) * 395, 10 + (p / 2) * 295, 385, 285}, &host, p + 1);
            for (int b = 0; b < 14; ++b) {
                auto button = std::make_unique<BenchButton>(strip);
                button->Create(u"电台 " + std::u16string(1, static_cast<char16_t>(u'A' + b)),
                               {10 + (b % 2) * 185, 10 + (b / 2) * 38, 175, 30}, panel.get(), 100 + b);
                buttons.push_back(std::move(button));
            }
            panels.push_back(std::move(panel));
        }
        host.UpdateWindow();
    }
    ~Scene() {
        buttons.clear();
        panels.clear();
    }
    BenchHost host;
    std::vector<std::unique_ptr<BenchPanel>> panels;
    std::vector<std::unique_ptr<BenchButton>> buttons;
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void BM_FullRepaint800x600(benchmark::State& state) {
    Scene& s = TheScene();
    for (auto _ : state) {
        s.host.Invalidate();
        s.host.UpdateWindow();
    }
}
BENCHMARK(BM_FullRepaint800x600)->Unit(benchmark::kMillisecond);

void BM_DirtyRect40x20(benchmark::State& state) {
    Scene& s = TheScene();
    // Over the middle of a button inside a panel: panel, button and host take part.
    const Rect dirty{100, 40, 40, 20};
    for (auto _ : state) {
        s.host.Invalidate(&dirty);
        s.host.UpdateWindow();
    }
}
BENCHMARK(BM_DirtyRect40x20)->Unit(benchmark::kMicrosecond);

}  // namespace
