#include "moddc.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QtMath>

#include <iterator>

namespace ModDC {

namespace {

struct SystemRole
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The palette role closest to each system colour index; index 25 is unused on
// Windows and the table ends at COLOR_MENUBAR.
bool systemRole(quint32 index, SystemRole &out)
{
    using P = QPalette;
    static const SystemRole roles[] = {
        {P::Active, P::Button},          // COLOR_SCROLLBAR
        {P::Active, P::Window},          // COLOR_BACKGROUND (desktop)
        {P::Active, P::Highlight},       // COLOR_ACTIVECAPTION
        {P::Inactive, P::Mid},           // COLOR_INACTIVECAPTION
        {P::Active, P::Window},          // COLOR_MENU
        {P::Active, P::Base},            // COLOR_WINDOW
        {P::Active, P::Shadow},          // COLOR_WINDOWFRAME
        {P::Active, P::WindowText},      // COLOR_MENUTEXT
        {P::Active, P::Text},            // COLOR_WINDOWTEXT
        {P::Active, P::HighlightedText}, // COLOR_CAPTIONTEXT
        {P::Active, P::Window},          // COLOR_ACTIVEBORDER
        {P::Inactive, P::Window},        // COLOR_INACTIVEBORDER
        {P::Active, P::Dark},            // COLOR_APPWORKSPACE
        {P::Active, P::Highlight},       // COLOR_HIGHLIGHT
        {P::Active, P::HighlightedText}, // COLOR_HIGHLIGHTTEXT
        {P::Active, P::Button},          // COLOR_BTNFACE
        {P::Active, P::Dark},            // COLOR_BTNSHADOW
        {P::Disabled, P::Text},          // COLOR_GRAYTEXT
        {P::Active, P::ButtonText},      // COLOR_BTNTEXT
        {P::Disabled, P::WindowText},    // COLOR_INACTIVECAPTIONTEXT
        {P::Active, P::Light},           // COLOR_BTNHIGHLIGHT
        {P::Active, P::Shadow},          // COLOR_3DDKSHADOW
        {P::Active, P::Midlight},        // COLOR_3DLIGHT
        {P::Active, P::ToolTipText},     // COLOR_INFOTEXT
        {P::Active, P::ToolTipBase},     // COLOR_INFOBK
        {P::Active, P::NoRole},          // 25: no such colour
        {P::Active, P::Link},            // COLOR_HOTLIGHT
        {P::Active, P::Highlight},       // COLOR_GRADIENTACTIVECAPTION
        {P::Inactive, P::Mid},           // COLOR_GRADIENTINACTIVECAPTION
        {P::Active, P::Highlight},       // COLOR_MENUHILIGHT
        {P::Active, P::Window},          // COLOR_MENUBAR
    };
    if (index >= std::size(roles) || roles[index].role == P::NoRole)
        return false;
    out = roles[index];
    return true;
}

int qtTextFlags(quint32 format)
{
    int flags = 0;
    if (format & DT_CENTER)
        flags |= Qt::AlignHCenter;
    else if (format & DT_RIGHT)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    // Vertical placement only applies to a single line, as with DrawText.
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        flags |= Qt::AlignVCenter;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignTop;
    if (format & DT_SINGLELINE)
        flags |= Qt::TextSingleLine;
    else if (format & DT_WORDBREAK)
        flags |= Qt::TextWordWrap;
    if (format & DT_EXPANDTABS)
        flags |= Qt::TextExpandTabs;
    if (format & DT_NOCLIP)
        flags |= Qt::TextDontClip;
    // Without DT_NOPREFIX "&x" underlines x and "&&" shows one ampersand.
    if (!(format & DT_NOPREFIX))
        flags |= Qt::TextShowMnemonic;
    return flags;
}

} // namespace

QPixmap CreateMemDC(int width, int height, qreal devicePixelRatio)
{
    if (width <= 0 || height <= 0 || devicePixelRatio <= 0)
        return QPixmap();
    QPixmap surface(qCeil(width * devicePixelRatio), qCeil(height * devicePixelRatio));
    surface.setDevicePixelRatio(devicePixelRatio);
    // A fresh bitmap is black; a DrawItem handler that skips the default
    // drawing and paints only part of the row must not show stale pixels.
    surface.fill(Qt::black);
    return surface;
}

int DrawTextInRect(QPainter *dc, const QString &text, int left, int top, int width, int height,
                   quint32 format)
{
    if (!dc || !dc->isActive())
        return 0;
    const QRect rect(left, top, width, height);
    const int flags = qtTextFlags(format);
    QString shown = text;
    if (format & DT_END_ELLIPSIS) {
        const QFontMetrics metrics(dc->font());
        shown =
            metrics.elidedText(text, Qt::ElideRight, qMax(0, width), flags & Qt::TextShowMnemonic);
    }
    QRect drawn;
    dc->drawText(rect, flags, shown, &drawn);
    if (text.isEmpty())
        return 0;
    // DrawText answers the text height, or for vertically placed single lines
    // the offset from the top of the rectangle to the bottom of the text.
    if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)))
        return drawn.bottom() + 1 - top;
    return drawn.height();
}

void FillRectColor(QPainter *dc, int left, int top, int width, int height, quint32 color)
{
    if (!dc || width <= 0 || height <= 0)
        return;
    dc->fillRect(QRect(left, top, width, height), TranslateColor(color));
}

void FrameRectColor(QPainter *dc, int left, int top, int width, int height, quint32 color)
{
    if (!dc || width <= 0 || height <= 0)
        return;
    // Four filled strips rather than a pen, so the frame stays one pixel wide
    // and exactly inside the rectangle whatever the pen and antialiasing.
    const QColor c = TranslateColor(color);
    dc->fillRect(QRect(left, top, width, 1), c);
    dc->fillRect(QRect(left, top + height - 1, width, 1), c);
    dc->fillRect(QRect(left, top, 1, height), c);
    dc->fillRect(QRect(left + width - 1, top, 1, height), c);
}

QColor TranslateColor(quint32 color)
{
    return TranslateColor(color, QGuiApplication::palette());
}

QColor TranslateColor(quint32 color, const QPalette &palette)
{
    switch (color >> 24) {
    case 0x00: // RGB
    case 0x02: // palette-relative RGB: with no palette, the RGB itself
        return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
    case 0x80: {
        SystemRole role;
        if ((color & 0x00FFFF00u) == 0 && systemRole(color & 0xFF, role))
            return palette.color(role.group, role.role);
        break;
    }
    default:
        break;
    }
    return QColor(Qt::black);
}

} // namespace ModDC
