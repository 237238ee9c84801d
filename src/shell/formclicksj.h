#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

class QMouseEvent;
class QWidget;

namespace FormClickSj {

// Makes the widget a borderless top-level window of a fixed size with the
// program's icon: its own pictures draw its frame and caption bar.
void MakeBorderless(QWidget *window, QSize size);

// The key colour RGB(246, 0, 255): every pixel of it is cut out of a window.
inline const QColor kKeyColour{246, 0, 255};

// Paints the window's background in the key colour and shapes the window so
// that pixels of that colour are transparent and let the mouse through: only
// the window's pictures show. The shape follows every resize.
void MakeBackColorTransparent(QWidget *window);

// Recomputes the shape from what the window shows now (after its pictures
// changed).
void RefreshShape(QWidget *window);

// A picture made for a shaped window: pixels at least half opaque become fully
// opaque, the rest take the key colour. Soft, half-transparent edges would
// otherwise be blended with the key colour and show as a coloured fringe.
QImage HardEdged(const QImage &picture);

// A shaped window's background: an SVG resource drawn at the window's size
// and made hard-edged, rendered again only when that size changes.
class Background
{
public:
    explicit Background(QString svgResource);
    // Paints it over the whole window; called from the window's paintEvent.
    void paint(QWidget *window);

private:
    QString m_svgResource;
    QImage m_picture;
};

// Dragging a borderless window by any point of its background: by the window
// manager when there is one, else by following the mouse ourselves.
class BackgroundDrag
{
public:
    // A press on the background: a left one marks where it grabbed the window.
    void grab(const QWidget *window, const QMouseEvent *press);
    // Starts the drag from the last grab.
    void start(QWidget *window);
    // Moves the window with the mouse while a drag of our own runs.
    void follow(QWidget *window, const QPoint &globalPos) const;
    void release() { m_dragging = false; }

private:
    QPoint m_offset; // the grabbed point, from the window's corner
    bool m_dragging = false;
};

} // namespace FormClickSj
