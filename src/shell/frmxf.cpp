#include "frmxf.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>

#include <cstdlib>

namespace FrmXf {

namespace {

QList<DockRow> &table()
{
    static QList<DockRow> rows;
    return rows;
}

// Windows keep their edges as the system reports them: right and bottom just
// past the last pixel (QRect's right() is the last pixel itself).
int rightOf(const QRect &r) { return r.left() + r.width(); }
int bottomOf(const QRect &r) { return r.top() + r.height(); }
bool near(int a, int b) { return std::abs(a - b) <= kSnapDistance; }

class DockHook : public QObject
{
public:
    DockHook(QWidget *window, QWidget *mainWindow)
        : QObject(window), m_window(window), m_main(mainWindow)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
            DockWndProc();
        return false; // every message goes on to the window's own handling
    }

private:
    void DockWndProc()
    {
        if (!m_window || !m_main)
            return;
        if (m_window != m_main) {
            // A window shown again moves before the window manager has told
            // its frame again: its frame rectangle is then its client area, a
            // title bar too low, and a snap would take that for the user's
            // offset. It keeps its row until its frame is known.
            if (m_window->frameGeometry() != m_window->geometry())
                m_framed = true;
            else if (m_framed)
                return;
            auto &rows = table();
            qsizetype index = -1;
            for (qsizetype i = 0; i < rows.size(); ++i) {
                if (rows[i].hWnd == m_window)
                    index = i;
            }
            if (index < 0) {
                rows.append(DockRow{m_window, NotDocked, 0});
                index = rows.size() - 1;
            }
            DockWindow(m_window, rows[index], true);
            return;
        }
        FollowMainWindow();
    }

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_main;
    bool m_framed = false; // a window manager has framed the window
};

QPointer<QWidget> &mainWindow()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

Placement Snap(const QRect &main, const QRect &window)
{
    const int ML = main.left(), MT = main.top(), MR = rightOf(main), MB = bottomOf(main);
    const int L = window.left(), T = window.top(), R = rightOf(window), B = bottomOf(window);
    const int W = R - L, H = B - T;
    const bool overlapVertically = T <= MB && B >= MT;
    const bool overlapHorizontally = L <= MR && R >= ML;
    Placement stay{window, NotDocked, 0};
    if (near(R, ML))
        return overlapVertically ? Placement{QRect(ML - W, T, W, H), LeftSide, T - MT} : stay;
    if (near(L, MR))
        return overlapVertically ? Placement{QRect(MR, T, W, H), RightSide, T - MT} : stay;
    if (near(B, MT))
        return overlapHorizontally ? Placement{QRect(L, MT - H, W, H), TopSide, L - ML} : stay;
    if (near(T, MB))
        return overlapHorizontally ? Placement{QRect(L, MB, W, H), BottomSide, L - ML} : stay;
    return stay;
}

QRect Follow(std::int16_t side, int offset, const QRect &main, const QRect &window)
{
    const int W = window.width(), H = window.height();
    switch (side) {
    case LeftSide:
        return QRect(main.left() - W, main.top() + offset, W, H);
    case RightSide:
        return QRect(rightOf(main), main.top() + offset, W, H);
    case TopSide:
        return QRect(main.left() + offset, main.top() - H, W, H);
    case BottomSide:
        return QRect(main.left() + offset, bottomOf(main), W, H);
    default:
        return window;
    }
}

const QList<DockRow> &DockTable()
{
    return table();
}

void DockWindow(QWidget *hWnd, DockRow &row, bool fromDockedWindow)
{
    QWidget *main = mainWindow();
    if (!hWnd || !main)
        return;
    const QRect mainRect = main->frameGeometry();
    const QRect rect = hWnd->frameGeometry();
    if (fromDockedWindow) {
        const Placement placement = Snap(mainRect, rect);
        row.side = placement.side;
        row.offset = placement.offset;
        if (placement.side != NotDocked && placement.rect.topLeft() != rect.topLeft())
            hWnd->move(placement.rect.topLeft());
        return;
    }
    const QRect target = Follow(row.side, row.offset, mainRect, rect);
    if (target.topLeft() != rect.topLeft())
        hWnd->move(target.topLeft());
}

void InstallDockHook(QWidget *window, QWidget *main)
{
    mainWindow() = main;
    window->installEventFilter(new DockHook(window, main));
}

QList<QWidget *> DockedWindows()
{
    QList<QWidget *> windows;
    for (const DockRow &row : table()) {
        if (row.hWnd && row.side != NotDocked)
            windows.append(row.hWnd);
    }
    return windows;
}

void FollowMainWindow()
{
    // Index access: a follow move comes back here through the docked
    // window's own hook, which finds its row and appends nothing.
    for (qsizetype i = 0; i < table().size(); ++i) {
        DockRow &row = table()[i];
        if (row.hWnd && row.side != NotDocked)
            DockWindow(row.hWnd, row, false);
    }
}

void PinPlace(QWidget *window, QPoint framePosition)
{
    QWindow *handle = window->windowHandle();
    if (handle && QGuiApplication::platformName() == QLatin1String("xcb"))
        handle->setFramePosition(framePosition);
}

void ShowInPlace(QWidget *window, QPoint framePosition)
{
    PinPlace(window, framePosition);
    window->show();
    window->move(framePosition);
}

void ResetDockTable()
{
    table().clear();
}

} // namespace FrmXf
