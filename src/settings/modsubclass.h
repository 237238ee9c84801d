#pragma once

#include <QtGlobal>

class QWidget;
class RKHotKey;

// The hot-key control's two window procedures, each put in front of a
// window's own handling with the previous procedure kept in the window's
// property "WinProc":
// - the hot-key window's: answers every message itself (0) and, for
//   WM_HOTKEY, raises the hot-key event of the control found in its property
//   "Object";
// - the text box's: swallows WM_CONTEXTMENU, so the box never shows a
//   context menu, and passes every other message on.
namespace ModSubClass {

void AttachHotKeyWindow(QWidget *window, RKHotKey *owner);
void DetachHotKeyWindow(QWidget *window);
void AttachTextBox(QWidget *window);
void DetachTextBox(QWidget *window);

// The control at a pointer kept in "Object", or null when no hot-key window
// is attached to it (any more).
RKHotKey *ObjectFromPointer(quintptr pointer);

} // namespace ModSubClass
