// The messages through which controls, containers and hosts talk, and the records they carry.
// Control messages of native input are the native message number + DUI_NATIVE_BASE.
// Threading: plain values, used on the user-interface thread.
#pragma once

#include <cstdint>

#include "platform/Message.h"

class CControl;
class Graphics;

constexpr UINT DUI_NATIVE_BASE = 11024;
constexpr UINT DUI_CREATE = 11025;            // lParam: const CreateRecord*
constexpr UINT DUI_DESTROY = 11026;
constexpr UINT DUI_MOVED = 11027;             // lParam: x | y << 16 (signed)
constexpr UINT DUI_RESIZED = 11029;           // lParam: width | height << 16
constexpr UINT DUI_GOTFOCUS = 11031;
constexpr UINT DUI_LOSTFOCUS = 11032;
constexpr UINT DUI_SETCURSOR = 11056;         // wParam: local point; lParam: 1 | mouse message << 16
constexpr UINT DUI_NOTIFY = 11102;            // wParam: sender id; lParam: NotifyRecord*
constexpr UINT DUI_NCHITTEST = 11156;         // lParam: local point
constexpr UINT DUI_KEYDOWN = 11280;           // 11280..11289: native key messages + 11024
constexpr UINT DUI_KEYUP = 11281;
constexpr UINT DUI_CHAR = 11282;
constexpr UINT DUI_KEYLAST = 11289;
constexpr UINT DUI_INITDIALOG = 11296;
constexpr UINT DUI_COMMAND = 11297;           // wParam: id | code << 16; lParam: sender CControl*
constexpr UINT DUI_TIMER = 11299;             // wParam: timer id; lParam: user data
constexpr UINT DUI_HSCROLL = 11300;
constexpr UINT DUI_VSCROLL = 11301;
constexpr UINT DUI_CARETTIMER = 11304;
constexpr UINT DUI_MOUSEMOVE = 11536;         // 11536..11549: native mouse messages + 11024
constexpr UINT DUI_LBUTTONDOWN = 11537;       // wParam: native key state; lParam: local point
constexpr UINT DUI_LBUTTONUP = 11538;
constexpr UINT DUI_LBUTTONDBLCLK = 11539;
constexpr UINT DUI_RBUTTONDOWN = 11540;
constexpr UINT DUI_RBUTTONUP = 11541;
constexpr UINT DUI_MOUSEWHEEL = 11546;        // native wParam; lParam: screen point
constexpr UINT DUI_MOUSELAST = 11549;
constexpr UINT DUI_MOUSELEAVE = 11699;        // lParam: 1 moved onto another control or out, else 0
constexpr UINT DUI_QUERYHOST = 13025;         // lParam: Point* for the content offset; answer HWND or -1
constexpr UINT DUI_QUERYFOCUSTARGET = 13026;  // answer: the CControl* to focus, 0 = not focusable
constexpr UINT DUI_MOUSEENTER = 13027;        // lParam: the point (to the root)
constexpr UINT DUI_CAPTURE = 13028;           // wParam: CControl* or 0
constexpr UINT DUI_SETTIMER = 13040;          // wParam: TimerRecord*
constexpr UINT DUI_KILLTIMER = 13041;         // wParam: CControl*; lParam: timer id
constexpr UINT DUI_INVALIDATERECT = 13042;    // wParam: const Rect* in the receiver's coordinates
constexpr UINT DUI_13043 = 13043;
constexpr UINT DUI_DROP = 13045;              // 13045..13048: drag-and-drop notices
constexpr UINT DUI_DRAGOVER = 13046;
constexpr UINT DUI_DRAGLEAVE = 13047;
constexpr UINT DUI_DRAGENTER = 13048;
constexpr UINT DUI_QUERYIMEALLOWED = 13049;
constexpr UINT DUI_POINTINSIDE = 13056;       // wParam: point; lParam: int* set to 0 when inside
constexpr int DUI_CUSTOMDRAW = 13057;         // notify code of CustomDrawRecord
constexpr UINT DUI_CLOSE = 13058;
constexpr UINT DUI_PROPERTIESLOADED = 13059;
constexpr UINT DUI_ANIMATIONSTOPPED = 13062;
constexpr UINT DUI_ANIMATIONSTARTED = 13063;
constexpr UINT DUI_FOCUSREQUEST = 13064;      // wParam: CControl*

// Hit-test modes of CControl::HitTest.
constexpr int HIT_ANY = 0;
constexpr int HIT_VISIBLE = 1;
constexpr int HIT_ENABLED = 2;
constexpr int HIT_VISIBLE_ENABLED = 3;

// Paint result flags (CControl::Paint and animation effects).
constexpr uint32_t PAINT_BEFORE = 0x4;
constexpr uint32_t PAINT_AFTER = 0x8;
constexpr uint32_t PAINT_SKIP_CHILDREN = 0x20000;
constexpr uint32_t PAINT_SELF = 0x40000;
constexpr uint32_t PAINT_SELF_TOO = 0x80000;

// Anchor bits (the "Anchors" property).
constexpr int32_t ANCHOR_LEFT = 0x01;
constexpr int32_t ANCHOR_TOP = 0x02;
constexpr int32_t ANCHOR_RIGHT = 0x04;
constexpr int32_t ANCHOR_BOTTOM = 0x08;
constexpr int32_t ANCHOR_HCENTRE = 0x10;
constexpr int32_t ANCHOR_VCENTRE = 0x20;

// The style bit that keeps a container from painting a child.
constexpr uint32_t STYLE_NOPAINT = 0x80000000u;
// Hosts with this style bit can be resized by their edges.
constexpr uint32_t STYLE_SIZEBOX = 0x00040000u;

struct CreateRecord {
    int32_t x, y, width, height;
    const char16_t* text;
    const char16_t* typeName;
};

// Start of every DUI_NOTIFY record; the code's own data follows in derived records.
struct NotifyRecord {
    CControl* sender = nullptr;
    int32_t id = 0;
    int32_t code = 0;
};

// Sent with DUI_NOTIFY before a control draws a part of itself; a nonzero answer means the
// receiver drew that part.
struct CustomDrawRecord : NotifyRecord {
    Graphics* graphics = nullptr;
    int32_t state = 0;  // item flags of rows and cells, 0 for panels and tips, -1 background pass
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t row = -1;
    int32_t column = -1;
    int32_t data = 0;
};

// Draws a control in an explicit visual state (CControl::DrawInState).
struct DrawRecord {
    static constexpr uint32_t kHot = 0x02;
    static constexpr uint32_t kPressed = 0x04;
    static constexpr uint32_t kDisabled = 0x20;
    int32_t item = -1;
    uint32_t state = 0;
    Graphics* graphics = nullptr;
    float x = 0, y = 0, width = 0, height = 0;
    bool toChildren = false;
};

using TimerCallback = void (*)(uintptr_t userData);

// A framework timer kept by the host and run from its timer pass.
struct TimerRecord {
    TimerCallback callback = nullptr;
    uintptr_t userData = 0;
    uint32_t elapse = 0;  // milliseconds
    CControl* target = nullptr;
    UINT_PTR id = 0;
    uint32_t lastTick = 0;
    uint32_t remaining = 0;
    bool useNativeTimer = false;
    bool killed = false;
};
