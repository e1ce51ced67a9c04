// A frameless top-level window on the desktop, bound to one of our window handles: its input,
// focus, size and paint requests reach the handle's procedure as the messages of
// platform/gui/Input.h; the owner paints into the window's surface and presents dirty areas.
// Translucent windows use per-pixel alpha where a compositor runs and the shape of their
// opaque pixels elsewhere.
// Threading: created, used and destroyed on the user-interface thread (the thread of the handle).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/Message.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Surface.h"

enum class CursorShape { Arrow, Hand, SizeAll, SizeWE, SizeNS, SizeNWSE, SizeNESW, IBeam, Wait };

class NativeWindow {
public:
    static constexpr uint32_t kTopmost = 0x1;     // stays above normal windows
    static constexpr uint32_t kTool = 0x2;        // no task-bar entry
    static constexpr uint32_t kNoActivate = 0x4;  // showing or clicking it does not take the focus

    enum class Shape {
        Plain,        // rectangle, transparent pixels show black
        Region,       // rectangle cut to the rectangles given to SetRegion
        Translucent,  // per-pixel alpha (or, without a compositor, the shape of the opaque pixels)
    };

    // A hidden window for `hwnd` (which must be a window of the calling thread); `owner` keeps it
    // above its owner window when given.
    explicit NativeWindow(HWND hwnd, HWND owner = nullptr);
    ~NativeWindow();
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    // The window attached to a handle of this thread, or nullptr.
    static NativeWindow* FromHandle(HWND hwnd);
    HWND Handle() const { return hwnd_; }

    void SetTitle(std::u16string_view title);
    // Screen position and client size; a size change re-creates the surface and sends WM_SIZE.
    void SetGeometry(const Rect& screen_rect);
    Rect Geometry() const;
    // Sizes the user may resize to (a maximum of 0 or less means no limit).
    void SetSizeLimits(Size minimum, Size maximum);

    void Show(bool activate = true);
    void Hide();
    bool IsVisible() const;
    void Minimize();
    void Restore();
    bool IsMinimized() const;
    void SetFlags(uint32_t flags);
    uint32_t Flags() const { return flags_; }
    // 255 opaque.
    void SetOpacity(uint8_t opacity);
    uint8_t Opacity() const { return opacity_; }

    void SetShape(Shape shape);
    Shape GetShape() const { return shape_; }
    // The window's region in Region mode (client coordinates); empty restores the rectangle.
    void SetRegion(const std::vector<Rect>& rects);
    // Whether a compositor can show per-pixel alpha on this desktop.
    static bool IsCompositing();

    // The client-sized surface the owner paints into; kept between paints.
    Surface& GetSurface() { return surface_; }
    // Puts r of the surface on the screen (soon: the window system asks for the paint).
    void Present(const Rect& r);

    void SetCursor(CursorShape cursor);
    CursorShape GetCursor() const { return cursor_; }
    // All pointer input goes to this window until ReleaseCapture.
    void SetCapture();
    void ReleaseCapture();
    bool HasCapture() const { return captured_; }
    // Moves or resizes the window with the pointer, as a press on its caption or frame would
    // (call while handling the button press; `edge` is an HT* frame code).
    void StartMove();
    void StartResize(LRESULT edge);

    void SetFocus();
    bool HasFocus() const;

private:
    friend class NativeWindowWidget;
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam);
    void ApplyFlags();
    void UpdateMask();

    HWND hwnd_;
    class NativeWindowWidget* widget_ = nullptr;
    Surface surface_;
    uint32_t flags_ = 0;
    uint8_t opacity_ = 255;
    Shape shape_ = Shape::Plain;
    std::vector<Rect> region_;
    CursorShape cursor_ = CursorShape::Arrow;
    bool captured_ = false;
};
