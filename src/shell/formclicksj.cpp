#include "formclicksj.h"

#include <QBitmap>
#include <QEvent>
#include <QIcon>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QWidget>
#include <QWindow>

#include <utility>

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

void MakeBorderless(QWidget *window, QSize size)
{
    window->setWindowIcon(QIcon(QStringLiteral(":/images/app-icon.svg")));
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setFixedSize(size);
}

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

Background::Background(QString svgResource) : m_svgResource(std::move(svgResource)) {}

void Background::paint(QWidget *window)
{
    if (m_picture.size() != window->size()) {
        QImage picture(window->size(), QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QPainter svgPainter(&picture);
        QSvgRenderer(m_svgResource).render(&svgPainter);
        svgPainter.end();
        m_picture = HardEdged(picture);
    }
    QPainter painter(window);
    painter.drawImage(0, 0, m_picture);
}

void BackgroundDrag::grab(const QWidget *window, const QMouseEvent *press)
{
    if (press->button() == Qt::LeftButton)
        m_offset = press->globalPosition().toPoint() - window->pos();
}

void BackgroundDrag::start(QWidget *window)
{
    QWindow *handle = window->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragging = true;
}

void BackgroundDrag::follow(QWidget *window, const QPoint &globalPos) const
{
    if (m_dragging)
        window->move(globalPos - m_offset);
}

} // namespace FormClickSj
