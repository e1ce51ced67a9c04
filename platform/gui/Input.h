// The window messages, key codes and flags that native input is turned into: the original
// platform's numbers, so that stored hot keys and the control framework's message arithmetic
// (native message + 11024) keep their meaning.
// Threading: the constants are plain values; IsKeyDown and GetCursorPos on the GUI thread.
#pragma once

#include <cstdint>

#include "platform/Message.h"
#include "platform/gfx/Rect.h"

// Window messages sent by the native window to its handle's procedure.
constexpr UINT WM_MOVE = 0x0003;           // lParam: x | y << 16 (screen, signed 16-bit)
constexpr UINT WM_SIZE = 0x0005;           // wParam: SIZE_*; lParam: width | height << 16
constexpr UINT WM_ACTIVATE = 0x0006;       // wParam: 1 activated, 0 deactivated
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;          // lParam: const Rect* of the client area to repaint
constexpr UINT WM_SHOWWINDOW = 0x0018;     // wParam: 1 shown, 0 hidden
constexpr UINT WM_SETCURSOR = 0x0020;      // wParam: hwnd; lParam: hit-test code | mouse message << 16
constexpr UINT WM_NCHITTEST = 0x0084;      // lParam: screen point; answer: HT*
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;           // wParam: one UTF-16 unit
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCOMMAND = 0x0112;     // wParam: SC_*
constexpr UINT WM_MOUSEMOVE = 0x0200;      // wParam: MK_* flags; lParam: client point
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;     // wParam: MK_* | delta << 16 (120 a notch); lParam: screen point
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_MOUSELEAVE = 0x02A3;

constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_RESTORE = 0xF120;

// Mouse key-state flags (wParam of mouse messages).
constexpr WPARAM MK_LBUTTON = 0x01;
constexpr WPARAM MK_RBUTTON = 0x02;
constexpr WPARAM MK_SHIFT = 0x04;
constexpr WPARAM MK_CONTROL = 0x08;
constexpr WPARAM MK_MBUTTON = 0x10;

// Hit-test codes (answers to WM_NCHITTEST).
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTCAPTION = 2;
constexpr LRESULT HTLEFT = 10;
constexpr LRESULT HTRIGHT = 11;
constexpr LRESULT HTTOP = 12;
constexpr LRESULT HTTOPLEFT = 13;
constexpr LRESULT HTTOPRIGHT = 14;
constexpr LRESULT HTBOTTOM = 15;
constexpr LRESULT HTBOTTOMLEFT = 16;
constexpr LRESULT HTBOTTOMRIGHT = 17;

// Virtual-key codes (letters and digits are their upper-case ASCII codes).
constexpr uint32_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
                   VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
                   VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26,
                   VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
                   VK_LWIN = 0x5B, VK_APPS = 0x5D, VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B,
                   VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_NUMLOCK = 0x90,
                   VK_SCROLL = 0x91, VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE, VK_VOLUME_UP = 0xAF,
                   VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1, VK_MEDIA_STOP = 0xB2,
                   VK_MEDIA_PLAY_PAUSE = 0xB3, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC,
                   VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB,
                   VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE;

// Points packed into lParam: low 16 bits x, high 16 bits y, each signed.
inline constexpr LPARAM MakePointLParam(int32_t x, int32_t y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(y & 0xFFFF) << 16) | static_cast<uint32_t>(x & 0xFFFF));
}
inline constexpr Point PointFromLParam(LPARAM l) {
    return {static_cast<int16_t>(l & 0xFFFF), static_cast<int16_t>((l >> 16) & 0xFFFF)};
}

// The virtual-key code of a Qt key (Qt::Key value) and whether it came from the keypad;
// 0 for keys without one.
uint32_t VirtualKeyFromQtKey(int qt_key, bool keypad);
// Whether a key is held now: VK_SHIFT, VK_CONTROL, VK_MENU (Alt) and the mouse buttons 1, 2, 4.
bool IsKeyDown(uint32_t vk);
// The pointer's position on the screen.
Point GetCursorPos();
