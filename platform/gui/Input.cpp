// Qt keys to virtual-key codes, and the keyboard and pointer state for accelerators and menus.
#include "platform/gui/Input.h"

#include <QCursor>
#include <QGuiApplication>

#include "platform/gui/GuiApplication.h"

uint32_t VirtualKeyFromQtKey(int qt_key, bool keypad) {
    if (keypad) {
        if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return VK_NUMPAD0 + (qt_key - Qt::Key_0);
        switch (qt_key) {
        case Qt::Key_Asterisk: return VK_MULTIPLY;
        case Qt::Key_Plus: return VK_ADD;
        case Qt::Key_Minus: return VK_SUBTRACT;
        case Qt::Key_Period: case Qt::Key_Comma: return VK_DECIMAL;
        case Qt::Key_Slash: return VK_DIVIDE;
        default: break;
        }
    }
    if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) return 'A' + (qt_key - Qt::Key_A);
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) return '0' + (qt_key - Qt::Key_0);
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) return VK_F1 + (qt_key - Qt::Key_F1);
    switch (qt_key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Meta: case Qt::Key_Super_L: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_VolumeMute: return VK_VOLUME_MUTE;
    case Qt::Key_VolumeDown: return VK_VOLUME_DOWN;
    case Qt::Key_VolumeUp: return VK_VOLUME_UP;
    case Qt::Key_MediaNext: return VK_MEDIA_NEXT_TRACK;
    case Qt::Key_MediaPrevious: return VK_MEDIA_PREV_TRACK;
    case Qt::Key_MediaStop: return VK_MEDIA_STOP;
    case Qt::Key_MediaPlay: case Qt::Key_MediaTogglePlayPause: case Qt::Key_MediaPause: return VK_MEDIA_PLAY_PAUSE;
    // With Shift held Qt reports the shifted symbol; the key code is that of the unshifted key
    // (US layout), as the original platform reports it.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Semicolon: case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_Equal: case Qt::Key_Plus: return VK_OEM_PLUS;
    case Qt::Key_Comma: case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Minus: case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Period: case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Slash: case Qt::Key_Question: return VK_OEM_2;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return VK_OEM_3;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return VK_OEM_4;
    case Qt::Key_Backslash: case Qt::Key_Bar: return VK_OEM_5;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return VK_OEM_6;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return VK_OEM_7;
    default: return 0;
    }
}

bool IsKeyDown(uint32_t vk) {
    EnsureGuiApplication();
    switch (vk) {
    case VK_SHIFT: return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
    case VK_CONTROL: return QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    case VK_MENU: return QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier;
    case 0x01: return QGuiApplication::mouseButtons() & Qt::LeftButton;
    case 0x02: return QGuiApplication::mouseButtons() & Qt::RightButton;
    case 0x04: return QGuiApplication::mouseButtons() & Qt::MiddleButton;
    default: return false;
    }
}

Point GetCursorPos() {
    EnsureGuiApplication();
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}
