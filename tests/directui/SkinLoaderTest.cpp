#include <gtest/gtest.h>

#include <algorithm>

#include "directui/Container.h"
#include "directui/SkinColour.h"
#include "directui/SkinLoader.h"
#include "platform/Text.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Graphics.h"
#include "tests/directui/SkinTestPackage.h"
#include "tests/support/TestSupport.h"

using skintest::DefinitionXml;
using skintest::PngBytes;
using skintest::WriteZip;
using skintest::ZipEntry;

namespace {

// A container that counts the times the loader told it to reload.
class CountingControl : public CContainer {
public:
    std::u16string_view GetTypeName() const override { return u"DirectUITest"; }
    void LoadSkinProperties(CSkinLoader* loader, bool applyPosition, int lookupMode) override {
        CContainer::LoadSkinProperties(loader, applyPosition, lookupMode);
        ++(applyPosition ? applied : toned);
    }
    int applied = 0;
    int toned = 0;
};

bool Attach(CControl& child, CControl& parent) {
    return child.Create(u"", Rect{}, &parent, 0) && child.GetParent() == &parent;
}

std::u16string U(const std::string& s) {
    return Utf8ToUtf16(s);
}

std::vector<ZipEntry> GoodEntries(const std::string& version = "6") {
    return {
        {"SkinResDef.xml", DefinitionXml(version)},
        {"Play.png", PngBytes(8, 4, 0xFF00FF00u, 0xFFFF00FFu)},
        {"Skin/Stop.png", PngBytes(3, 3, 0x80808080u)},
        {"skin/", ""},
        {"bad.png", "this is not an image"},
        {"PreView.png", PngBytes(2, 2, 0xFF123456u)},
        {"../evil.png", PngBytes(1, 1, 0xFFFFFFFFu)},
        {"/abs.png", PngBytes(1, 1, 0xFFFFFFFFu)},
        {"skin/../../up.png", PngBytes(1, 1, 0xFFFFFFFFu)},
    };
}

std::u16string MakePackage(const std::string& file, const std::vector<ZipEntry>& entries) {
    const std::string path = testsupport::TempRoot() + "/" + file;
    EXPECT_TRUE(WriteZip(path, entries));
    return U(path);
}

}  // namespace

TEST(SkinLoader, ParsesSkinColours) {
    EXPECT_EQ(ParseSkinColour(u"$80FF0000"), 0x80FF0000u);
    EXPECT_EQ(ParseSkinColour(u"$ff2c8cc0"), 0xFF2C8CC0u);
    EXPECT_EQ(ParseSkinColour(u"-65536"), 0xFFFF0000u);
    EXPECT_EQ(ParseSkinColour(u"4294901760"), 0x7FFFFFFFu);  // beyond the signed range: clamped
    EXPECT_EQ(ParseSkinColour(u"-4294901760"), 0x80000000u);
    EXPECT_EQ(ParseSkinColour(u"$"), 0u);
    EXPECT_EQ(ParseSkinColour(u"abc"), 0u);
}

TEST(SkinLoader, LoadsTheOpenPackage) {
    const std::u16string path = MakePackage("good.zip", GoodEntries());
    CSkinLoader loader;
    CountingControl root;
    loader.AddRoot(&root);
    loader.AddRoot(&root);  // each root once

    ASSERT_TRUE(loader.LoadSkin(path));
    EXPECT_EQ(loader.PackagePath(), path);
    EXPECT_EQ(root.applied, 1);
    EXPECT_EQ(loader.LastAttempt().xmlError, kXmlOk);

    // Entry names lower-cased with their folders; folders, escaping and absolute names ignored.
    std::vector<std::u16string> names = loader.ImageNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::u16string>{u"bad.png", u"play.png", u"preview.png", u"skin/stop.png"}));
    EXPECT_EQ(loader.LastAttempt().failedImages, std::vector<std::u16string>{u"bad.png"});

    const auto play = loader.GetImage(u"PLAY.png");
    ASSERT_TRUE(play);
    EXPECT_EQ(play->Width(), 8);
    EXPECT_EQ(play->Pixel(1, 1), 0xFF00FF00u);
    EXPECT_FALSE(loader.GetImage(u"stop.png"));  // the folder is part of the name
    EXPECT_TRUE(loader.GetImage(u"skin/stop.png"));

    // A failed image draws nothing without tinting and is none with tinting.
    const auto bad = loader.GetImage(u"bad.png");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->Width(), 0);
    EXPECT_EQ(bad->Height(), 0);

    // Skin-wide values.
    EXPECT_EQ(loader.MainTone(), 0x2C8CC0u);
    EXPECT_EQ(loader.DisabledTextColour(), 0xFF808080u);
    std::u16string name;
    EXPECT_TRUE(loader.GetRoot().GetString(u"NAME", name));
    EXPECT_EQ(name, u"blue sky");

    // The same package again: nothing reloads.
    ASSERT_TRUE(loader.LoadSkin(path));
    EXPECT_EQ(root.applied, 1);
    EXPECT_EQ(loader.GetImage(u"play.png"), play);
    loader.RemoveRoot(&root);
}

TEST(SkinLoader, RefusesAVersion5DefinitionAndKeepsTheCurrentSkin) {
    const std::u16string good = MakePackage("good6.zip", GoodEntries());
    auto v5entries = GoodEntries("5");
    v5entries[1] = {"other.png", PngBytes(1, 1, 0xFF0000FFu)};
    const std::u16string v5 = MakePackage("old5.zip", v5entries);
    CSkinLoader loader;
    CountingControl root;
    loader.AddRoot(&root);
    ASSERT_TRUE(loader.LoadSkin(good));
    const auto play = loader.GetImage(u"play.png");

    EXPECT_FALSE(loader.LoadSkin(v5));
    EXPECT_TRUE(loader.LastAttempt().opened);
    EXPECT_EQ(*loader.LastAttempt().top.GetAttribute(u"version"), u"5");
    EXPECT_EQ(root.applied, 1);
    EXPECT_EQ(loader.PackagePath(), good);
    EXPECT_EQ(loader.GetImage(u"play.png"), play);
    EXPECT_FALSE(loader.GetImage(u"other.png"));
    std::u16string version;
    EXPECT_TRUE(loader.GetRoot().GetString(u"version", version));
    EXPECT_EQ(version, u"6");
    // Still refused the second time: it never became the open package.
    EXPECT_FALSE(loader.LoadSkin(v5));
    loader.RemoveRoot(&root);
}

TEST(SkinLoader, BrokenPackagesFailAndChangeNothing) {
    const std::u16string good = MakePackage("good-b.zip", GoodEntries());
    const std::string garbage = testsupport::TempRoot() + "/garbage.zip";
    testsupport::WriteFile(garbage, "PK\3\4 not really a zip");
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<skin>";
    const std::u16string cases[] = {
        U(garbage),
        U(testsupport::TempRoot() + "/missing.zip"),
        U(testsupport::TempRoot()),
        u"",
        MakePackage("nodef.zip", {{"play.png", PngBytes(1, 1, 0xFF000000u)}}),
        MakePackage("unmatched.zip", {{"SkinResDef.xml", "<skin version=\"6\"></b>"}}),
        MakePackage("noskin.zip", {{"SkinResDef.xml", "<other version=\"6\"/>"}}),
        MakePackage("deep.zip", {{"SkinResDef.xml", deep}}),
        MakePackage("huge.zip", {{"SkinResDef.xml", "<skin version=\"6\" x=\"" +
                                                        std::string(kSkinMaxDefinitionBytes, 'x') + "\"/>"}}),
        MakePackage("bigattr.zip",
                    {{"SkinResDef.xml",
                      "<skin version=\"6\" x=\"" + std::string(kXmlMaxItemLength + 1, 'x') + "\"/>"}}),
    };
    CSkinLoader loader;
    ASSERT_TRUE(loader.LoadSkin(good));
    for (const std::u16string& path : cases) {
        SCOPED_TRACE(Utf16ToUtf8(path));
        EXPECT_FALSE(loader.LoadSkin(path));
        EXPECT_EQ(loader.PackagePath(), good);
        EXPECT_TRUE(loader.GetImage(u"play.png"));
    }
    EXPECT_FALSE(loader.LoadSkin(cases[7]));
    EXPECT_EQ(loader.LastAttempt().xmlError, kXmlTooDeep);
}

TEST(SkinLoader, DecodesDefinitionsInEveryEncoding) {
    const std::string gbName = "\xD6\xD0\xCE\xC4";  // "中文" in GB18030
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : U("<skin version='6' name='蓝色'/>")) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    struct Case {
        std::string bytes;
        std::u16string name;
    } cases[] = {
        {"<skin version='6' name='" + gbName + "'/>", u"中文"},
        {"\xEF\xBB\xBF<skin version='6' name='绿色'/>", u"绿色"},
        {utf16, u"蓝色"},
    };
    int n = 0;
    for (const Case& c : cases) {
        CSkinLoader loader;
        ASSERT_TRUE(loader.LoadSkin(
            MakePackage("enc" + std::to_string(++n) + ".zip", {{"skinresdef.XML", c.bytes}})));
        std::u16string name;
        EXPECT_TRUE(loader.GetRoot().GetString(u"name", name));
        EXPECT_EQ(name, c.name);
    }
}

TEST(SkinLoader, FindsNodesByPathParentAndType) {
    CSkinLoader loader;
    ASSERT_TRUE(loader.LoadSkin(MakePackage("find.zip", GoodEntries())));
    CountingControl wnd, panel, button, unnamedPanel, stop, plain;
    wnd.SetName(u"NormalMainPlayWnd");
    panel.SetName(u"MainPanel");
    button.SetName(u"PlayBtn");
    stop.SetName(u"StopBtn");
    ASSERT_TRUE(Attach(panel, wnd));
    ASSERT_TRUE(Attach(button, panel));
    ASSERT_TRUE(Attach(unnamedPanel, wnd));
    ASSERT_TRUE(Attach(stop, unnamedPanel));
    ASSERT_TRUE(Attach(plain, panel));

    Rect r;
    EXPECT_TRUE(loader.FindNode(&button, u"PlayBtn", 0).GetRect(u"Position", r));
    EXPECT_EQ(r, (Rect{20, 30, 40, 24}));
    // An unnamed container does not appear in the path.
    std::u16string img;
    EXPECT_TRUE(loader.FindNode(&stop, u"StopBtn", 0).GetString(u"BtnImg", img));
    EXPECT_EQ(img, u"skin/stop.png");
    // Mode 1: an unnamed control stands in with its parent's node.
    EXPECT_TRUE(loader.FindNode(&plain, u"", 1).GetRect(u"Position", r));
    EXPECT_EQ(r, (Rect{10, 10, 380, 280}));
    EXPECT_TRUE(loader.FindNode(&plain, u"", 0).IsEmpty());
    // ... and for an unnamed parent, the parent type's defaults.
    std::u16string kind;
    EXPECT_TRUE(loader.FindNode(&stop, u"", 0).IsEmpty());
    CountingControl inner;
    ASSERT_TRUE(Attach(inner, unnamedPanel));
    EXPECT_TRUE(loader.FindNode(&inner, u"", 1).GetString(u"Kind", kind));
    EXPECT_EQ(kind, u"common");
    // Mode 2: the defaults of the control's type.
    kind.clear();
    EXPECT_TRUE(loader.FindNode(&button, u"PlayBtn", 2).GetString(u"kind", kind));
    EXPECT_EQ(kind, u"common");
    EXPECT_TRUE(loader.FindNode(&button, u"Nothing", 0).IsEmpty());
    EXPECT_TRUE(loader.GetCommon(u"DirectUIButton").GetInt(u"FontSize", *std::make_unique<int>()));
    EXPECT_TRUE(loader.GetCommon(u"Missing").IsEmpty());
}

TEST(SkinLoader, PropertyViewReads) {
    CSkinLoader loader;
    ASSERT_TRUE(loader.LoadSkin(MakePackage("props.zip", GoodEntries())));
    CountingControl wnd, panel, button;
    wnd.SetName(u"NormalMainPlayWnd");
    panel.SetName(u"MainPanel");
    ASSERT_TRUE(Attach(panel, wnd));
    ASSERT_TRUE(Attach(button, panel));
    const CPropertyView v = loader.FindNode(&button, u"PlayBtn", 0);
    ASSERT_FALSE(v.IsEmpty());

    std::u16string s = u"keep";
    EXPECT_TRUE(v.GetString(u"btnimg", s));
    EXPECT_EQ(s, u"play.png");
    EXPECT_FALSE(v.GetString(u"Missing", s));
    EXPECT_EQ(s, u"play.png");
    int i = 7;
    EXPECT_TRUE(v.GetInt(u"Flag", i));
    EXPECT_EQ(i, 1);
    EXPECT_TRUE(v.GetInt(u"Position", i));  // conversion stops at the comma
    EXPECT_EQ(i, 20);
    float f = 0;
    EXPECT_TRUE(v.GetFloat(u"Flag", f));
    EXPECT_EQ(f, 1.0f);
    bool b = false;
    EXPECT_TRUE(v.GetBool(u"Flag", b));
    EXPECT_TRUE(b);
    Rect r{1, 2, 3, 4};
    EXPECT_FALSE(v.GetRect(u"Three", r));  // three numbers: missing, unchanged
    EXPECT_EQ(r, (Rect{1, 2, 3, 4}));
    uint32_t c = 0;
    EXPECT_TRUE(v.GetColour(u"TextColor", c));
    EXPECT_EQ(c, 0x80FF0000u);
    EXPECT_TRUE(v.GetColour(u"Big", c));
    EXPECT_EQ(c, 0x7FFFFFFFu);
    std::shared_ptr<Bitmap> image;
    EXPECT_TRUE(v.GetImage(u"BtnImg", image));
    EXPECT_EQ(image, loader.GetImage(u"play.png"));
    EXPECT_FALSE(v.GetImage(u"Skin5Img", image));
    EXPECT_EQ(image, loader.GetImage(u"play.png"));

    // The empty view reports everything missing.
    const CPropertyView none;
    EXPECT_FALSE(none.GetInt(u"Flag", i));
    EXPECT_FALSE(none.GetImage(u"BtnImg", image));
}

TEST(SkinLoader, ToneTintsColoursAndImagesAndTellsRoots) {
    CSkinLoader loader;
    CountingControl root;
    loader.AddRoot(&root);
    ASSERT_TRUE(loader.LoadSkin(MakePackage("tone.zip", GoodEntries())));
    const auto raw = loader.GetImage(u"play.png");

    loader.SetTone(0xFFFF0000u);
    EXPECT_EQ(root.toned, 1);
    EXPECT_TRUE(loader.IsToneOn());
    loader.SetTone(0xFFFF0000u);  // unchanged: nothing reloads
    EXPECT_EQ(root.toned, 1);
    EXPECT_EQ(loader.TransformColour(0x8000FF00u), 0x80FF0000u);
    EXPECT_EQ(loader.TransformColour(0xFFFFFFFFu), 0xFFFFFFFFu);

    const auto tinted = loader.GetImage(u"play.png");
    ASSERT_TRUE(tinted);
    EXPECT_NE(tinted, raw);
    EXPECT_EQ(tinted->Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(tinted->Pixel(0, 0), 0xFFFF00FFu);  // the colour key stays
    EXPECT_EQ(loader.GetImage(u"play.png"), tinted);
    EXPECT_EQ(loader.GetImage(u"play.png", true), raw);
    EXPECT_EQ(raw->Pixel(1, 1), 0xFF00FF00u);
    EXPECT_FALSE(loader.GetImage(u"bad.png"));       // failed image: none when tinted
    EXPECT_TRUE(loader.GetImage(u"bad.png", true));  // raw: the empty image

    loader.SetTone(0xFF0000FFu);
    EXPECT_EQ(root.toned, 2);
    const auto blue = loader.GetImage(u"play.png");
    EXPECT_EQ(blue->Pixel(1, 1), 0xFF0000FFu);
    EXPECT_EQ(tinted->Pixel(1, 1), 0xFFFF0000u);  // a holder keeps its old copy

    loader.ToneOff();
    EXPECT_EQ(root.toned, 3);
    loader.ToneOff();
    EXPECT_EQ(root.toned, 3);
    EXPECT_EQ(loader.GetImage(u"play.png"), raw);

    // Loading a skin switches tinting off without a tone reload.
    loader.SetTone(0xFFFF0000u);
    ASSERT_TRUE(loader.LoadSkin(MakePackage("tone2.zip", GoodEntries())));
    EXPECT_FALSE(loader.IsToneOn());
    EXPECT_EQ(root.toned, 4);
    EXPECT_EQ(root.applied, 2);
    loader.RemoveRoot(&root);
}

TEST(SkinLoader, AddsSkinsToTheSelectionList) {
    CSkinLoader loader;
    std::vector<SkinListEntry> list;
    const std::u16string a = MakePackage("list-a.zip", GoodEntries());
    auto noPreview = GoodEntries();
    noPreview.erase(noPreview.begin() + 5);
    const std::u16string b = MakePackage("list-b.zip", noPreview);
    EXPECT_TRUE(loader.AddSkinToList(list, a));
    EXPECT_FALSE(loader.AddSkinToList(list, a));
    EXPECT_TRUE(loader.AddSkinToList(list, b));
    EXPECT_FALSE(loader.AddSkinToList(list, U(testsupport::TempRoot() + "/none.zip")));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, u"blue sky");
    ASSERT_TRUE(list[0].preview);
    EXPECT_EQ(list[0].preview->Pixel(1, 1), 0xFF123456u);
    EXPECT_FALSE(list[1].preview);
    // Listing does not load anything.
    EXPECT_TRUE(loader.PackagePath().empty());
}

TEST(SkinLoader, AnImageThatFailsToDecodeDrawsNothing) {
    CSkinLoader loader;
    ASSERT_TRUE(loader.LoadSkin(MakePackage("failed-draw.zip", GoodEntries())));
    const auto bad = loader.GetImage(u"bad.png");
    ASSERT_TRUE(bad);
    Bitmap target(4, 4, 0xFF112233u);
    {
        Graphics g(target);
        g.DrawImage(*bad, {0, 0, 4, 4}, {0, 0, bad->Width(), bad->Height()});
    }
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Pixel(x, y), 0xFF112233u);
    }
    // Tinting never touches it.
    loader.SetTone(0xFFFF0000u);
    EXPECT_FALSE(loader.GetImage(u"bad.png"));
}

TEST(SkinLoader, ImagesBeyondThePixelBudgetCountAsFailed) {
    // play.png 8 x 4 fits, skin/stop.png 3 x 3 would pass 40 pixels, preview.png 2 x 2 fits again.
    CSkinLoader loader(40);
    ASSERT_TRUE(loader.LoadSkin(MakePackage("budget.zip", GoodEntries())));
    EXPECT_EQ(loader.LastAttempt().failedImages, (std::vector<std::u16string>{u"skin/stop.png", u"bad.png"}));
    EXPECT_EQ(loader.GetImage(u"play.png")->Width(), 8);
    EXPECT_EQ(loader.GetImage(u"skin/stop.png")->Width(), 0);
    EXPECT_EQ(loader.GetImage(u"preview.png")->Width(), 2);
}
