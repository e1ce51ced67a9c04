// CWinCtrlImpl: creation and destruction of the host window, input routing (pointer, keys,
// focus, cursor, native hit testing), the framework timers and dirty-rectangle painting.
// Sections: lifetime - window procedure - control messages - painting - input - timers.
#include "directui/WinCtrlImpl.h"

#include <algorithm>
#include <unordered_map>

#include "directui/SkinLoader.h"
#include "platform/Sync.h"
#include "platform/gui/Input.h"

namespace {
thread_local std::unordered_map<HWND, CWinCtrlImpl*> t_hosts;

// Posted to the host itself when something became dirty: painting happens once the queue is
// served, however many invalidations came before.
constexpr UINT kDeferredPaint = 0x7FE0;
// The 30 ms tick that runs the framework timers while any are live.
constexpr UINT_PTR kTickTimerId = 0x7FE1;
constexpr uint32_t kTickMs = 30;
}  // namespace

// ---------------------------------------------------------------------------------------------
// Lifetime

CWinCtrlImpl::CWinCtrlImpl() {
    m_groupAlpha = 255;
    m_paintInPlace = true;
}

CWinCtrlImpl::~CWinCtrlImpl() { DestroyHostWindow(); }

CWinCtrlImpl* CWinCtrlImpl::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto it = t_hosts.find(hwnd);
    return it == t_hosts.end() ? nullptr : it->second;
}

bool CWinCtrlImpl::CreateHostWindow(HWND owner, const Rect& screenRect, std::u16string_view title,
                                    CSkinLoader* loader, uint32_t nativeFlags) {
    if (m_hwnd) return false;
    m_hwnd = CreateMessageWindow(this, title);
    if (!m_hwnd) return false;
    t_hosts[m_hwnd] = this;
    m_native = std::make_unique<NativeWindow>(m_hwnd, owner);
    m_native->SetFlags(nativeFlags);
    m_native->SetTitle(title);
    SetShapeMode(m_shapeMode);
    m_loader = loader;
    if (m_loader) m_loader->AddRoot(this);
    m_native->SetGeometry(screenRect);
    const std::u16string typeName(GetTypeName());
    const CreateRecord record{m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_text.c_str(), typeName.c_str()};
    if (m_dialogBased) {
        SendControlMessage(this, DUI_INITDIALOG, 0, 0);
    } else {
        SendControlMessage(this, DUI_CREATE, 0, reinterpret_cast<LPARAM>(&record));
    }
    if (m_loader) LoadSkinProperties(m_loader, true, 0);
    if (!m_dialogBased) SendControlMessage(this, DUI_PROPERTIESLOADED, 0, 0);
    return true;
}

void CWinCtrlImpl::DestroyHostWindow() {
    if (!m_hwnd) return;
    SendControlMessage(this, DUI_DESTROY, 0, 0);
    if (m_loader) m_loader->RemoveRoot(this);
    m_loader = nullptr;
    if (m_tickRunning) ::KillTimer(m_hwnd, kTickTimerId);
    m_tickRunning = false;
    m_timers.clear();
    m_focus = m_capture = m_hover = nullptr;
    m_native.reset();
    const HWND hwnd = m_hwnd;
    t_hosts.erase(hwnd);
    m_hwnd = nullptr;
    DestroyWindow(hwnd);
}

void CWinCtrlImpl::LoadSkinProperties(CSkinLoader* loader, bool applyPosition, int lookupMode) {
    CContainer::LoadSkinProperties(loader, applyPosition, lookupMode);
    if (!loader || !applyPosition) return;
    const CPropertyView node = loader->FindNode(this, m_name, lookupMode);
    Rect position{0, 0, m_minTrack.width, m_minTrack.height};
    int maxWidth = m_maxTrack.width, maxHeight = m_maxTrack.height;
    const bool any = node.GetRect(u"Position", position) | node.GetInt(u"MaxWidth", maxWidth) |
                     node.GetInt(u"MaxHeight", maxHeight);
    if (any) SetTrackSizes({position.width, position.height}, {maxWidth, maxHeight});
}

void CWinCtrlImpl::SetFrameMargins(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    m_frame = {left, top, right, bottom};
    if (!m_native) return;
    const Rect g = m_native->Geometry();
    OnSize(g.width, g.height);
}

void CWinCtrlImpl::SetShapeMode(int mode) {
    m_shapeMode = mode;
    if (!m_native) return;
    m_native->SetShape(mode == 2   ? NativeWindow::Shape::Translucent
                       : mode == 1 ? NativeWindow::Shape::Region
                                   : NativeWindow::Shape::Plain);
}

void CWinCtrlImpl::SetResizable(bool on) { m_style = on ? (m_style | STYLE_SIZEBOX) : (m_style & ~STYLE_SIZEBOX); }

void CWinCtrlImpl::SetTrackSizes(Size minimum, Size maximum) {
    m_minTrack = minimum;
    m_maxTrack = maximum;
    if (!m_native) return;
    const int32_t mw = m_frame.x + m_frame.width, mh = m_frame.y + m_frame.height;
    m_native->SetSizeLimits({minimum.width + mw, minimum.height + mh},
                            {maximum.width > 0 ? maximum.width + mw : 0, maximum.height > 0 ? maximum.height + mh : 0});
}

void CWinCtrlImpl::SetGroupAlpha(uint8_t alpha) {
    m_groupAlpha = alpha;
    if (m_native) m_native->SetOpacity(alpha);
}

void CWinCtrlImpl::SetRect(int32_t, int32_t, int32_t width, int32_t height) {
    if (m_sizing || !m_native) {
        CContainer::SetRect(0, 0, width, height);
        return;
    }
    const Rect g = m_native->Geometry();
    m_native->SetGeometry({g.x, g.y, width + m_frame.x + m_frame.width, height + m_frame.y + m_frame.height});
}

void CWinCtrlImpl::OnSize(int32_t width, int32_t height) {
    m_sizing = true;
    CContainer::SetRect(0, 0, std::max(0, width - m_frame.x - m_frame.width),
                        std::max(0, height - m_frame.y - m_frame.height));
    m_sizing = false;
    m_windowDirty = {0, 0, width, height};
    RequestPaint();
}

void CWinCtrlImpl::ForgetControl(CControl* control) {
    if (m_focus == control) m_focus = nullptr;
    if (m_hover == control) m_hover = nullptr;
    if (m_capture == control) {
        m_capture = nullptr;
        if (m_native) m_native->ReleaseCapture();
    }
    std::erase_if(m_timers, [&](const TimerRecord& t) { return t.target == control; });
}

// ---------------------------------------------------------------------------------------------
// Window procedure

LRESULT CWinCtrlImpl::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK) return OnMouse(msg, wParam, lParam);
    if (msg == WM_MOUSEWHEEL) return OnMouse(msg, wParam, lParam);
    if (msg >= WM_KEYDOWN && msg <= 0x0109) {
        SendControlMessage(m_focus, msg + DUI_NATIVE_BASE, wParam, lParam);
        return 0;
    }
    switch (msg) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            const Point size = PointFromLParam(lParam);
            OnSize(static_cast<uint16_t>(size.x), static_cast<uint16_t>(size.y));
        }
        return 0;
    case WM_PAINT:
        if (lParam) PaintWindow(*reinterpret_cast<const Rect*>(lParam));
        return 0;
    case kDeferredPaint:
        m_paintPosted = false;
        UpdateWindow();
        return 0;
    case WM_MOUSELEAVE: MouseLeft(); return 0;
    case WM_SETFOCUS:
        if (m_focus) {
            SendControlMessage(m_focus, DUI_GOTFOCUS, 0, 0);
        } else {
            MoveFocus(nullptr);
        }
        return 0;
    case WM_KILLFOCUS: SendControlMessage(m_focus, DUI_LOSTFOCUS, 0, 0); return 0;
    case WM_SETCURSOR: return OnSetCursor(lParam);
    case WM_NCHITTEST: return OnNcHitTest(PointFromLParam(lParam));
    case WM_CAPTURECHANGED: m_capture = nullptr; return 0;
    case WM_TIMER:
        if (wParam == kTickTimerId) {
            RunTimerPass(GetTickCount());
            UpdateWindow();
        }
        return 0;
    case WM_CLOSE: PostMessage(m_hwnd, DUI_CLOSE, 0, 0); return 0;
    case DUI_CLOSE:
        if (m_native) m_native->Hide();
        return 0;
    case WM_SYSCOMMAND:
        if (m_native && wParam == SC_MINIMIZE) m_native->Minimize();
        if (m_native && wParam == SC_RESTORE) m_native->Restore();
        return 0;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Control messages

bool CWinCtrlImpl::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case DUI_QUERYHOST:
        if (!m_hwnd) break;
        if (lParam) *reinterpret_cast<Point*>(lParam) = {m_frame.x, m_frame.y};
        result = reinterpret_cast<LRESULT>(m_hwnd);
        return true;
    case DUI_CAPTURE:
        m_capture = reinterpret_cast<CControl*>(wParam);
        if (m_native) {
            if (m_capture) {
                m_native->SetCapture();
            } else {
                m_native->ReleaseCapture();
            }
        }
        result = 1;
        return true;
    case DUI_SETTIMER: {
        const auto* record = reinterpret_cast<const TimerRecord*>(wParam);
        result = 0;
        if (!record) return true;
        auto it = std::find_if(m_timers.begin(), m_timers.end(),
                               [&](const TimerRecord& t) { return t.target == record->target && t.id == record->id; });
        if (it == m_timers.end()) {
            m_timers.push_back(*record);
            m_timers.back().killed = false;
            result = 1;
        } else if (it->killed) {
            *it = *record;
            it->killed = false;
        }
        UpdateTick();
        return true;
    }
    case DUI_KILLTIMER: {
        result = 0;
        for (TimerRecord& t : m_timers) {
            if (t.target == reinterpret_cast<CControl*>(wParam) && t.id == static_cast<UINT_PTR>(lParam) && !t.killed) {
                t.killed = true;
                result = 1;
            }
        }
        return true;
    }
    case DUI_FOCUSREQUEST:
        MoveFocus(reinterpret_cast<CControl*>(wParam));
        result = 1;
        return true;
    case DUI_COMMAND:
    case DUI_NOTIFY: result = 0; return true;
    default: break;
    }
    return CContainer::ProcessMessage(msg, wParam, lParam, result);
}

void CWinCtrlImpl::Validate(const Rect* rect) {
    if (!rect || rect->Contains(m_windowDirty.Offset(-m_frame.x, -m_frame.y))) m_windowDirty = {};
    CContainer::Validate(rect);
}

// ---------------------------------------------------------------------------------------------
// Painting

void CWinCtrlImpl::InvalidateWindowRect(const Rect& rootRect) {
    if (m_pushing || !m_native) return;
    const Surface& s = m_native->GetSurface();
    const Rect r = rootRect.Offset(m_frame.x, m_frame.y).Intersect({0, 0, s.Width(), s.Height()});
    if (r.IsEmpty()) return;
    m_windowDirty = m_windowDirty.Union(r);
    RequestPaint();
}

void CWinCtrlImpl::RequestPaint() {
    if (m_paintPosted || !m_hwnd || m_windowDirty.IsEmpty()) return;
    m_paintPosted = PostMessage(m_hwnd, kDeferredPaint, 0, 0);
}

void CWinCtrlImpl::PaintWindow(const Rect& windowRect) {
    m_windowDirty = m_windowDirty.Union(windowRect);
    UpdateWindow();
}

void CWinCtrlImpl::UpdateWindow() {
    if (!m_native) return;
    Surface& surface = m_native->GetSurface();
    const Rect dirty = m_windowDirty.Intersect({0, 0, surface.Width(), surface.Height()});
    m_windowDirty = {};
    if (dirty.IsEmpty()) return;
    // Every control the area touches becomes dirty, so that containers compose whole pictures.
    m_pushing = true;
    PushInvalidate(dirty.Offset(-m_frame.x, -m_frame.y));
    m_pushing = false;
    surface.Fill(dirty, 0);
    if (m_visible) {
        Graphics g(surface);
        g.IntersectClip(dirty);
        g.Translate(m_frame.x, m_frame.y);
        CContainer::Paint(g);
    }
    m_native->Present(dirty);
}

// ---------------------------------------------------------------------------------------------
// Input

void CWinCtrlImpl::MoveFocus(CControl* control) {
    CControl* asked = control ? control : this;
    auto* next = reinterpret_cast<CControl*>(SendControlMessage(asked, DUI_QUERYFOCUSTARGET, 0, 0));
    CControl* old = m_focus;
    m_focus = next;
    if (old && old != next) SendControlMessage(old, DUI_LOSTFOCUS, 0, 0);
    if (next) SendControlMessage(next, DUI_GOTFOCUS, 0, 0);
}

LRESULT CWinCtrlImpl::OnMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MOUSEWHEEL) {
        SendControlMessage(m_focus, DUI_MOUSEWHEEL, wParam, lParam);
        return 0;
    }
    const Point pt = ToRoot(PointFromLParam(lParam));
    CControl* target = m_capture ? m_capture : HitTest(pt, HIT_VISIBLE_ENABLED);
    if (msg == WM_MOUSEMOVE) {
        if (!m_hover) SendControlMessage(this, DUI_MOUSEENTER, 0, MakePointLParam(pt.x, pt.y));
        if (m_hover && m_hover != target && m_hover != this) SendControlMessage(m_hover, DUI_MOUSELEAVE, 0, 1);
        if (target && target != m_hover && target != this) SendControlMessage(target, DUI_MOUSEENTER, 0, 0);
    }
    m_hover = target;
    if (!target) return 0;
    if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) MoveFocus(target);
    if (msg == WM_LBUTTONUP) {
        CControl* under = HitTest(pt, HIT_VISIBLE_ENABLED);
        if (under != target) {
            SendControlMessage(target, DUI_MOUSELEAVE, 0, 0);
            m_hover = under;
        }
    }
    Point local = pt;
    target->HostToLocal(local);
    SendControlMessage(target, msg + DUI_NATIVE_BASE, wParam, MakePointLParam(local.x, local.y));
    return 0;
}

void CWinCtrlImpl::MouseLeft() {
    CControl* hover = m_hover;
    m_hover = nullptr;
    if (hover) SendControlMessage(hover, DUI_MOUSELEAVE, 0, 1);
    if (hover != this) SendControlMessage(this, DUI_MOUSELEAVE, 0, 0);
}

LRESULT CWinCtrlImpl::OnNcHitTest(Point screen) {
    const Rect g = m_native ? m_native->Geometry() : Rect{};
    m_lastPoint = {screen.x - g.x, screen.y - g.y};
    const Point pt = ToRoot(m_lastPoint);
    if (m_style & STYLE_SIZEBOX) {
        // 5-pixel zones along the root's edges, tested with the point moved by one.
        const Point p{pt.x + 1, pt.y + 1};
        const int32_t w = m_rect.width, h = m_rect.height;
        if (Rect{0, 0, 5, 5}.Contains(p)) return HTTOPLEFT;
        if (Rect{w - 4, 0, 5, 5}.Contains(p)) return HTTOPRIGHT;
        if (Rect{w - 4, h - 4, 5, 5}.Contains(p)) return HTBOTTOMRIGHT;
        if (Rect{0, h - 4, 5, 5}.Contains(p)) return HTBOTTOMLEFT;
        if (Rect{0, 0, w, 5}.Contains(p)) return HTTOP;
        if (Rect{0, h - 4, w, 5}.Contains(p)) return HTBOTTOM;
        if (Rect{0, 0, 5, h}.Contains(p)) return HTLEFT;
        if (Rect{w - 4, 0, 5, h}.Contains(p)) return HTRIGHT;
    }
    if (!GetClientRect().Contains(pt)) return HTNOWHERE;
    for (CControl* c = HitTest(pt, HIT_VISIBLE_ENABLED); c; c = c->GetParent()) {
        Point local = pt;
        c->HostToLocal(local);
        if (SendControlMessage(c, DUI_NCHITTEST, 0, MakePointLParam(local.x, local.y)) == 1) break;
    }
    return HTCLIENT;
}

LRESULT CWinCtrlImpl::OnSetCursor(LPARAM lParam) {
    if (!m_native) return 0;
    const LRESULT ht = static_cast<LRESULT>(LoWord(static_cast<uintptr_t>(lParam)));
    switch (ht) {
    case HTCLIENT: {
        const Point pt = ToRoot(m_lastPoint);
        CControl* target = m_capture ? m_capture : HitTest(pt, HIT_VISIBLE_ENABLED);
        Point local = pt;
        if (target) target->HostToLocal(local);
        const LPARAM code = 1 | static_cast<LPARAM>(HiWord(static_cast<uintptr_t>(lParam)) << 16);
        if (!target || !SendControlMessage(target, DUI_SETCURSOR, static_cast<WPARAM>(MakePointLParam(local.x, local.y)), code)) {
            if (m_native) m_native->SetCursor(CursorShape::Arrow);
        }
        return 1;
    }
    case HTLEFT: case HTRIGHT: m_native->SetCursor(CursorShape::SizeWE); return 1;
    case HTTOP: case HTBOTTOM: m_native->SetCursor(CursorShape::SizeNS); return 1;
    case HTTOPLEFT: case HTBOTTOMRIGHT: m_native->SetCursor(CursorShape::SizeNWSE); return 1;
    case HTTOPRIGHT: case HTBOTTOMLEFT: m_native->SetCursor(CursorShape::SizeNESW); return 1;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Timers

void CWinCtrlImpl::RunTimerPass(uint32_t now) {
    std::erase_if(m_timers, [](const TimerRecord& t) { return t.killed; });
    const size_t count = m_timers.size();
    for (size_t i = 0; i < count && i < m_timers.size(); ++i) {
        TimerRecord& t = m_timers[i];
        if (t.killed || now - t.lastTick < t.elapse) continue;
        t.lastTick = now;
        // Copies: the handler may add or kill timers (the vector may move).
        const TimerRecord fired = t;
        if (fired.callback) {
            fired.callback(fired.userData);
        } else {
            SendControlMessage(fired.target, DUI_TIMER, fired.id, static_cast<LPARAM>(fired.userData));
        }
    }
    UpdateTick();
}

void CWinCtrlImpl::UpdateTick() {
    if (!m_hwnd) return;
    const bool live = std::any_of(m_timers.begin(), m_timers.end(), [](const TimerRecord& t) { return !t.killed; });
    if (live && !m_tickRunning) {
        m_tickRunning = ::SetTimer(m_hwnd, kTickTimerId, kTickMs) != 0;
    } else if (!live && m_tickRunning) {
        ::KillTimer(m_hwnd, kTickTimerId);
        m_tickRunning = false;
    }
}
