// Native windows offscreen: Qt input becomes the original platform's messages (hit test, cursor
// request, client message; key codes and modifier flags), sizes reach the procedure, and the Qt
// pump serves Qt events and cross-thread posts while our loop waits.
#include "platform/gui/NativeWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <thread>
#include <vector>

#include "platform/gui/GuiApplication.h"
#include "platform/gui/Input.h"
#include "tests/support/TestSupport.h"

namespace {
struct Logged {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class RecordingProc : public IWindowProc {
public:
    LRESULT WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) override {
        log.push_back({msg, wParam, lParam});
        if (msg == WM_NCHITTEST) return hit;
        if (msg == WM_SETCURSOR) return 0;
        return 0;
    }
    std::vector<Logged> Of(UINT msg) const {
        std::vector<Logged> out;
        for (const Logged& l : log)
            if (l.msg == msg) out.push_back(l);
        return out;
    }
    std::vector<Logged> log;
    LRESULT hit = HTCLIENT;
};

QWidget* WidgetTitled(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == title) return w;
    return nullptr;
}

class NativeWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureGuiApplication();
        hwnd = CreateMessageWindow(&proc);
        window = std::make_unique<NativeWindow>(hwnd);
        window->SetTitle(u"native-test");
        window->SetGeometry({50, 60, 200, 100});
        window->Show();
        widget = WidgetTitled("native-test");
        ASSERT_TRUE(widget);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
        proc.log.clear();
    }
    void TearDown() override {
        window.reset();
        DestroyWindow(hwnd);
    }
    RecordingProc proc;
    HWND hwnd = nullptr;
    std::unique_ptr<NativeWindow> window;
    QWidget* widget = nullptr;
};
}  // namespace

TEST(InputTest, QtKeysMapToVirtualKeyCodes) {
    const struct {
        int key;
        bool keypad;
        uint32_t vk;
    } cases[] = {
        {Qt::Key_A, false, 'A'},         {Qt::Key_Z, false, 'Z'},          {Qt::Key_5, false, '5'},
        {Qt::Key_5, true, VK_NUMPAD0 + 5}, {Qt::Key_F1, false, VK_F1},     {Qt::Key_F12, false, VK_F1 + 11},
        {Qt::Key_Return, false, VK_RETURN}, {Qt::Key_Enter, true, VK_RETURN}, {Qt::Key_Escape, false, VK_ESCAPE},
        {Qt::Key_Space, false, VK_SPACE}, {Qt::Key_Left, false, VK_LEFT},  {Qt::Key_PageDown, false, VK_NEXT},
        {Qt::Key_Delete, false, VK_DELETE}, {Qt::Key_Control, false, VK_CONTROL}, {Qt::Key_Alt, false, VK_MENU},
        {Qt::Key_Exclam, false, '1'},     {Qt::Key_Plus, false, VK_OEM_PLUS}, {Qt::Key_Plus, true, VK_ADD},
        {Qt::Key_Comma, false, VK_OEM_COMMA}, {Qt::Key_MediaNext, false, VK_MEDIA_NEXT_TRACK},
        {Qt::Key_VolumeUp, false, VK_VOLUME_UP}, {Qt::Key_unknown, false, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(VirtualKeyFromQtKey(c.key, c.keypad), c.vk) << std::hex << c.key;
    EXPECT_EQ(PointFromLParam(MakePointLParam(-3, 70000 & 0x7FFF)), (Point{-3, 70000 & 0x7FFF}));
}

TEST_F(NativeWindowTest, MousePressBecomesHitTestCursorRequestAndClientMessage) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::ControlModifier, QPoint(12, 34));
    ASSERT_GE(proc.log.size(), 3u);
    EXPECT_EQ(proc.log[0].msg, WM_NCHITTEST);
    EXPECT_EQ(PointFromLParam(proc.log[0].lParam), (Point{50 + 12, 60 + 34}));  // screen point
    EXPECT_EQ(proc.log[1].msg, WM_SETCURSOR);
    EXPECT_EQ(proc.log[1].lParam, static_cast<LPARAM>(HTCLIENT | (WM_LBUTTONDOWN << 16)));
    EXPECT_EQ(proc.log[2].msg, WM_LBUTTONDOWN);
    EXPECT_EQ(proc.log[2].wParam, MK_LBUTTON | MK_CONTROL);
    EXPECT_EQ(PointFromLParam(proc.log[2].lParam), (Point{12, 34}));
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, QPoint(15, 30));
    const auto up = proc.Of(WM_LBUTTONUP);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].wParam, 0u);
    EXPECT_EQ(PointFromLParam(up[0].lParam), (Point{15, 30}));
}

TEST_F(NativeWindowTest, PressesOnTheCaptionOrFrameGoToTheWindowSystem) {
    proc.hit = HTCAPTION;
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(proc.Of(WM_LBUTTONDOWN).empty());
    proc.hit = HTBOTTOMRIGHT;
    QTest::mouseMove(widget, QPoint(198, 98));
    EXPECT_EQ(window->GetCursor(), CursorShape::SizeNWSE);  // the procedure set no cursor
}

TEST_F(NativeWindowTest, KeysCarryVirtualKeyCodesAndCharacters) {
    QTest::keyClicks(widget, "A");
    const auto down = proc.Of(WM_KEYDOWN);
    ASSERT_FALSE(down.empty());
    EXPECT_EQ(down.back().wParam, static_cast<WPARAM>('A'));
    const auto chars = proc.Of(WM_CHAR);
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>('A'));
    const auto up = proc.Of(WM_KEYUP);
    ASSERT_FALSE(up.empty());
    EXPECT_NE(up.back().lParam & (LPARAM{1} << 31), 0);
    proc.log.clear();
    QTest::keyClick(widget, Qt::Key_X, Qt::AltModifier);
    // Alt itself, then X: both system keys carrying the Alt context bit.
    const auto sys = proc.Of(WM_SYSKEYDOWN);
    ASSERT_EQ(sys.size(), 2u);
    EXPECT_EQ(sys[0].wParam, static_cast<WPARAM>(VK_MENU));
    EXPECT_EQ(sys[1].wParam, static_cast<WPARAM>('X'));
    EXPECT_NE(sys[1].lParam & (LPARAM{1} << 29), 0);
    EXPECT_TRUE(proc.Of(WM_CHAR).empty());
}

TEST_F(NativeWindowTest, SizeSurfaceFlagsAndShape) {
    window->SetGeometry({50, 60, 300, 120});
    const auto sizes = proc.Of(WM_SIZE);
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(PointFromLParam(sizes.back().lParam), (Point{300, 120}));
    EXPECT_EQ(window->GetSurface().Width(), 300);
    EXPECT_EQ(window->GetSurface().Height(), 120);
    window->SetFlags(NativeWindow::kTopmost | NativeWindow::kTool);
    EXPECT_TRUE(widget->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window->IsVisible());
    window->SetOpacity(128);
    EXPECT_NEAR(widget->windowOpacity(), 0.5, 0.01);
    window->SetShape(NativeWindow::Shape::Region);
    window->SetRegion({{0, 0, 10, 10}});
    EXPECT_EQ(widget->mask().boundingRect(), QRect(0, 0, 10, 10));
    window->SetRegion({});
    EXPECT_TRUE(widget->mask().isEmpty());
    window->Minimize();
    EXPECT_TRUE(window->IsMinimized());
    window->Restore();
    EXPECT_FALSE(window->IsMinimized());
}

TEST_F(NativeWindowTest, PresentedAreasReachTheScreenAndLostOnesAreAskedFor) {
    QApplication::processEvents();
    proc.log.clear();
    window->GetSurface().Fill({0, 0, 200, 100}, 0xFF00FF00);
    window->Present({0, 0, 20, 20});
    QApplication::processEvents();
    // Presented: on the screen without asking the procedure to paint again.
    EXPECT_TRUE(proc.Of(WM_PAINT).empty());
    const QImage screen = widget->grab(QRect(0, 0, 40, 40)).toImage();
    EXPECT_EQ(screen.pixel(5, 5), 0xFF00FF00u);
    // An area the window system lost is asked for, with its rectangle.
    widget->update(QRect(30, 30, 10, 10));
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            QApplication::processEvents();
            return !proc.Of(WM_PAINT).empty();
        },
        5000));
    QTest::mouseMove(widget, QPoint(10, 10));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
    EXPECT_EQ(proc.Of(WM_MOUSELEAVE).size(), 1u);
}

TEST(QtPumpTest, OurWaitsServeQtEventsAndWakeForPostsFromOtherThreads) {
    InstallQtPump();
    RecordingProc proc;
    HWND hwnd = CreateMessageWindow(&proc);
    bool qtTimerRan = false;
    QTimer::singleShot(10, [&] { qtTimerRan = true; });
    // Nothing of ours is queued: the wait runs Qt's loop until the timer and then the post.
    std::thread poster([&] {
        while (!qtTimerRan) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PostMessage(hwnd, WM_USER + 1, 7, 0);
    });
    MSG msg;
    ASSERT_TRUE(GetMessage(&msg));
    poster.join();
    EXPECT_TRUE(qtTimerRan);
    EXPECT_EQ(msg.message, WM_USER + 1);
    EXPECT_EQ(msg.wParam, 7u);
    // A nested modal loop inside a Qt event handler still gets our messages.
    bool done = false;
    QTimer::singleShot(0, [&] {
        PostMessage(hwnd, WM_USER + 2, 0, 0);
        MessageLoop inner;
        struct Quit : IMessageFilter {
            bool* done;
            bool PreTranslateMessage(MSG* m) override {
                if (m->message == WM_USER + 2) *done = true;
                return false;
            }
        } filter;
        filter.done = &done;
        inner.AddMessageFilter(&filter);
        inner.RunModal(&done);
    });
    EXPECT_TRUE(testsupport::WaitUntil([&] { return done; }, 5000));
    SetThreadPump(nullptr);
    DestroyWindow(hwnd);
}
