// The control model in a real (offscreen) host window: anchors layout, pointer routing with
// capture and MouseLeave order, focus, timers, invalidation and dirty-rectangle painting.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "directui/Container.h"
#include "directui/Control.h"
#include "directui/SkinLoader.h"
#include "directui/WinCtrlImpl.h"
#include "platform/Sync.h"
#include "platform/Text.h"
#include "platform/gui/Input.h"
#include "tests/directui/SkinTestPackage.h"
#include "tests/support/TestSupport.h"

namespace {

// A control that fills itself, logs its messages and counts its paints.
class TestControl : public CControl {
public:
    explicit TestControl(uint32_t colour, bool focusable = false) : colour_(colour), focusable_(focusable) {}
    std::u16string_view GetTypeName() const override { return u"TestControl"; }
    void Draw(Graphics& g) override {
        ++draws;
        g.FillRect(GetClientRect(), colour_);
    }
    bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (msg != DUI_QUERYHOST) log.emplace_back(msg, lParam);
        if (CControl::ProcessMessage(msg, wParam, lParam, result)) return true;
        if (msg == DUI_QUERYFOCUSTARGET) {
            result = focusable_ ? reinterpret_cast<LRESULT>(this) : 0;
            return true;
        }
        return false;
    }
    // Messages received with `msg`, in order.
    int Count(UINT msg) const {
        int n = 0;
        for (auto& [m, l] : log) n += m == msg;
        return n;
    }
    std::vector<std::pair<UINT, LPARAM>> log;
    int draws = 0;

private:
    uint32_t colour_;
    bool focusable_;
};

// A push button reduced to its routing: capture on press, command when released inside.
class TestButton : public TestControl {
public:
    using TestControl::TestControl;
    bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (TestControl::ProcessMessage(msg, wParam, lParam, result)) return true;
        switch (msg) {
        case DUI_LBUTTONDOWN:
            SetCapture();
            return true;
        case DUI_LBUTTONUP:
            ReleaseCapture();
            if (GetClientRect().Contains(PointFromLParam(lParam))) {
                SendControlMessage(GetParent(), DUI_COMMAND, MakeWParam(static_cast<DWORD>(GetId()), 1),
                                   reinterpret_cast<LPARAM>(this));
            }
            return true;
        default: return false;
        }
    }
};

class TestPanel : public CContainer {
public:
    explicit TestPanel(uint32_t colour) : colour_(colour) {}
    std::u16string_view GetTypeName() const override { return u"TestPanel"; }
    void Draw(Graphics& g) override {
        ++draws;
        g.FillRect(GetClientRect(), colour_);
    }
    int draws = 0;

private:
    uint32_t colour_;
};

class TestHost : public CWinCtrlImpl {
public:
    bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (msg == DUI_COMMAND) commands.push_back(static_cast<int>(LoWord(wParam)));
        return CWinCtrlImpl::ProcessMessage(msg, wParam, lParam, result);
    }
    void Draw(Graphics& g) override { g.FillRect(GetClientRect(), 0xFF202020); }
    std::vector<int> commands;
};

constexpr uint32_t kPanelColour = 0xFF0000FF;
constexpr uint32_t kButton1Colour = 0xFF00FF00;
constexpr uint32_t kButton2Colour = 0xFFFFFF00;
constexpr uint32_t kLabelColour = 0x80FF0000;

// Host 300 x 200 at the screen's corner: a panel with two buttons and a label.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.CreateHostWindow(nullptr, {0, 0, 300, 200}));
        panel.Create(u"", {10, 10, 280, 180}, &host, 1);
        panel.SetAnchors(ANCHOR_LEFT | ANCHOR_TOP);
        button1.Create(u"", {10, 10, 60, 24}, &panel, 101);
        button2.Create(u"", {200, 10, 60, 24}, &panel, 102);
        button2.SetAnchors(ANCHOR_RIGHT);
        label.Create(u"text", {0, 140, 100, 20}, &panel, 103);
        // Anchors come with the skin's positions, after the control joined its parent.
        label.SetAnchors(ANCHOR_HCENTRE | ANCHOR_BOTTOM);
        label.SetRect(label.GetRect());
        host.UpdateWindow();
        for (TestControl* c : std::initializer_list<TestControl*>{&button1, &button2, &label}) c->log.clear();
    }

    LRESULT Mouse(UINT msg, int x, int y, WPARAM keys = 0) {
        return SendMessage(host.GetHwnd(), msg, keys, MakePointLParam(x, y));
    }

    TestHost host;
    TestPanel panel{kPanelColour};
    TestButton button1{kButton1Colour, true};
    TestButton button2{kButton2Colour, true};
    TestControl label{kLabelColour};
};

uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 3) {
    for (int shift : {0, 8, 16, 24}) {
        const int d = static_cast<int>(Channel(actual, shift)) - static_cast<int>(Channel(expected, shift));
        if (d > tolerance || d < -tolerance) {
            char text[64];
            snprintf(text, sizeof text, "%08X is not near %08X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(ControlTest, AnchorsTextGivesTheLayoutBits) {
    const struct {
        const char16_t* text;
        int32_t bits;
    } cases[] = {
        {u"", 0},
        {u"left", ANCHOR_LEFT},
        {u"right", ANCHOR_RIGHT},
        {u"left,right", ANCHOR_HCENTRE},
        {u"top", ANCHOR_TOP},
        {u"bottom", ANCHOR_BOTTOM},
        {u"top|bottom", ANCHOR_VCENTRE},
        {u"right bottom", ANCHOR_RIGHT | ANCHOR_BOTTOM},
        {u"Left", 0},  // case-sensitive
    };
    for (const auto& c : cases) EXPECT_EQ(CControl::ParseAnchors(c.text), c.bits) << Utf16ToUtf8(c.text);
}

TEST_F(HostFixture, AnchorsFollowTheWindowSize) {
    EXPECT_EQ(host.GetRect(), (Rect{0, 0, 300, 200}));
    EXPECT_EQ(label.GetRect(), (Rect{90, 140, 100, 20}));  // centred in the panel's 280
    host.GetNativeWindow()->SetGeometry({0, 0, 400, 300});
    EXPECT_EQ(host.GetRect(), (Rect{0, 0, 400, 300}));
    EXPECT_EQ(panel.GetRect(), (Rect{10, 10, 380, 280}));   // "left" alone: the size follows
    EXPECT_EQ(button1.GetRect(), (Rect{10, 10, 60, 24}));   // no anchors: place and size kept
    EXPECT_EQ(button2.GetRect(), (Rect{300, 10, 60, 24}));  // "right": distance to the edge kept
    EXPECT_EQ(label.GetRect(), (Rect{140, 240, 100, 20}));  // centred; "bottom" keeps its distance
    host.GetNativeWindow()->SetGeometry({0, 0, 300, 200});
    EXPECT_EQ(panel.GetRect(), (Rect{10, 10, 280, 180}));
    EXPECT_EQ(button2.GetRect(), (Rect{200, 10, 60, 24}));
    EXPECT_EQ(label.GetRect(), (Rect{90, 140, 100, 20}));
}

// Panel at (10,10) in the host; button1 at (20,20)-(80,44) and button2 at (210,20)-(270,44) in host
// coordinates; the label at (100,150)-(200,170).
TEST_F(HostFixture, ClickInsideSendsExactlyOneCommand) {
    Mouse(WM_MOUSEMOVE, 30, 30);
    EXPECT_EQ(host.GetHoverControl(), &button1);
    EXPECT_EQ(button1.Count(DUI_MOUSEENTER), 1);
    Mouse(WM_LBUTTONDOWN, 30, 30, MK_LBUTTON);
    EXPECT_EQ(host.GetCaptureControl(), &button1);
    Mouse(WM_MOUSEMOVE, 35, 32, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 35, 32);
    EXPECT_EQ(host.GetCaptureControl(), nullptr);
    EXPECT_EQ(host.commands, std::vector<int>{101});
    // The local point of the button-up message is in the button's coordinates.
    ASSERT_FALSE(button1.log.empty());
    EXPECT_EQ(button1.log.back().first, DUI_LBUTTONUP);
    EXPECT_EQ(PointFromLParam(button1.log.back().second), (Point{15, 12}));
}

TEST_F(HostFixture, ReleaseOverAnotherControlSendsMouseLeaveBeforeButtonUp) {
    Mouse(WM_MOUSEMOVE, 30, 30);
    Mouse(WM_LBUTTONDOWN, 30, 30, MK_LBUTTON);
    // While captured, moves over button2 still go to button1 and nothing enters button2.
    Mouse(WM_MOUSEMOVE, 220, 30, MK_LBUTTON);
    EXPECT_EQ(button2.log.size(), 0u);
    EXPECT_EQ(button1.Count(DUI_MOUSEMOVE), 2);
    button1.log.clear();
    Mouse(WM_LBUTTONUP, 220, 30);
    ASSERT_GE(button1.log.size(), 2u);
    EXPECT_EQ(button1.log[0], (std::pair<UINT, LPARAM>{DUI_MOUSELEAVE, 0}));
    EXPECT_EQ(button1.log[1].first, DUI_LBUTTONUP);
    EXPECT_EQ(host.GetHoverControl(), &button2);
    EXPECT_TRUE(host.commands.empty());
    // Moving on over the panel: button2 is left with 1, the panel is entered.
    Mouse(WM_MOUSEMOVE, 150, 100);
    EXPECT_EQ(button2.log.back(), (std::pair<UINT, LPARAM>{DUI_MOUSELEAVE, 1}));
    EXPECT_EQ(host.GetHoverControl(), &panel);
    // The pointer leaves the window: the hover control gets 1 and is forgotten.
    SendMessage(host.GetHwnd(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(host.GetHoverControl(), nullptr);
}

TEST_F(HostFixture, FocusFollowsPressesOfFocusableControls) {
    Mouse(WM_LBUTTONDOWN, 30, 30, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 30, 30);
    EXPECT_EQ(host.GetFocusControl(), &button1);
    EXPECT_EQ(button1.Count(DUI_GOTFOCUS), 1);
    // Keys go to the focus control as native + 11024.
    SendMessage(host.GetHwnd(), WM_KEYDOWN, 'A', 1);
    EXPECT_EQ(button1.Count(DUI_KEYDOWN), 1);
    // SetFocus asks the host (13064).
    button2.SetFocus();
    EXPECT_EQ(host.GetFocusControl(), &button2);
    EXPECT_EQ(button1.Count(DUI_LOSTFOCUS), 1);
    EXPECT_EQ(button2.Count(DUI_GOTFOCUS), 1);
    // The label answers 0 to 13026: nothing is focused and the old focus lost it.
    Mouse(WM_LBUTTONDOWN, 150, 160, MK_LBUTTON);
    EXPECT_EQ(label.Count(DUI_QUERYFOCUSTARGET), 1);
    EXPECT_EQ(host.GetFocusControl(), nullptr);
    EXPECT_EQ(button2.Count(DUI_LOSTFOCUS), 1);
    EXPECT_EQ(label.Count(DUI_GOTFOCUS), 0);
    Mouse(WM_LBUTTONUP, 150, 160);
}

TEST_F(HostFixture, InvalidationOutsideTheControlAsksTheHostForNothing) {
    host.UpdateWindow();
    ASSERT_TRUE(host.GetWindowDirtyRect().IsEmpty());
    const Rect outside{100, 100, 10, 10};
    button1.Invalidate(&outside);
    EXPECT_TRUE(button1.GetDirtyRect().IsEmpty());
    EXPECT_TRUE(host.GetWindowDirtyRect().IsEmpty());
    // Partly inside: only the part inside, in window coordinates.
    const Rect partly{50, 20, 30, 30};
    button1.Invalidate(&partly);
    EXPECT_EQ(button1.GetDirtyRect(), (Rect{50, 20, 10, 4}));
    EXPECT_EQ(host.GetWindowDirtyRect(), (Rect{70, 40, 10, 4}));
}

TEST_F(HostFixture, OnlyDirtyChildrenArePaintedAgain) {
    host.UpdateWindow();
    const int b1 = button1.draws, b2 = button2.draws, l = label.draws;
    button1.Invalidate();
    // The deferred paint arrives through the queue.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return button1.draws > b1; }, 5000));
    EXPECT_EQ(button2.draws, b2);
    EXPECT_EQ(label.draws, l);
    EXPECT_TRUE(host.GetWindowDirtyRect().IsEmpty());
    // A repaint covering two children paints both, through the panel.
    const Rect both{0, 0, 300, 40};
    host.Invalidate(&both);
    host.UpdateWindow();
    EXPECT_EQ(button1.draws, b1 + 2);
    EXPECT_EQ(button2.draws, b2 + 1);
    EXPECT_EQ(label.draws, l);
}

TEST_F(HostFixture, HiddenChildrenAreNeitherPaintedNorHitDisabledOnesArePaintedButNotHit) {
    button1.SetVisible(false);
    button2.SetEnabled(false);
    host.UpdateWindow();
    const int b1 = button1.draws, b2 = button2.draws;
    host.Invalidate();
    host.UpdateWindow();
    EXPECT_EQ(button1.draws, b1);
    EXPECT_EQ(button2.draws, b2 + 1);
    EXPECT_EQ(host.HitTest({30, 30}, HIT_VISIBLE_ENABLED), &panel);
    EXPECT_EQ(host.HitTest({220, 30}, HIT_VISIBLE_ENABLED), &panel);
    EXPECT_EQ(host.HitTest({220, 30}, HIT_VISIBLE), &button2);
    EXPECT_EQ(host.HitTest({30, 30}, HIT_ENABLED), &button1);
    EXPECT_EQ(host.HitTest({30, 30}, HIT_ANY), &button1);
    EXPECT_EQ(host.HitTest({30, 30}, 4), nullptr);
    // A press on the disabled button reaches the panel, not the button.
    Mouse(WM_LBUTTONDOWN, 220, 30, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 220, 30);
    EXPECT_EQ(button2.Count(DUI_LBUTTONDOWN), 0);
    EXPECT_TRUE(host.commands.empty());
    const Surface* surface = host.GetSurface();
    ASSERT_TRUE(surface);
    EXPECT_TRUE(Near(surface->Pixel(30, 30), kPanelColour));
}

TEST_F(HostFixture, PaintedPictureShowsAnchorsAndAlpha) {
    host.GetNativeWindow()->SetGeometry({0, 0, 400, 300});
    host.UpdateWindow();
    const Surface* surface = host.GetSurface();
    ASSERT_TRUE(surface);
    ASSERT_EQ(surface->Width(), 400);
    auto picture = surface->ToBitmap();
    ASSERT_TRUE(picture->SavePng((testsupport::TempRoot() + "/host.png").c_str()));
    // The panel (group alpha 254) over the host's dark background.
    EXPECT_TRUE(Near(picture->Pixel(5, 5), 0xFF202020));
    EXPECT_TRUE(Near(picture->Pixel(15, 290 - 5), 0xFF0000FE));
    // Button2 moved right with the window.
    EXPECT_TRUE(Near(picture->Pixel(320, 30), 0xFFFEFE00));
    EXPECT_TRUE(Near(picture->Pixel(250, 30), 0xFF0000FE));
    // The half-transparent label, centred and moved down, blends red into the panel's blue.
    EXPECT_TRUE(Near(picture->Pixel(10 + 140 + 50, 10 + 240 + 10), 0xFF7F007F, 4));
    EXPECT_TRUE(Near(picture->Pixel(10 + 140 - 3, 10 + 240 + 10), 0xFF0000FE));
}

TEST_F(HostFixture, TimersRunFromTheTimerPassAndKilledOnesRevive) {
    ASSERT_TRUE(SetTimer(&button1, 7, 100));
    const uint32_t t0 = GetTickCount();  // not before the timer's start
    EXPECT_FALSE(SetTimer(&button1, 7, 50));  // live pair: left alone
    host.RunTimerPass(t0);
    EXPECT_EQ(button1.Count(DUI_TIMER), 0);
    host.RunTimerPass(t0 + 1000);
    EXPECT_EQ(button1.Count(DUI_TIMER), 1);
    EXPECT_TRUE(KillTimer(&button1, 7));
    EXPECT_FALSE(SetTimer(&button1, 7, 5000));  // revived before the next pass, new elapse
    host.RunTimerPass(t0 + 2000);
    EXPECT_EQ(button1.Count(DUI_TIMER), 1);
    host.RunTimerPass(t0 + 1000 + 5000);
    EXPECT_EQ(button1.Count(DUI_TIMER), 2);
    EXPECT_TRUE(KillTimer(&button1, 7));
    host.RunTimerPass(t0 + 100000);
    EXPECT_EQ(button1.Count(DUI_TIMER), 2);
    EXPECT_FALSE(KillTimer(&button1, 7));
    // A control without a host has no timers.
    TestControl orphan(0);
    EXPECT_FALSE(SetTimer(&orphan, 1, 10));
}

TEST_F(HostFixture, NativeHitTestGivesFrameZonesOfResizableHosts) {
    auto hit = [&](int x, int y) { return SendMessage(host.GetHwnd(), WM_NCHITTEST, 0, MakePointLParam(x, y)); };
    EXPECT_EQ(hit(0, 0), HTCLIENT);  // not resizable
    host.SetResizable(true);
    const struct {
        int x, y;
        LRESULT code;
    } cases[] = {
        {0, 0, HTTOPLEFT},       {299, 0, HTTOPRIGHT}, {299, 199, HTBOTTOMRIGHT}, {0, 199, HTBOTTOMLEFT},
        {150, 0, HTTOP},         {150, 199, HTBOTTOM}, {0, 100, HTLEFT},          {299, 100, HTRIGHT},
        {150, 100, HTCLIENT},    {5, 100, HTCLIENT},   {295, 100, HTRIGHT},       {294, 100, HTCLIENT},
    };
    for (const auto& c : cases) EXPECT_EQ(hit(c.x, c.y), c.code) << c.x << "," << c.y;
    // Frame margins: outside the root is nowhere.
    host.SetResizable(false);
    host.SetFrameMargins(10, 10, 10, 10);
    EXPECT_EQ(hit(3, 3), HTNOWHERE);
    EXPECT_EQ(host.GetRect(), (Rect{0, 0, 280, 180}));
}

TEST_F(HostFixture, CursorRequestsReachTheControlUnderThePointer) {
    button1.SetMoveCursor(true);
    SendMessage(host.GetHwnd(), WM_NCHITTEST, 0, MakePointLParam(30, 30));
    SendMessage(host.GetHwnd(), WM_SETCURSOR, 0, HTCLIENT | (WM_MOUSEMOVE << 16));
    EXPECT_EQ(host.GetNativeWindow()->GetCursor(), CursorShape::SizeAll);
    SendMessage(host.GetHwnd(), WM_NCHITTEST, 0, MakePointLParam(220, 30));
    SendMessage(host.GetHwnd(), WM_SETCURSOR, 0, HTCLIENT | (WM_MOUSEMOVE << 16));
    EXPECT_EQ(host.GetNativeWindow()->GetCursor(), CursorShape::Arrow);
    SendMessage(host.GetHwnd(), WM_SETCURSOR, 0, HTBOTTOMRIGHT);
    EXPECT_EQ(host.GetNativeWindow()->GetCursor(), CursorShape::SizeNWSE);
}

TEST_F(HostFixture, NotificationsBubbleToTheHost) {
    NotifyRecord record{&button1, 101, 42};
    SendControlMessage(&button1, DUI_NOTIFY, 101, 0);  // a plain control answers 0 itself
    EXPECT_EQ(SendControlMessage(&panel, DUI_NOTIFY, 101, reinterpret_cast<LPARAM>(&record)), 0);
    EXPECT_EQ(record.sender, &button1);  // forwarded unchanged through a container with a parent
    EXPECT_EQ(GetHost(&label), host.GetHwnd());
    TestControl orphan(0);
    EXPECT_EQ(GetHost(&orphan), nullptr);
    Point offset{-1, -1};
    EXPECT_EQ(SendControlMessage(&host, DUI_QUERYHOST, 0, reinterpret_cast<LPARAM>(&offset)),
              reinterpret_cast<LRESULT>(host.GetHwnd()));
    EXPECT_EQ(offset, (Point{0, 0}));
}

TEST(ControlModelTest, ChildListsRefuseCyclesAndAlphaKeeps254) {
    TestPanel outer(0), inner(0);
    inner.SetParent(&outer);
    EXPECT_EQ(inner.GetParent(), &outer);
    EXPECT_FALSE(inner.AddChild(&outer));
    EXPECT_FALSE(inner.AddChild(&inner));
    EXPECT_FALSE(inner.AddChild(nullptr));
    outer.SetParent(&inner);
    EXPECT_EQ(outer.GetParent(), nullptr);
    TestControl c(0);
    c.SetName(u"Play");
    c.SetParent(&inner);
    EXPECT_EQ(inner.FindChild(u"Play"), &c);
    EXPECT_EQ(inner.FindChild(u"play"), nullptr);
    c.SetAlpha(255);
    EXPECT_EQ(c.GetAlpha(), 254);
    inner.SetGroupAlpha(255);
    EXPECT_EQ(inner.GetGroupAlpha(), 255);
    {
        TestControl temporary(0);
        temporary.SetParent(&inner);
        EXPECT_EQ(inner.Children().size(), 2u);
    }
    EXPECT_EQ(inner.Children().size(), 1u);  // a deleted child leaves the list
    c.SetParent(&outer);  // moving to another parent leaves the former one
    EXPECT_EQ(inner.Children().size(), 0u);
    EXPECT_EQ(outer.Children().size(), 2u);
    EXPECT_EQ(c.GetParent(), &outer);
}

namespace {
// A window whose controls take their places from a skin: made in its creation handler, named,
// then skinned by the host.
class SkinnedHost : public TestHost {
public:
    SkinnedHost() { SetName(u"TestWnd"); }
    bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (msg == DUI_CREATE) {
            panel.SetName(u"MainPanel");
            panel.Create(u"", {}, this, 1);
            play.SetName(u"PlayBtn");
            play.Create(u"", {}, &panel, 101);
            stop.SetName(u"StopBtn");
            stop.Create(u"", {}, &panel, 102);
            title.SetName(u"Title");
            title.Create(u"洛新收音机", {}, &panel, 103);
        }
        if (msg == DUI_PROPERTIESLOADED) propertiesLoaded = true;
        return TestHost::ProcessMessage(msg, wParam, lParam, result);
    }
    TestPanel panel{kPanelColour};
    TestButton play{kButton1Colour, true};
    TestButton stop{kButton2Colour, true};
    TestControl title{kLabelColour};
    bool propertiesLoaded = false;
};
}  // namespace

TEST(SkinnedHostTest, ControlsTakeTheirPlacesAndFontsFromTheSkin) {
    const std::string definition =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<skin version=\"6\" name=\"test\" FontName=\"Tahoma\" FontSize=\"12\" FontColor=\"$FF112233\">"
        "<Common/><Normal>"
        "<TestWnd Position=\"0,0,320,240\" MaxWidth=\"800\" MaxHeight=\"-1\">"
        "<MainPanel Position=\"10,10,300,220\" Anchors=\"left,top\">"
        "<PlayBtn Position=\"10,10,60,24\"/>"
        "<StopBtn Position=\"230,10,60,24\" Anchors=\"right\"/>"
        "<Title Position=\"0,190,100,20\" Anchors=\"left,right,bottom\"/>"
        "</MainPanel></TestWnd></Normal></skin>";
    const std::string path = testsupport::TempRoot() + "/layout.zip";
    ASSERT_TRUE(skintest::WriteZip(path, {{"SkinResDef.xml", definition}}));
    CSkinLoader loader;
    ASSERT_TRUE(loader.LoadSkin(Utf8ToUtf16(path)));

    SkinnedHost host;
    ASSERT_TRUE(host.CreateHostWindow(nullptr, {0, 0, 100, 100}, {}, &loader));
    EXPECT_TRUE(host.propertiesLoaded);
    EXPECT_EQ(host.GetNativeWindow()->Geometry(), (Rect{0, 0, 320, 240}));
    EXPECT_EQ(host.GetMinTrackSize(), (Size{320, 240}));
    EXPECT_EQ(host.GetMaxTrackSize(), (Size{800, -1}));
    EXPECT_EQ(host.panel.GetRect(), (Rect{10, 10, 300, 220}));
    EXPECT_EQ(host.play.GetRect(), (Rect{10, 10, 60, 24}));
    EXPECT_EQ(host.stop.GetRect(), (Rect{230, 10, 60, 24}));
    EXPECT_EQ(host.title.GetRect(), (Rect{100, 190, 100, 20}));
    EXPECT_EQ(host.title.GetAnchors(), ANCHOR_HCENTRE | ANCHOR_BOTTOM);
    const FontSpec font = host.title.GetFont();
    EXPECT_EQ(font.family, u"tahoma");  // property strings come lower-cased
    EXPECT_EQ(font.size, 12.0f);

    host.GetNativeWindow()->SetGeometry({0, 0, 420, 260});
    EXPECT_EQ(host.panel.GetRect(), (Rect{10, 10, 400, 240}));
    EXPECT_EQ(host.stop.GetRect(), (Rect{330, 10, 60, 24}));
    EXPECT_EQ(host.title.GetRect(), (Rect{150, 210, 100, 20}));

    // A click on the skinned button reaches the window as one command.
    SendMessage(host.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MakePointLParam(25, 25));
    SendMessage(host.GetHwnd(), WM_LBUTTONUP, 0, MakePointLParam(25, 25));
    EXPECT_EQ(host.commands, std::vector<int>{101});
    host.DestroyHostWindow();
}

TEST_F(HostFixture, AlphaChangesInvalidateOnlyWhenTheStoredValueChanges) {
    host.UpdateWindow();
    button1.SetAlpha(255);  // stored as 254, the default: nothing changes
    EXPECT_TRUE(host.GetWindowDirtyRect().IsEmpty());
    button1.SetAlpha(128);
    EXPECT_EQ(host.GetWindowDirtyRect(), (Rect{20, 20, 60, 24}));
    host.UpdateWindow();
    button1.SetAlpha(128);
    EXPECT_TRUE(host.GetWindowDirtyRect().IsEmpty());
    button1.SetText(u"same");
    host.UpdateWindow();
    button1.SetText(u"same");
    EXPECT_TRUE(host.GetWindowDirtyRect().IsEmpty());
}

TEST(DialogHostTest, DialogBasedHostsGetInitDialogInsteadOfCreate) {
    struct LoggingHost : CWinCtrlImpl {
        bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
            if (msg == DUI_CREATE || msg == DUI_INITDIALOG || msg == DUI_PROPERTIESLOADED) seen.push_back(msg);
            return CWinCtrlImpl::ProcessMessage(msg, wParam, lParam, result);
        }
        std::vector<UINT> seen;
    };
    LoggingHost window, dialog;
    dialog.SetDialogBased(true);
    ASSERT_TRUE(window.CreateHostWindow(nullptr, {0, 0, 50, 50}));
    ASSERT_TRUE(dialog.CreateHostWindow(nullptr, {0, 0, 50, 50}));
    EXPECT_EQ(window.seen, (std::vector<UINT>{DUI_CREATE, DUI_PROPERTIESLOADED}));
    EXPECT_EQ(dialog.seen, (std::vector<UINT>{DUI_INITDIALOG}));
}
