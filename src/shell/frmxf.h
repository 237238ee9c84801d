#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <cstdint>

// The player window sticks to the main window like a magnet: moved or resized
// within 10 pixels of an opposite edge of the main window, it snaps flush
// against it and from then on follows every move and resize of the main
// window, keeping its offset along the shared edge. Moving it away releases it.
namespace FrmXf {

// Sides of the main window a window can be docked to.
enum Side : std::int16_t { NotDocked = 0, LeftSide = 1, RightSide = 2, TopSide = 3, BottomSide = 4 };

// How near (pixels) an edge must come to snap.
constexpr int kSnapDistance = 10;

struct DockRow
{
    QPointer<QWidget> hWnd;
    std::int16_t side = NotDocked;
    int offset = 0; // along the shared edge, from the main window's top or left
};

// Where a window goes: its rectangle and the docking it gets.
struct Placement
{
    QRect rect;
    std::int16_t side = NotDocked;
    int offset = 0;
};

// The snap rule for a window that moved or was resized itself. Edges are
// tested in order (its right at the main left, its left at the main right,
// its bottom at the main top, its top at the main bottom); the first edge
// that is near decides, even when the windows then do not overlap along it
// (the window stays undocked).
Placement Snap(const QRect &main, const QRect &window);

// Where a docked window goes when the main window is at `main`.
QRect Follow(std::int16_t side, int offset, const QRect &main, const QRect &window);

// The table of windows that moved beside the main window, in order of first
// appearance; rows are never removed.
const QList<DockRow> &DockTable();

// Hooks a window's moves and resizes: the main window's carry the docked
// windows along, any other window's snap it.
void InstallDockHook(QWidget *window, QWidget *mainWindow);

// Snap (fromDockedWindow true) or follow for one row of the table.
void DockWindow(QWidget *hWnd, DockRow &row, bool fromDockedWindow);

// The windows docked to the main window now, in the table's order.
QList<QWidget *> DockedWindows();

// Moves every docked window to its place beside the main window.
void FollowMainWindow();

// Shows a window with its frame at the given place. An X11 window manager
// places a window that does not ask for a place, and Qt asks only after a
// move to a new one, so a window hidden and shown again would land where the
// window manager likes and leave its dock.
void ShowInPlace(QWidget *window, QPoint framePosition);

// Asks the native window for its place (see ShowInPlace); nothing where no
// window manager places windows.
void PinPlace(QWidget *window, QPoint framePosition);

// Forgets every row (tests).
void ResetDockTable();

} // namespace FrmXf
