// NativeWindow: a frameless QWidget per handle. Each Qt event becomes the message the original
// platform sends (hit test, cursor request, then the client mouse message; key down, then one
// WM_CHAR per UTF-16 unit), sent synchronously to the handle's procedure.
// Sections: widget - compositor probe - NativeWindow.
#include "platform/gui/NativeWindow.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <dlfcn.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <unordered_map>

#include "platform/gui/GuiApplication.h"
#include "platform/gui/Input.h"

namespace {
thread_local std::unordered_map<HWND, NativeWindow*> t_windows;

QRect ToQ(const Rect& r) { return QRect(r.x, r.y, r.width, r.height); }

Qt::CursorShape ToQtCursor(CursorShape c) {
    switch (c) {
    case CursorShape::Hand: return Qt::PointingHandCursor;
    case CursorShape::SizeAll: return Qt::SizeAllCursor;
    case CursorShape::SizeWE: return Qt::SizeHorCursor;
    case CursorShape::SizeNS: return Qt::SizeVerCursor;
    case CursorShape::SizeNWSE: return Qt::SizeFDiagCursor;
    case CursorShape::SizeNESW: return Qt::SizeBDiagCursor;
    case CursorShape::IBeam: return Qt::IBeamCursor;
    case CursorShape::Wait: return Qt::WaitCursor;
    case CursorShape::Arrow: break;
    }
    return Qt::ArrowCursor;
}

// The cursor the original platform shows over a frame part.
CursorShape CursorForHitTest(LRESULT ht) {
    switch (ht) {
    case HTLEFT: case HTRIGHT: return CursorShape::SizeWE;
    case HTTOP: case HTBOTTOM: return CursorShape::SizeNS;
    case HTTOPLEFT: case HTBOTTOMRIGHT: return CursorShape::SizeNWSE;
    case HTTOPRIGHT: case HTBOTTOMLEFT: return CursorShape::SizeNESW;
    default: return CursorShape::Arrow;
    }
}

Qt::Edges EdgesForHitTest(LRESULT ht) {
    switch (ht) {
    case HTLEFT: return Qt::LeftEdge;
    case HTRIGHT: return Qt::RightEdge;
    case HTTOP: return Qt::TopEdge;
    case HTBOTTOM: return Qt::BottomEdge;
    case HTTOPLEFT: return Qt::TopEdge | Qt::LeftEdge;
    case HTTOPRIGHT: return Qt::TopEdge | Qt::RightEdge;
    case HTBOTTOMLEFT: return Qt::BottomEdge | Qt::LeftEdge;
    case HTBOTTOMRIGHT: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}

WPARAM KeyStateFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    WPARAM w = 0;
    if (buttons & Qt::LeftButton) w |= MK_LBUTTON;
    if (buttons & Qt::RightButton) w |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) w |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) w |= MK_SHIFT;
    if (mods & Qt::ControlModifier) w |= MK_CONTROL;
    return w;
}

// Message of a button event: offset 0 down, 1 up, 2 double click.
UINT ButtonMessage(Qt::MouseButton button, int offset) {
    switch (button) {
    case Qt::LeftButton: return WM_LBUTTONDOWN + offset;
    case Qt::RightButton: return WM_RBUTTONDOWN + offset;
    case Qt::MiddleButton: return WM_MBUTTONDOWN + offset;
    default: return 0;
    }
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Widget

class NativeWindowWidget final : public QWidget {
public:
    explicit NativeWindowWidget(NativeWindow* window) : window_(window) {
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_NoSystemBackground);
        if (NativeWindow::IsCompositing()) setAttribute(Qt::WA_TranslucentBackground);
    }

    // Cut from its NativeWindow (which is being destroyed); deleted once no event of it runs.
    void Detach() {
        window_ = nullptr;
        hide();
        if (depth_ > 0) {
            deleteLater();
        } else {
            delete this;
        }
    }

    // Marks r as painted by the owner and asks the window system to put it on the screen.
    void Presented(const QRect& r) {
        presented_ += r;
        update(r);
    }

    bool in_paint = false;
    QRect paint_rect;

protected:
    bool event(QEvent* e) override {
        ++depth_;
        const bool r = QWidget::event(e);
        --depth_;
        return r;
    }

    void paintEvent(QPaintEvent* e) override {
        if (!window_) return;
        const QRect r = e->rect();
        // Areas the owner presented are painted in the surface already; only what the window
        // system lost (exposure, first show) is asked of the procedure.
        const bool presented = QRegion(presented_).intersected(e->region()) == e->region();
        presented_ -= e->region();
        if (!presented) {
            const Rect update{r.x(), r.y(), r.width(), r.height()};
            in_paint = true;
            paint_rect = r;
            window_->Send(WM_PAINT, 0, reinterpret_cast<LPARAM>(&update));
            in_paint = false;
            if (!window_) return;
        }
        Surface& s = window_->GetSurface();
        if (s.Width() == 0 || s.Height() == 0) return;
        const QImage image(reinterpret_cast<const uchar*>(s.Data()), s.Width(), s.Height(), s.Width() * 4,
                           QImage::Format_ARGB32_Premultiplied);
        QPainter p(this);
        if (window_->GetShape() == NativeWindow::Shape::Translucent) {
            p.setCompositionMode(QPainter::CompositionMode_Source);
        } else {
            p.fillRect(r, Qt::black);
        }
        p.drawImage(r, image, r);
    }

    void resizeEvent(QResizeEvent*) override {
        if (window_) window_->SetGeometry(window_->Geometry());
    }

    void moveEvent(QMoveEvent*) override {
        if (window_) window_->Send(WM_MOVE, 0, MakePointLParam(x(), y()));
    }

    void mousePressEvent(QMouseEvent* e) override { Mouse(e, ButtonMessage(e->button(), 0)); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Mouse(e, ButtonMessage(e->button(), 2)); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (drag_ != Drag::None && e->button() == Qt::LeftButton) {
            drag_ = Drag::None;
            return;
        }
        Mouse(e, ButtonMessage(e->button(), 1));
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (drag_ != Drag::None) {
            FollowDrag(e->globalPosition().toPoint());
            return;
        }
        Mouse(e, WM_MOUSEMOVE);
    }

    void wheelEvent(QWheelEvent* e) override {
        if (!window_) return;
        const int delta = e->angleDelta().y();
        const QPoint g = e->globalPosition().toPoint();
        const WPARAM w = KeyStateFlags(e->buttons(), e->modifiers()) |
                         (static_cast<WPARAM>(static_cast<uint16_t>(delta)) << 16);
        window_->Send(WM_MOUSEWHEEL, w, MakePointLParam(g.x(), g.y()));
    }

    void leaveEvent(QEvent*) override {
        if (window_ && drag_ == Drag::None) window_->Send(WM_MOUSELEAVE, 0, 0);
    }

    void keyPressEvent(QKeyEvent* e) override { Key(e, true); }
    void keyReleaseEvent(QKeyEvent* e) override { Key(e, false); }

    void focusInEvent(QFocusEvent*) override {
        if (window_) window_->Send(WM_SETFOCUS, 0, 0);
    }
    void focusOutEvent(QFocusEvent*) override {
        if (window_) window_->Send(WM_KILLFOCUS, 0, 0);
    }

    void showEvent(QShowEvent*) override {
        if (window_) window_->Send(WM_SHOWWINDOW, 1, 0);
    }
    void hideEvent(QHideEvent*) override {
        if (window_) window_->Send(WM_SHOWWINDOW, 0, 0);
    }

    void changeEvent(QEvent* e) override {
        if (!window_) return;
        if (e->type() == QEvent::WindowStateChange) {
            const WPARAM kind = isMinimized() ? SIZE_MINIMIZED : isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED;
            window_->Send(WM_SIZE, kind, MakePointLParam(width(), height()));
        } else if (e->type() == QEvent::ActivationChange) {
            window_->Send(WM_ACTIVATE, isActiveWindow() ? 1 : 0, 0);
        }
    }

    void closeEvent(QCloseEvent* e) override {
        // The procedure decides (it may destroy the window); never from inside Qt's handler.
        e->ignore();
        if (window_) PostMessage(window_->Handle(), WM_CLOSE, 0, 0);
    }

private:
    enum class Drag { None, Move, Resize };

    void Mouse(QMouseEvent* e, UINT msg) {
        if (!window_ || msg == 0) return;
        const QPoint local = e->position().toPoint();
        const WPARAM flags = KeyStateFlags(e->buttons(), e->modifiers());
        // While a button is held or the capture is set, input belongs to the client area (no hit
        // test, no cursor request), as under the original platform's capture.
        const bool grabbed = window_->HasCapture() || (e->buttons() & ~e->button()) ||
                             (msg == WM_MOUSEMOVE && e->buttons());
        LRESULT ht = HTCLIENT;
        if (!grabbed && msg != WM_LBUTTONUP && msg != WM_RBUTTONUP && msg != WM_MBUTTONUP) {
            const QPoint g = e->globalPosition().toPoint();
            ht = window_->Send(WM_NCHITTEST, 0, MakePointLParam(g.x(), g.y()));
            if (!window_) return;
            if (ht == HTNOWHERE) ht = HTCLIENT;
            if (!window_->Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window_->Handle()),
                               static_cast<LPARAM>(ht | (static_cast<LPARAM>(msg) << 16)))) {
                if (!window_) return;
                window_->SetCursor(CursorForHitTest(ht));
            }
            if (!window_) return;
        }
        if (ht != HTCLIENT) {
            if (msg == WM_LBUTTONDOWN && ht == HTCAPTION) window_->StartMove();
            if (msg == WM_LBUTTONDOWN && EdgesForHitTest(ht)) window_->StartResize(ht);
            return;
        }
        window_->Send(msg, flags, MakePointLParam(local.x(), local.y()));
    }

    void Key(QKeyEvent* e, bool down) {
        if (!window_) return;
        const bool keypad = e->modifiers() & Qt::KeypadModifier;
        const uint32_t vk = VirtualKeyFromQtKey(e->key(), keypad);
        const bool alt = e->modifiers() & Qt::AltModifier;
        LPARAM l = 1 | (static_cast<LPARAM>(e->nativeScanCode() & 0xFF) << 16);
        if (alt) l |= LPARAM{1} << 29;
        if (e->isAutoRepeat() || !down) l |= LPARAM{1} << 30;
        if (!down) l |= LPARAM{1} << 31;
        const bool sys = alt || vk == VK_F1 + 9;  // F10 and Alt combinations are system keys
        if (vk != 0) {
            window_->Send(down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP), vk, l);
        }
        if (!down || !window_ || sys) return;
        const QString text = e->text();
        for (QChar c : text) {
            if (!window_) return;
            window_->Send(WM_CHAR, c.unicode(), l);
        }
    }

    void FollowDrag(QPoint global) {
        const QPoint d = global - drag_start_;
        if (drag_ == Drag::Move) {
            move(start_geometry_.topLeft() + d);
            return;
        }
        QRect g = start_geometry_;
        if (edges_ & Qt::LeftEdge) g.setLeft(std::min(g.left() + d.x(), g.right() - minimumWidth()));
        if (edges_ & Qt::RightEdge) g.setRight(g.right() + d.x());
        if (edges_ & Qt::TopEdge) g.setTop(std::min(g.top() + d.y(), g.bottom() - minimumHeight()));
        if (edges_ & Qt::BottomEdge) g.setBottom(g.bottom() + d.y());
        setGeometry(g);
    }

public:
    // The window system's move or resize when it has one; else we follow the pointer ourselves.
    void BeginDrag(bool move_window, Qt::Edges edges) {
        QWindow* w = windowHandle();
        if (w && (move_window ? w->startSystemMove() : w->startSystemResize(edges))) return;
        drag_ = move_window ? Drag::Move : Drag::Resize;
        edges_ = edges;
        drag_start_ = QCursor::pos();
        start_geometry_ = geometry();
    }

private:
    NativeWindow* window_;
    QRegion presented_;
    int depth_ = 0;
    Drag drag_ = Drag::None;
    Qt::Edges edges_;
    QPoint drag_start_;
    QRect start_geometry_;
};

// ---------------------------------------------------------------------------------------------
// Compositor probe

namespace {
// An X11 desktop composites when the compositing-manager selection of screen 0 has an owner.
// libxcb is loaded at run time: it is there whenever Qt's X11 plugin runs.
bool X11HasCompositor() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return false;
    void* lib = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!lib) lib = dlopen("libxcb.so.1", RTLD_LAZY);
    if (!lib) return false;
    auto intern = reinterpret_cast<decltype(&xcb_intern_atom)>(dlsym(lib, "xcb_intern_atom"));
    auto intern_reply = reinterpret_cast<decltype(&xcb_intern_atom_reply)>(dlsym(lib, "xcb_intern_atom_reply"));
    auto owner = reinterpret_cast<decltype(&xcb_get_selection_owner)>(dlsym(lib, "xcb_get_selection_owner"));
    auto owner_reply =
        reinterpret_cast<decltype(&xcb_get_selection_owner_reply)>(dlsym(lib, "xcb_get_selection_owner_reply"));
    bool result = false;
    if (intern && intern_reply && owner && owner_reply) {
        xcb_connection_t* c = x11->connection();
        static const char kName[] = "_NET_WM_CM_S0";
        xcb_intern_atom_reply_t* atom = intern_reply(c, intern(c, 0, sizeof(kName) - 1, kName), nullptr);
        if (atom) {
            xcb_get_selection_owner_reply_t* o = owner_reply(c, owner(c, atom->atom), nullptr);
            result = o && o->owner != XCB_NONE;
            free(o);
            free(atom);
        }
    }
    dlclose(lib);
    return result;
}
}  // namespace

bool NativeWindow::IsCompositing() {
    EnsureGuiApplication();
    static const bool compositing = [] {
        const QString platform = QGuiApplication::platformName();
        if (platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("offscreen")) return true;
        if (platform == QLatin1String("xcb")) return X11HasCompositor();
        return false;
    }();
    return compositing;
}

// ---------------------------------------------------------------------------------------------
// NativeWindow

NativeWindow::NativeWindow(HWND hwnd, HWND owner) : hwnd_(hwnd) {
    EnsureGuiApplication();
    widget_ = new NativeWindowWidget(this);
    ApplyFlags();
    if (NativeWindow* o = FromHandle(owner)) {
        widget_->winId();
        o->widget_->winId();
        if (widget_->windowHandle()) widget_->windowHandle()->setTransientParent(o->widget_->windowHandle());
    }
    t_windows[hwnd] = this;
}

NativeWindow::~NativeWindow() {
    t_windows.erase(hwnd_);
    if (captured_) widget_->releaseMouse();
    widget_->Detach();
}

NativeWindow* NativeWindow::FromHandle(HWND hwnd) {
    auto it = t_windows.find(hwnd);
    return it == t_windows.end() ? nullptr : it->second;
}

LRESULT NativeWindow::Send(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The procedure may destroy this window; callers re-check through FromHandle when needed.
    return SendMessage(hwnd_, msg, wParam, lParam);
}

void NativeWindow::SetTitle(std::u16string_view title) {
    widget_->setWindowTitle(QString::fromUtf16(title.data(), static_cast<qsizetype>(title.size())));
}

void NativeWindow::SetGeometry(const Rect& r) {
    const int w = std::max(r.width, 0), h = std::max(r.height, 0);
    if (widget_->geometry() != QRect(r.x, r.y, w, h)) widget_->setGeometry(r.x, r.y, w, h);
    if (surface_.Width() != w || surface_.Height() != h || surface_.Data() == nullptr) {
        surface_.Resize(w, h);
        Send(WM_SIZE, widget_->isMinimized() ? SIZE_MINIMIZED : SIZE_RESTORED, MakePointLParam(w, h));
    }
}

Rect NativeWindow::Geometry() const {
    const QRect g = widget_->geometry();
    return {g.x(), g.y(), g.width(), g.height()};
}

void NativeWindow::SetSizeLimits(Size minimum, Size maximum) {
    widget_->setMinimumSize(std::max(minimum.width, 0), std::max(minimum.height, 0));
    widget_->setMaximumSize(maximum.width > 0 ? maximum.width : QWIDGETSIZE_MAX,
                            maximum.height > 0 ? maximum.height : QWIDGETSIZE_MAX);
}

void NativeWindow::Show(bool activate) {
    widget_->setAttribute(Qt::WA_ShowWithoutActivating, !activate || (flags_ & kNoActivate));
    widget_->show();
    if (activate && !(flags_ & kNoActivate)) {
        widget_->raise();
        widget_->activateWindow();
    }
}

void NativeWindow::Hide() { widget_->hide(); }
bool NativeWindow::IsVisible() const { return widget_->isVisible(); }
void NativeWindow::Minimize() { widget_->showMinimized(); }
void NativeWindow::Restore() { widget_->showNormal(); }
bool NativeWindow::IsMinimized() const { return widget_->isMinimized(); }

void NativeWindow::SetFlags(uint32_t flags) {
    if (flags == flags_) return;
    flags_ = flags;
    ApplyFlags();
}

void NativeWindow::ApplyFlags() {
    const bool visible = widget_->isVisible();
    Qt::WindowFlags f = Qt::FramelessWindowHint | ((flags_ & kTool) ? Qt::Tool : Qt::Window);
    if (flags_ & kTopmost) f |= Qt::WindowStaysOnTopHint;
    if (flags_ & kNoActivate) f |= Qt::WindowDoesNotAcceptFocus;
    widget_->setWindowFlags(f);
    widget_->setFocusPolicy((flags_ & kNoActivate) ? Qt::NoFocus : Qt::StrongFocus);
    if (visible) Show(false);
}

void NativeWindow::SetOpacity(uint8_t opacity) {
    opacity_ = opacity;
    widget_->setWindowOpacity(opacity / 255.0);
}

void NativeWindow::SetShape(Shape shape) {
    if (shape == shape_) return;
    shape_ = shape;
    UpdateMask();
    widget_->update();
}

void NativeWindow::SetRegion(const std::vector<Rect>& rects) {
    region_ = rects;
    UpdateMask();
}

void NativeWindow::UpdateMask() {
    if (shape_ == Shape::Region && !region_.empty()) {
        QRegion region;
        for (const Rect& r : region_) region += ToQ(r);
        widget_->setMask(region);
    } else if (shape_ == Shape::Translucent && !IsCompositing() && surface_.Width() > 0 && surface_.Height() > 0) {
        const QImage image(reinterpret_cast<const uchar*>(surface_.Data()), surface_.Width(), surface_.Height(),
                           surface_.Width() * 4, QImage::Format_ARGB32_Premultiplied);
        widget_->setMask(QBitmap::fromImage(image.createAlphaMask()));
    } else {
        widget_->clearMask();
    }
}

void NativeWindow::Present(const Rect& r) {
    if (r.IsEmpty()) return;
    if (shape_ == Shape::Translucent && !IsCompositing()) UpdateMask();
    if (!widget_->isVisible()) return;
    const QRect q = ToQ(r);
    // The paint in progress puts its own rectangle on the screen; only what lies outside it needs
    // another round.
    if (widget_->in_paint && widget_->paint_rect.contains(q)) return;
    widget_->Presented(q);
}

void NativeWindow::SetCursor(CursorShape cursor) {
    if (cursor == cursor_) return;
    cursor_ = cursor;
    widget_->setCursor(ToQtCursor(cursor));
}

void NativeWindow::SetCapture() {
    if (captured_) return;
    captured_ = true;
    if (widget_->isVisible()) widget_->grabMouse();
}

void NativeWindow::ReleaseCapture() {
    if (!captured_) return;
    captured_ = false;
    if (widget_->isVisible()) widget_->releaseMouse();
    Send(WM_CAPTURECHANGED, 0, 0);
}

void NativeWindow::StartMove() { widget_->BeginDrag(true, {}); }

void NativeWindow::StartResize(LRESULT edge) {
    const Qt::Edges edges = EdgesForHitTest(edge);
    if (edges) widget_->BeginDrag(false, edges);
}

void NativeWindow::SetFocus() {
    if (flags_ & kNoActivate) return;
    widget_->activateWindow();
    widget_->setFocus(Qt::OtherFocusReason);
}

bool NativeWindow::HasFocus() const { return widget_->hasFocus(); }
