#pragma once

#include <QtGlobal>
#include <qnamespace.h>

#include <cstdint>

// The controls were designed around window messages. On Qt a watched widget's
// events are presented to the subclasser (CSubclass) as these messages, with
// the usual numbers and parameters, so the controls' rules read as they were
// written. Parameters are pointer-sized, as on 64-bit Windows.
using WPARAM = quintptr;
using LPARAM = qintptr;
using LRESULT = qintptr;

namespace Wm {

constexpr std::uint32_t WM_MOVE = 0x0003;
constexpr std::uint32_t WM_SIZE = 0x0005;
constexpr std::uint32_t WM_DRAWITEM = 0x002B;
constexpr std::uint32_t WM_CONTEXTMENU = 0x007B;
constexpr std::uint32_t WM_NCPAINT = 0x0085;
constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
constexpr std::uint32_t WM_MOUSELEAVE = 0x02A3;
constexpr std::uint32_t WM_HOTKEY = 0x0312;

// Key-state word of the mouse messages (wParam).
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// lParam of a mouse message: client x in the low word, y in the high word,
// each a signed 16-bit number.
constexpr LPARAM makeLParam(int x, int y)
{
    return LPARAM((std::uint32_t(std::uint16_t(std::int16_t(x))) |
                   (std::uint32_t(std::uint16_t(std::int16_t(y))) << 16)));
}
constexpr int xFromLParam(LPARAM lParam)
{
    return std::int16_t(std::uint16_t(std::uint32_t(lParam) & 0xFFFF));
}
constexpr int yFromLParam(LPARAM lParam)
{
    return std::int16_t(std::uint16_t((std::uint32_t(lParam) >> 16) & 0xFFFF));
}

// Key-state word of a mouse message from Qt's button and modifier state.
constexpr WPARAM keyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    return (buttons.testFlag(Qt::LeftButton) ? MK_LBUTTON : 0) |
           (buttons.testFlag(Qt::RightButton) ? MK_RBUTTON : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? MK_MBUTTON : 0) |
           (modifiers.testFlag(Qt::ShiftModifier) ? MK_SHIFT : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? MK_CONTROL : 0);
}
constexpr Qt::MouseButtons buttonsFromKeyState(WPARAM wParam)
{
    return Qt::MouseButtons::fromInt(((wParam & MK_LBUTTON) ? int(Qt::LeftButton) : 0) |
                                     ((wParam & MK_RBUTTON) ? int(Qt::RightButton) : 0) |
                                     ((wParam & MK_MBUTTON) ? int(Qt::MiddleButton) : 0));
}
constexpr Qt::KeyboardModifiers modifiersFromKeyState(WPARAM wParam)
{
    return Qt::KeyboardModifiers::fromInt(((wParam & MK_SHIFT) ? int(Qt::ShiftModifier) : 0) |
                                          ((wParam & MK_CONTROL) ? int(Qt::ControlModifier) : 0));
}

// WM_MOUSEWHEEL: the signed wheel delta (120 per notch, positive away from
// the user) in the high word of the low 32 bits, the key state in the low
// word; lParam holds screen coordinates, packed like makeLParam.
constexpr WPARAM makeWheelWParam(int delta, WPARAM keys)
{
    return WPARAM((std::uint32_t(std::uint16_t(std::int16_t(delta))) << 16) |
                  std::uint32_t(keys & 0xFFFF));
}
constexpr int wheelDeltaFromWParam(WPARAM wParam)
{
    return std::int16_t(std::uint16_t((std::uint32_t(wParam) >> 16) & 0xFFFF));
}
constexpr WPARAM keyStateFromWParam(WPARAM wParam)
{
    return WPARAM(std::uint32_t(wParam) & 0xFFFF);
}

} // namespace Wm
