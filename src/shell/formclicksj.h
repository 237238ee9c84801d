#pragma once

#include <QColor>
#include <QImage>

class QWidget;

namespace FormClickSj {

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

} // namespace FormClickSj
