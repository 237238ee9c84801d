#pragma once

#include <qnamespace.h>

// The Button argument of the forms' and controls' mouse events: 1 left,
// 2 right, 4 middle, 0 for any other button. (A key-state word maps the
// middle button differently; see ListBoxEx.)
constexpr short buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}
