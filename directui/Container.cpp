// CContainer: child lists, anchors layout, hit testing from the top child down, the push of dirty
// areas to the children and the composition of dirty children into the container's buffer.
#include "directui/Container.h"

#include <algorithm>

#include "directui/SkinLoader.h"
#include "platform/gui/NativeWindow.h"

CContainer::~CContainer() {
    for (CControl* child : m_children) {
        if (child->m_parent == this) child->m_parent = nullptr;
    }
    m_children.clear();
}

void CContainer::LoadSkinProperties(CSkinLoader* loader, bool applyPosition, int lookupMode) {
    CControl::LoadSkinProperties(loader, applyPosition, lookupMode);
    if (!loader) return;
    // Copy: a property hook may add or remove children.
    const std::vector<CControl*> children = m_children;
    for (CControl* child : children) {
        if (child->IsSkinEnabled()) child->LoadSkinProperties(loader, applyPosition, m_childLookupByParent ? 1 : 0);
    }
}

bool CContainer::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (CControl::ProcessMessage(msg, wParam, lParam, result)) return true;
    switch (msg) {
    case DUI_COMMAND:
    case DUI_NOTIFY:
        if (!m_parent) return false;
        result = SendControlMessage(m_parent, msg, wParam, lParam);
        return true;
    case DUI_INVALIDATERECT:
        if (wParam) PushInvalidate(*reinterpret_cast<const Rect*>(wParam));
        result = 1;
        return true;
    default: return false;
    }
}

bool CContainer::DefProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case DUI_COMMAND:
        result = SendControlMessage(m_parent, msg, MakeWParam(static_cast<DWORD>(m_id), HiWord(wParam)),
                                    reinterpret_cast<LPARAM>(this));
        return true;
    case DUI_NOTIFY:
        if (lParam) {
            auto* record = reinterpret_cast<NotifyRecord*>(lParam);
            record->sender = this;
            record->id = m_id;
        }
        result = SendControlMessage(m_parent, msg, static_cast<WPARAM>(m_id), lParam);
        return true;
    case DUI_RESIZED: result = 0; return true;
    case DUI_NCHITTEST: result = 2; return true;
    case DUI_LBUTTONDOWN:
        // A press on an empty area of the window drags the window.
        if (NativeWindow* w = NativeWindow::FromHandle(GetHost(this))) w->StartMove();
        result = 0;
        return true;
    default: return CControl::DefProcessMessage(msg, wParam, lParam, result);
    }
}

void CContainer::DrawAt(Graphics& g, const Rect& rect, bool withChildren) {
    CControl::DrawAt(g, rect, false);
    if (!withChildren) return;
    for (CControl* child : m_children) {
        if (!child->IsVisible()) continue;
        const Rect r = child->GetRect();
        g.Save();
        g.IntersectClip(r);
        g.Translate(r.x, r.y);
        child->DrawAt(g, r, true);
        g.Restore();
    }
}

void CContainer::DrawInState(DrawRecord* record) {
    if (!record || !record->toChildren || !record->graphics) return;
    Graphics& g = *record->graphics;
    for (CControl* child : m_children) {
        const Rect r = child->GetRect();
        if (!child->IsVisible() || r.width < 0 || r.height <= 0) continue;
        DrawRecord forward = *record;
        forward.state = 0xFFFFFFFFu;
        forward.x = 0;
        forward.y = 0;
        forward.width = static_cast<float>(r.width);
        forward.height = static_cast<float>(r.height);
        g.Save();
        g.IntersectClip(r);
        g.Translate(r.x, r.y);
        child->DrawInState(&forward);
        g.Restore();
    }
}

void CContainer::PaintChildren(Graphics& g) {
    for (CControl* child : m_children) {
        const Rect r = child->GetRect();
        if (!child->IsVisible() || (child->GetStyle() & STYLE_NOPAINT) || child->GetDirtyRect().IsEmpty() ||
            r.width < 0 || r.height <= 0) {
            continue;
        }
        g.Save();
        g.IntersectClip(r);
        g.Translate(r.x, r.y);
        child->Paint(g);
        g.Restore();
    }
}

uint32_t CContainer::Paint(Graphics& g) {
    const Rect dirty = m_dirtyRect;
    if (dirty.IsEmpty()) return CControl::Paint(g);
    if (m_paintInPlace || m_groupAlpha == 255) {
        // Drawing an opaque group through a buffer changes no pixel: paint in place.
        g.Save();
        g.IntersectClip(dirty);
        const uint32_t flags = CControl::Paint(g);
        if (!(flags & PAINT_SKIP_CHILDREN)) PaintChildren(g);
        g.Restore();
        return flags;
    }
    if (m_buffer.Width() < dirty.width || m_buffer.Height() < dirty.height) {
        m_buffer.Resize(std::max(m_buffer.Width(), dirty.width), std::max(m_buffer.Height(), dirty.height));
    }
    const Rect area{0, 0, dirty.width, dirty.height};
    m_buffer.Fill(area, 0);
    uint32_t flags;
    {
        Graphics buffer(m_buffer);
        buffer.IntersectClip(area);
        buffer.Translate(-dirty.x, -dirty.y);
        flags = CControl::Paint(buffer);
        if (!(flags & PAINT_SKIP_CHILDREN)) PaintChildren(buffer);
    }
    g.DrawSurface(m_buffer, dirty, area, m_groupAlpha);
    return flags;
}

CControl* CContainer::HitTest(Point point, int mode) {
    if (!CControl::HitTest(point, mode)) return nullptr;
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        const Rect r = (*it)->GetRect();
        if (CControl* hit = (*it)->HitTest({point.x - r.x, point.y - r.y}, mode)) return hit;
    }
    return this;
}

void CContainer::SetRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    const int32_t dW = width - m_rect.width;
    const int32_t dH = height - m_rect.height;
    CControl::SetRect(x, y, width, height);
    const std::vector<CControl*> children = m_children;
    for (CControl* child : children) {
        Rect r = child->GetRect();
        const int32_t a = child->GetAnchors();
        if (a & ANCHOR_HCENTRE) {
            r.x = (m_rect.width - r.width) / 2;
        } else if (a & ANCHOR_RIGHT) {
            r.x += dW;
        } else if (a & ANCHOR_LEFT) {
            r.width += dW;
        }
        if (a & ANCHOR_VCENTRE) {
            r.y = (m_rect.height - r.height) / 2;
        } else if (a & ANCHOR_BOTTOM) {
            r.y += dH;
        } else if (a & ANCHOR_TOP) {
            r.height += dH;
        }
        child->SetRect(r);
    }
}

void CContainer::SetGroupAlpha(uint8_t alpha) {
    if (alpha == m_groupAlpha) return;
    m_groupAlpha = alpha;
    Invalidate();
}

bool CContainer::AddChild(CControl* child) {
    if (!child || child == this) return false;
    for (const CControl* a = m_parent; a; a = a->GetParent()) {
        if (a == child) return false;
    }
    if (std::find(m_children.begin(), m_children.end(), child) != m_children.end()) return false;
    m_children.push_back(child);
    return true;
}

bool CContainer::RemoveChild(CControl* child) {
    auto it = std::find(m_children.begin(), m_children.end(), child);
    if (it == m_children.end()) return false;
    m_children.erase(it);
    if (child->m_parent == this) child->m_parent = nullptr;
    Invalidate(&child->m_rect);
    return true;
}

CControl* CContainer::FindChild(std::u16string_view name) const {
    for (CControl* child : m_children) {
        if (child->m_name == name) return child;
    }
    return nullptr;
}

void CContainer::PushInvalidate(const Rect& r) {
    for (CControl* child : m_children) {
        const Rect cr = child->GetRect();
        if (!child->IsVisible() || !cr.Intersects(r)) continue;
        const Rect local = r.Offset(-cr.x, -cr.y);
        SendControlMessage(child, DUI_INVALIDATERECT, reinterpret_cast<WPARAM>(&local), 0);
    }
    MarkDirty(r);
}
