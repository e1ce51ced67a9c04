// CControl: the windowless control every skinned element is made of. It keeps its rectangle
// relative to its parent, takes messages through ProcessMessage/DefProcessMessage, invalidates
// and paints itself through its host, and reads its skin properties from the skin loader.
// Threading: user-interface thread only (the thread of the host window).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "directui/ControlMessages.h"
#include "platform/Message.h"
#include "platform/gfx/Graphics.h"
#include "platform/gfx/Rect.h"

class CSkinLoader;
class CPropertyView;
enum class CursorShape;

// A clipboard format a control accepts on drop (file lists: format 15, aspect 1, index -1,
// medium 1).
struct DropFormat {
    uint32_t format = 15;
    uint32_t aspect = 1;
    int32_t index = -1;
    uint32_t medium = 1;
};

// Called at the end of LoadSkinProperties with the control's own node.
using PropertyHook = void (*)(CControl* control, const CPropertyView& node, void* userData);

class CControl {
public:
    CControl();
    // Leaves the parent's child list and the host's focus, capture, hover and timers.
    virtual ~CControl();
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;

    virtual void SetSkinEnabled(bool enabled) { m_skinEnabled = enabled; }
    virtual bool IsSkinEnabled() const { return m_skinEnabled; }
    virtual void LoadSkinProperties(CSkinLoader* loader, bool applyPosition, int lookupMode);
    virtual void SetName(std::u16string_view name) { m_name = name; }
    virtual void SetPropertyHook(PropertyHook hook, void* userData);
    // The message map: true when handled (with `result` set). The base handles only the move
    // cursor of DUI_SETCURSOR.
    virtual bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual void SetAcceptDrop(bool accept) { m_acceptDrop = accept; }
    // Draws the control as if it stood at `rect` (children too for containers when asked).
    virtual void DrawAt(Graphics& g, const Rect& rect, bool withChildren);
    virtual void DrawInState(DrawRecord* record);
    // Draws what is dirty (graphics translated to the control, clipped to it); returns the
    // paint flags (PAINT_SELF without animation effects) and clears the dirty rectangle.
    virtual uint32_t Paint(Graphics& g);
    // The control hit at `point` (local coordinates) with a HIT_* mode, or nullptr.
    virtual CControl* HitTest(Point point, int mode);
    virtual void SetRect(int32_t x, int32_t y, int32_t width, int32_t height);
    void SetRect(const Rect& r) { SetRect(r.x, r.y, r.width, r.height); }
    // Asks the host to move the focus here.
    virtual void SetFocus();
    // nullptr clears the dirty rectangle; hosts also drop the area from their pending update.
    virtual void Validate(const Rect* rect);
    // nullptr means the whole control; local coordinates.
    virtual void Invalidate(const Rect* rect = nullptr);
    virtual Rect GetDirtyRect() const { return m_dirtyRect; }
    virtual void SetVisible(bool visible);
    virtual bool IsVisible() const { return m_visible; }
    virtual void SetEnabled(bool enabled);
    virtual bool IsEnabled() const { return m_enabled; }
    virtual std::u16string GetText() const { return m_text; }
    virtual void SetText(std::u16string_view text);
    // Stores id, places the control, joins the parent, sets the text, then sends DUI_CREATE.
    virtual bool Create(std::u16string_view text, const Rect& rect, CControl* parent, int32_t id);
    virtual void LocalToHost(Point& p) const;
    virtual void HostToLocal(Point& p) const;
    virtual std::u16string_view GetTypeName() const = 0;
    virtual CControl* GetParent() const { return m_parent; }
    virtual void SetParent(CControl* parent);
    virtual Rect GetRect() const { return m_rect; }
    // The rectangle in host (root) coordinates; `host` receives the host window when given.
    virtual Rect GetRectInHost(HWND* host = nullptr) const;
    virtual Rect GetClientRect() const { return {0, 0, m_rect.width, m_rect.height}; }
    virtual bool DefProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual void SetCapture();
    virtual void ReleaseCapture();
    virtual void SetStyle(uint32_t style) { m_style = style; }
    virtual uint32_t GetStyle() const { return m_style; }
    virtual std::u16string GetName() const { return m_name; }
    virtual void SetAlpha(uint8_t alpha);
    virtual uint8_t GetAlpha() const { return m_alpha; }
    virtual void SetGroupAlpha(uint8_t alpha) { SetAlpha(alpha); }
    virtual uint8_t GetGroupAlpha() const { return m_alpha; }
    virtual Rect GetContentRect() const { return GetClientRect(); }
    // The control's own content, in local coordinates; the base draws nothing.
    virtual void Draw(Graphics& g);

    // Appends a child; plain controls take none.
    virtual bool AddChild(CControl* child);
    // Takes a child out of the lists; false when it is not there.
    virtual bool RemoveChild(CControl* child);

    int32_t GetId() const { return m_id; }
    void SetId(int32_t id) { m_id = id; }
    int32_t GetAnchors() const { return m_anchors; }
    void SetAnchors(int32_t anchors) { m_anchors = anchors; }
    bool IsMoveCursor() const { return m_moveCursor; }
    void SetMoveCursor(bool on) { m_moveCursor = on; }
    // The font the control draws its text with.
    FontSpec GetFont() const;
    // Sets the pointer's shape over the host window (while the pointer is over this control).
    void SetCursorShape(CursorShape shape);
    // Marks r (local, clipped to the client rectangle) dirty without asking the host to paint.
    void MarkDirty(const Rect& r);

    // The "Anchors" text to anchor bits.
    static int32_t ParseAnchors(std::u16string_view text);

protected:
    friend class CContainer;

    int m_messageHandled = 0;
    bool m_skinEnabled = true;
    int32_t m_anchors = 0;
    Rect m_rect;
    bool m_visible = true;
    bool m_enabled = true;
    std::u16string m_text;
    int32_t m_id = 0;
    std::u16string m_fontName = u"宋体";
    float m_fontSize;
    int32_t m_fontStyle = 0;
    uint32_t m_fontColour = 0xFE000000u;
    CControl* m_parent = nullptr;
    Rect m_dirtyRect;
    uint32_t m_backColour = 0;
    uint32_t m_frameColour = 0;
    bool m_moveCursor = false;
    std::u16string m_name;
    bool m_acceptDrop = false;
    std::vector<DropFormat> m_dropFormats;
    PropertyHook m_propertyHook = nullptr;
    void* m_propertyHookData = nullptr;
    uint8_t m_alpha = 254;
    uint32_t m_style = 0x40000000u;
    bool m_fitHeight = false;
    std::u16string m_animationName;
    bool m_tintImages = true;
};

// Delivers a message: ProcessMessage, then DefProcessMessage when it was not handled; returns
// the answer (0 for a null control).
LRESULT SendControlMessage(CControl* control, UINT msg, WPARAM wParam, LPARAM lParam);
// The window of the first control from `control` up whose answer to DUI_QUERYHOST is not -1.
HWND GetHost(const CControl* control);
// That control itself (the host's root), or nullptr.
CControl* GetHostControl(const CControl* control);

// Framework timers: DUI_TIMER (id, 0) reaches `control` every elapse_ms from the host's timer
// pass. SetTimer answers true when the timer was added (false for a control without a host, or
// when the (control, id) pair exists; a killed pair is revived with the new elapse).
bool SetTimer(CControl* control, UINT_PTR id, uint32_t elapse_ms);
bool KillTimer(CControl* control, UINT_PTR id);
