// CControl: geometry, invalidation, the default message answers, hit testing, skin properties,
// and the helpers that reach the host (SendControlMessage, GetHost, timers).
#include "directui/Control.h"

#include "directui/SkinLoader.h"
#include "directui/WinCtrlImpl.h"
#include "platform/Sync.h"
#include "platform/gui/Input.h"
#include "platform/gui/NativeWindow.h"

namespace {
// Text is rendered at 96 dots per inch on every screen (Qt scales whole windows on dense
// screens), so the skin's point sizes are kept as they are.
constexpr int kScreenDpiY = 96;

int16_t LowSigned(LPARAM l) { return static_cast<int16_t>(l & 0xFFFF); }
int16_t HighSigned(LPARAM l) { return static_cast<int16_t>((l >> 16) & 0xFFFF); }

bool Accepts(const CControl* c, int mode) {
    switch (mode) {
    case HIT_ANY: return true;
    case HIT_VISIBLE: return c->IsVisible();
    case HIT_ENABLED: return c->IsEnabled();
    case HIT_VISIBLE_ENABLED: return c->IsVisible() && c->IsEnabled();
    default: return false;
    }
}
}  // namespace

CControl::CControl() : m_fontSize(static_cast<float>(864 / kScreenDpiY)) {}

CControl::~CControl() {
    if (CWinCtrlImpl* host = CWinCtrlImpl::FromHandle(GetHost(this))) host->ForgetControl(this);
    if (m_parent) m_parent->RemoveChild(this);
}

void CControl::SetPropertyHook(PropertyHook hook, void* userData) {
    m_propertyHook = hook;
    m_propertyHookData = userData;
}

int32_t CControl::ParseAnchors(std::u16string_view text) {
    auto has = [&](std::u16string_view word) { return text.find(word) != std::u16string_view::npos; };
    int32_t a = 0;
    if (has(u"left") && has(u"right")) {
        a |= ANCHOR_HCENTRE;
    } else if (has(u"left")) {
        a |= ANCHOR_LEFT;
    } else if (has(u"right")) {
        a |= ANCHOR_RIGHT;
    }
    if (has(u"top") && has(u"bottom")) {
        a |= ANCHOR_VCENTRE;
    } else if (has(u"top")) {
        a |= ANCHOR_TOP;
    } else if (has(u"bottom")) {
        a |= ANCHOR_BOTTOM;
    }
    return a;
}

void CControl::LoadSkinProperties(CSkinLoader* loader, bool applyPosition, int lookupMode) {
    if (!loader) return;
    const CPropertyView root = loader->GetRoot();
    m_fontName = u"宋体";
    root.GetString(u"FontName", m_fontName);
    int size = 9;
    root.GetInt(u"FontSize", size);
    m_fontSize = static_cast<float>(size * 96 / kScreenDpiY);
    m_fontStyle = 0;
    root.GetInt(u"FontType", m_fontStyle);
    uint32_t colour = 0xFE000000u;
    if (!root.GetColour(u"FontColor", colour)) colour = loader->TransformColour(colour);
    m_fontColour = colour;

    const CPropertyView node = loader->FindNode(this, m_name, lookupMode);
    if (applyPosition && !node.IsEmpty() && !m_name.empty()) {
        std::u16string anchors;
        if (node.GetString(u"Anchors", anchors)) m_anchors = ParseAnchors(anchors);
        Rect position = m_rect;
        node.GetRect(u"Position", position);
        SetRect(position);
    }
    if (m_propertyHook) m_propertyHook(this, node, m_propertyHookData);
}

bool CControl::ProcessMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    m_messageHandled = 1;
    if (msg == DUI_SETCURSOR && m_moveCursor) {
        SetCursorShape(CursorShape::SizeAll);
        result = 1;
        return true;
    }
    return false;
}

bool CControl::DefProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (msg) {
    case DUI_CREATE: result = 1; break;
    case DUI_MOVED:
        m_rect.x = LowSigned(lParam);
        m_rect.y = HighSigned(lParam);
        result = 1;
        break;
    case DUI_RESIZED: result = 1; break;
    case DUI_NCHITTEST: result = 1; break;
    case DUI_QUERYHOST: result = -1; break;
    case DUI_CAPTURE: result = 1; break;
    case DUI_INVALIDATERECT:
        if (wParam) MarkDirty(*reinterpret_cast<const Rect*>(wParam));
        result = 1;
        break;
    case DUI_13043: result = LoWord(wParam) == 2; break;
    case DUI_DROP:
    case DUI_DRAGOVER:
    case DUI_DRAGLEAVE:
    case DUI_DRAGENTER:
        result = SendControlMessage(m_parent, DUI_NOTIFY, static_cast<WPARAM>(m_id), lParam);
        break;
    case DUI_POINTINSIDE:
        if (lParam && GetClientRect().Contains(PointFromLParam(static_cast<LPARAM>(wParam)))) {
            *reinterpret_cast<int*>(lParam) = 0;
        }
        break;
    case DUI_ANIMATIONSTOPPED:
    case DUI_ANIMATIONSTARTED:
        if (lParam) SendControlMessage(m_parent, DUI_NOTIFY, static_cast<WPARAM>(m_id), lParam);
        result = LoWord(wParam) == 2;
        break;
    default: break;
    }
    return true;
}

void CControl::DrawAt(Graphics& g, const Rect& rect, bool) {
    const Rect saved = m_rect;
    m_rect = rect;
    Draw(g);
    m_rect = saved;
}

void CControl::DrawInState(DrawRecord*) {}

uint32_t CControl::Paint(Graphics& g) {
    Draw(g);
    m_dirtyRect = {};
    return PAINT_SELF;
}

void CControl::Draw(Graphics&) {}

CControl* CControl::HitTest(Point point, int mode) {
    return Accepts(this, mode) && GetClientRect().Contains(point) ? this : nullptr;
}

void CControl::SetRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    Invalidate();
    if (m_anchors & (ANCHOR_HCENTRE | ANCHOR_VCENTRE)) {
        const Rect parent = m_parent ? m_parent->GetClientRect() : Rect{};
        if (m_anchors & ANCHOR_HCENTRE) x = static_cast<int32_t>((parent.width - width) * 0.5);
        if (m_anchors & ANCHOR_VCENTRE) y = static_cast<int32_t>((parent.height - height) * 0.5);
    }
    if (x != m_rect.x || y != m_rect.y) {
        m_rect.x = x;
        m_rect.y = y;
        SendControlMessage(this, DUI_MOVED, 0, MakePointLParam(x, y));
        m_rect.x = x;  // the answer stored 16-bit values; keep the full ones
        m_rect.y = y;
    }
    if (width != m_rect.width || height != m_rect.height) {
        m_rect.width = width;
        m_rect.height = height;
        SendControlMessage(this, DUI_RESIZED, 0, MakePointLParam(width, height));
    }
    Invalidate();
}

void CControl::SetFocus() {
    if (CControl* host = GetHostControl(this)) SendControlMessage(host, DUI_FOCUSREQUEST, reinterpret_cast<WPARAM>(this), 0);
}

void CControl::Validate(const Rect*) { m_dirtyRect = {}; }

void CControl::MarkDirty(const Rect& r) {
    m_dirtyRect = m_dirtyRect.IsEmpty() ? r : m_dirtyRect.Union(r);
    m_dirtyRect = m_dirtyRect.Intersect(GetClientRect());
}

void CControl::Invalidate(const Rect* rect) {
    MarkDirty(rect ? *rect : GetClientRect());
    if (m_dirtyRect.IsEmpty()) {
        m_dirtyRect = {};
        return;
    }
    HWND hwnd = nullptr;
    const Rect inHost = GetRectInHost(&hwnd);
    CWinCtrlImpl* host = CWinCtrlImpl::FromHandle(hwnd);
    if (!host) return;
    host->InvalidateWindowRect(m_dirtyRect.Offset(inHost.x, inHost.y));
}

void CControl::SetVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    Invalidate();
}

void CControl::SetEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    Invalidate();
}

void CControl::SetText(std::u16string_view text) {
    if (text == m_text) return;
    m_text = text;
    Invalidate();
}

bool CControl::Create(std::u16string_view text, const Rect& rect, CControl* parent, int32_t id) {
    m_id = id;
    SetRect(rect);
    SetParent(parent);
    SetText(text);
    const std::u16string typeName(GetTypeName());
    const CreateRecord record{m_rect.x, m_rect.y, m_rect.width, m_rect.height, m_text.c_str(), typeName.c_str()};
    return SendControlMessage(this, DUI_CREATE, 0, reinterpret_cast<LPARAM>(&record)) != 0;
}

void CControl::LocalToHost(Point& p) const {
    const Rect r = GetRectInHost();
    p.x += r.x;
    p.y += r.y;
}

void CControl::HostToLocal(Point& p) const {
    const Rect r = GetRectInHost();
    p.x -= r.x;
    p.y -= r.y;
}

void CControl::SetParent(CControl* parent) {
    if (parent == m_parent) return;
    // Leaving the former parent's list too: a control in two lists would paint twice and be
    // left dangling when one of them goes away.
    if (m_parent) m_parent->RemoveChild(this);
    m_parent = nullptr;
    if (parent && parent->AddChild(this)) m_parent = parent;
}

Rect CControl::GetRectInHost(HWND* host) const {
    Rect r{0, 0, m_rect.width, m_rect.height};
    for (const CControl* c = this; c; c = c->m_parent) {
        const LRESULT answer = SendControlMessage(const_cast<CControl*>(c), DUI_QUERYHOST, 0, 0);
        if (answer != -1) {
            if (host) *host = reinterpret_cast<HWND>(answer);
            return r;
        }
        r.x += c->m_rect.x;
        r.y += c->m_rect.y;
    }
    if (host) *host = nullptr;
    return r;
}

void CControl::SetCapture() {
    if (CControl* host = GetHostControl(this)) SendControlMessage(host, DUI_CAPTURE, reinterpret_cast<WPARAM>(this), 0);
}

void CControl::ReleaseCapture() {
    if (CControl* host = GetHostControl(this)) SendControlMessage(host, DUI_CAPTURE, 0, 0);
}

void CControl::SetAlpha(uint8_t alpha) {
    if (alpha == 255) alpha = 254;
    if (alpha == m_alpha) return;
    m_alpha = alpha;
    Invalidate();
}

bool CControl::AddChild(CControl*) { return false; }
bool CControl::RemoveChild(CControl*) { return false; }

FontSpec CControl::GetFont() const { return FontSpec{m_fontName, m_fontSize, m_fontStyle}; }

void CControl::SetCursorShape(CursorShape shape) {
    if (NativeWindow* w = NativeWindow::FromHandle(GetHost(this))) w->SetCursor(shape);
}

// ---------------------------------------------------------------------------------------------

LRESULT SendControlMessage(CControl* control, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!control) return 0;
    LRESULT result = 0;
    if (!control->ProcessMessage(msg, wParam, lParam, result)) control->DefProcessMessage(msg, wParam, lParam, result);
    return result;
}

CControl* GetHostControl(const CControl* control) {
    for (const CControl* c = control; c; c = c->GetParent()) {
        if (SendControlMessage(const_cast<CControl*>(c), DUI_QUERYHOST, 0, 0) != -1) return const_cast<CControl*>(c);
    }
    return nullptr;
}

HWND GetHost(const CControl* control) {
    for (const CControl* c = control; c; c = c->GetParent()) {
        const LRESULT answer = SendControlMessage(const_cast<CControl*>(c), DUI_QUERYHOST, 0, 0);
        if (answer != -1) return reinterpret_cast<HWND>(answer);
    }
    return nullptr;
}

bool SetTimer(CControl* control, UINT_PTR id, uint32_t elapse_ms) {
    CControl* host = GetHostControl(control);
    if (!host) return false;
    TimerRecord record;
    record.elapse = elapse_ms;
    record.target = control;
    record.id = id;
    record.lastTick = GetTickCount();
    record.remaining = elapse_ms;
    return SendControlMessage(host, DUI_SETTIMER, reinterpret_cast<WPARAM>(&record), 0) != 0;
}

bool KillTimer(CControl* control, UINT_PTR id) {
    CControl* host = GetHostControl(control);
    if (!host) return false;
    return SendControlMessage(host, DUI_KILLTIMER, reinterpret_cast<WPARAM>(control), static_cast<LPARAM>(id)) != 0;
}
