#include "formclicksj.h"

#include <QBitmap>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace FormClickSj {

namespace {
class ShapeKeeper : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::Paint) {
            // The key colour under everything the window paints itself. Not
            // through the palette: that would colour every child control too.
            QPainter painter(window);
            painter.fillRect(window->rect(), kKeyColour);
        } else if (event->type() == QEvent::Resize || event->type() == QEvent::Show) {
            RefreshShape(window);
        }
        return false;
    }
};
} // namespace

void MakeBackColorTransparent(QWidget *window)
{
    window->setAutoFillBackground(false);
    static const char kShaped[] = "aurilo_shaped";
    if (window->property(kShaped).toBool())
        return;
    window->setProperty(kShaped, true);
    window->installEventFilter(new ShapeKeeper(window));
}

void RefreshShape(QWidget *window)
{
    if (window->width() <= 0 || window->height() <= 0)
        return;
    // Render at one device pixel per logical pixel, so the mask matches the
    // widget's coordinates whatever the screen's scale.
    QPixmap pixmap(window->size());
    pixmap.setDevicePixelRatio(1.0);
    pixmap.fill(kKeyColour);
    // render() paints only inside the current shape; the new shape is taken
    // from the whole window.
    window->clearMask();
    window->render(&pixmap, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    const QImage image = pixmap.toImage();
    // QBitmap reads white as "not in the shape", and MaskInColor makes the key
    // colour's pixels white.
    const QImage mask = image.createMaskFromColor(kKeyColour.rgb(), Qt::MaskInColor);
    window->setMask(QBitmap::fromImage(mask));
}

QImage HardEdged(const QImage &picture)
{
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = kKeyColour.rgb();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            line[x] = qAlpha(pixel) < 128 ? key
                                          : qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel));
        }
    }
    return image;
}

} // namespace FormClickSj
