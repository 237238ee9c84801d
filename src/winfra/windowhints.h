#pragma once

class QWidget;

namespace WindowHints {

// Tells the window manager that a hidden window, when mapped next, comes up
// in its normal state, not as an icon: the initial state of its WM_HINTS,
// and no "hidden" left in its _NET_WM_STATE. Qt clears a window's minimised
// state by mapping it first and writing the new hint after, and a window
// manager that reads the hints in between maps it minimised again. Nothing
// where there is no X11 display.
void setNormalOnNextMap(QWidget *window);

} // namespace WindowHints
