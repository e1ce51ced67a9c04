// CWinCtrlImpl ("DirectUIWin"): the host that binds a tree of controls to one top-level window.
// The host is itself the root container. It routes the window's pointer, key and focus input to
// the controls, keeps focus, capture, hover and the framework timers, collects invalidated areas
// and paints them into the window's surface, and answers the window system's hit tests so that
// resizable hosts can be sized by their edges.
// Threading: created, used and destroyed on the user-interface thread; per-thread host list.
#pragma once

#include <memory>
#include <vector>

#include "directui/Container.h"
#include "platform/gui/NativeWindow.h"

class CWinCtrlImpl : public CContainer, public IWindowProc {
public:
    CWinCtrlImpl();
    ~CWinCtrlImpl() override;

    std::u16string_view GetTypeName() const override { return u"DirectUIWin"; }

    // Creates the window (hidden) at `screenRect`: the root takes the client area minus the
    // frame margins. Registers with `loader` (may be null: no skin), sends DUI_CREATE, loads the
    // properties with positions, then DUI_PROPERTIESLOADED.
    bool CreateHostWindow(HWND owner, const Rect& screenRect, std::u16string_view title = {},
                          CSkinLoader* loader = nullptr, uint32_t nativeFlags = 0);
    // Sends DUI_DESTROY to the root, leaves the loader, destroys the window.
    void DestroyHostWindow();
    HWND GetHwnd() const { return m_hwnd; }
    NativeWindow* GetNativeWindow() const { return m_native.get(); }
    // The host object of a window handle of this thread, or nullptr.
    static CWinCtrlImpl* FromHandle(HWND hwnd);

    // The window procedure: input, paint, size, focus, timers.
    LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Also takes the track sizes: "Position" gives the minimum, "MaxWidth"/"MaxHeight" the maximum.
    void LoadSkinProperties(CSkinLoader* loader, bool applyPosition, int lookupMode) override;
    bool ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Validate(const Rect* rect) override;
    // The root's size is the window's client size minus the frame margins; setting it resizes
    // the window (the position stays).
    void SetRect(int32_t x, int32_t y, int32_t width, int32_t height) override;
    using CContainer::SetRect;
    void SetGroupAlpha(uint8_t alpha) override;

    // Unites `rootRect` (root coordinates) into the window's dirty rectangle and asks for a paint.
    void InvalidateWindowRect(const Rect& rootRect);
    // Paints the dirty rectangle into the surface now and presents it.
    void UpdateWindow();
    // Runs due framework timers (what the idle tick does every 30 ms); `now` is a tick count.
    void RunTimerPass(uint32_t now);
    // Moves the focus to the control's focus target (the root's when null).
    void MoveFocus(CControl* control);
    // Forgets a control that is going away (focus, capture, hover, timers).
    void ForgetControl(CControl* control);

    CControl* GetFocusControl() const { return m_focus; }
    CControl* GetCaptureControl() const { return m_capture; }
    CControl* GetHoverControl() const { return m_hover; }
    Rect GetWindowDirtyRect() const { return m_windowDirty; }
    const Surface* GetSurface() const { return m_native ? &m_native->GetSurface() : nullptr; }

    // Shadow or frame around the root content: offset (left, top) and margins (right, bottom).
    void SetFrameMargins(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // 0 plain, 1 region-shaped, 2 translucent (per-pixel alpha).
    void SetShapeMode(int mode);
    int GetShapeMode() const { return m_shapeMode; }
    void SetResizable(bool on);
    // Dialog-based hosts (set before creation) get DUI_INITDIALOG instead of DUI_CREATE and no
    // DUI_PROPERTIESLOADED.
    void SetDialogBased(bool on) { m_dialogBased = on; }
    void SetTrackSizes(Size minimum, Size maximum);
    Size GetMinTrackSize() const { return m_minTrack; }
    Size GetMaxTrackSize() const { return m_maxTrack; }

protected:
    // Native input handlers; derived windows may extend them and call the base.
    virtual LRESULT OnMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnNcHitTest(Point screen);
    virtual LRESULT OnSetCursor(LPARAM lParam);

private:
    void PaintWindow(const Rect& windowRect);
    void OnSize(int32_t width, int32_t height);
    void MouseLeft();
    Point ToRoot(Point client) const { return {client.x - m_frame.x, client.y - m_frame.y}; }
    void RequestPaint();
    void UpdateTick();

    HWND m_hwnd = nullptr;
    std::unique_ptr<NativeWindow> m_native;
    CSkinLoader* m_loader = nullptr;
    CControl* m_focus = nullptr;
    CControl* m_capture = nullptr;
    CControl* m_hover = nullptr;
    std::vector<TimerRecord> m_timers;
    Rect m_windowDirty;             // window client coordinates
    Rect m_frame;                   // x, y: left and top offset; width, height: right and bottom margins
    int m_shapeMode = 0;
    Size m_minTrack, m_maxTrack;
    Point m_lastPoint;              // client point of the last hit test (for cursor requests)
    bool m_pushing = false;         // pushing the dirty rectangle down: invalidations are part of it
    bool m_paintPosted = false;
    bool m_tickRunning = false;
    bool m_dialogBased = false;
    bool m_sizing = false;          // laying the root out after a window size change
};
