// Loading a skin package of 100 images (goal: under 150 ms), and tinting every image of it.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "directui/SkinLoader.h"
#include "platform/Text.h"
#include "platform/gfx/Bitmap.h"
#include "tests/directui/SkinTestPackage.h"

namespace {

// 100 button-sized images (24 to 183 pixels wide) with gradients, like a real skin's.
const std::string& PackagePath() {
    static const std::string path = [] {
        const char* tmp = getenv("TMPDIR");
        const std::string p = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_skin_100.zip";
        std::vector<skintest::ZipEntry> entries;
        std::string defs;
        for (int i = 0; i < 100; ++i) {
            const int w = 24 + (i * 37) % 160, h = 16 + (i * 13) % 48;
            Bitmap b(w, h);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const uint32_t a = (x == 0 || y == 0) ? 0x80u : 0xFFu;
                    b.SetPixel(x, y,
                               a << 24 | static_cast<uint32_t>((x * 255) / w) << 16 |
                                   static_cast<uint32_t>((y * 255) / h) << 8 | static_cast<uint32_t>(i * 2));
                }
            }
            const std::string name = "img" + std::to_string(i) + ".png";
            entries.push_back({name, skintest::PngBytes(b)});
            defs += "<Btn" + std::to_string(i) + " BtnImg=\"" + name + "\" Position=\"0,0," +
                    std::to_string(w) + "," + std::to_string(h) + "\"/>";
        }
        entries.insert(entries.begin(), {"SkinResDef.xml",
                                         "<?xml version=\"1.0\"?><skin version=\"6\" name=\"bench\">"
                                         "<Normal><BenchWnd>" +
                                             defs + "</BenchWnd></Normal></skin>"});
        skintest::WriteZip(p, entries);
        return p;
    }();
    return path;
}

void BM_LoadSkin100Images(benchmark::State& state) {
    const std::u16string path = Utf8ToUtf16(PackagePath());
    for (auto _ : state) {
        CSkinLoader loader;
        if (!loader.LoadSkin(path)) state.SkipWithError("LoadSkin failed");
        benchmark::DoNotOptimize(loader.GetImage(u"img99.png"));
    }
}
BENCHMARK(BM_LoadSkin100Images)->Unit(benchmark::kMillisecond);

void BM_TintAll100Images(benchmark::State& state) {
    CSkinLoader loader;
    loader.LoadSkin(Utf8ToUtf16(PackagePath()));
    uint32_t tone = 0xFF2C8CC0u;
    for (auto _ : state) {
        loader.SetTone(tone ^= 0x00010000u);
        for (int i = 0; i < 100; ++i)
            benchmark::DoNotOptimize(loader.GetImage(u"img" + IntToText(i) + u".png"));
    }
}
BENCHMARK(BM_TintAll100Images)->Unit(benchmark::kMillisecond);

}  // namespace
