// CContainer: a control holding child controls (not owned). Children paint first to last and are
// hit last to first; the container lays them out by their anchors when it is resized, composes
// its dirty children into a buffer of its own dirty size and passes notifications up.
// Threading: user-interface thread only.
#pragma once

#include <vector>

#include "directui/Control.h"
#include "platform/gfx/Surface.h"

class CContainer : public CControl {
public:
    CContainer() = default;
    // Only empties the lists: the owner deletes the children it created.
    ~CContainer() override;

    std::u16string_view GetTypeName() const override { return u"DirectUIContainer"; }
    void LoadSkinProperties(CSkinLoader* loader, bool applyPosition, int lookupMode) override;
    bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool DefProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void DrawAt(Graphics& g, const Rect& rect, bool withChildren) override;
    void DrawInState(DrawRecord* record) override;
    uint32_t Paint(Graphics& g) override;
    CControl* HitTest(Point point, int mode) override;
    void SetRect(int32_t x, int32_t y, int32_t width, int32_t height) override;
    using CControl::SetRect;
    void SetGroupAlpha(uint8_t alpha) override;
    uint8_t GetGroupAlpha() const override { return m_groupAlpha; }
    // Refuses null, itself and its ancestors (no cycles) and children it holds already.
    bool AddChild(CControl* child) override;
    bool RemoveChild(CControl* child) override;

    // The first direct child named `name` (exact), or nullptr.
    CControl* FindChild(std::u16string_view name) const;
    const std::vector<CControl*>& Children() const { return m_children; }
    void SetChildLookupByParent(bool on) { m_childLookupByParent = on; }

protected:
    // Sends DUI_INVALIDATERECT to each visible child that `r` (local) touches, then marks the
    // part of `r` inside the container dirty.
    void PushInvalidate(const Rect& r);
    void PaintChildren(Graphics& g);

    std::vector<CControl*> m_children;
    bool m_childLookupByParent = false;
    uint8_t m_groupAlpha = 254;
    // Paint straight into the target instead of through the buffer (hosts: their group alpha is
    // the window's opacity).
    bool m_paintInPlace = false;

private:
    // Composition buffer, at least as large as the largest dirty rectangle painted so far.
    Surface m_buffer;
};
