#pragma once

#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <QString>

class QPainter;

// Drawing helpers shared by the custom controls. They take a QPainter where a
// device context was taken before; colours are OLE colours (0x00BBGGRR, or
// 0x800000nn for a system colour) and pass through TranslateColor first.
namespace ModDC {

// DrawTextInRect format bits, as the controls pass them.
constexpr quint32 DT_LEFT = 0x0;
constexpr quint32 DT_CENTER = 0x1;
constexpr quint32 DT_RIGHT = 0x2;
constexpr quint32 DT_TOP = 0x0;
constexpr quint32 DT_VCENTER = 0x4;
constexpr quint32 DT_BOTTOM = 0x8;
constexpr quint32 DT_WORDBREAK = 0x10;
constexpr quint32 DT_SINGLELINE = 0x20;
constexpr quint32 DT_EXPANDTABS = 0x40;
constexpr quint32 DT_NOCLIP = 0x100;
constexpr quint32 DT_NOPREFIX = 0x800;
constexpr quint32 DT_END_ELLIPSIS = 0x8000;

// System colour indices (the low byte of 0x800000nn) the controls use.
enum SystemColor : quint32
{
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
    COLOR_HOTLIGHT = 26,
    COLOR_GRADIENTACTIVECAPTION = 27,
    COLOR_GRADIENTINACTIVECAPTION = 28,
    COLOR_MENUHILIGHT = 29,
    COLOR_MENUBAR = 30,
};

// The OLE colour naming a system colour.
constexpr quint32 systemColor(SystemColor index)
{
    return 0x80000000u | quint32(index);
}

// The RGB value of an OLE colour packed as 0x00BBGGRR.
constexpr quint32 oleColor(int red, int green, int blue)
{
    return quint32(red & 0xFF) | (quint32(green & 0xFF) << 8) | (quint32(blue & 0xFF) << 16);
}

// An off-screen surface of width x height (device-independent pixels) for a
// device of the given pixel ratio; a null pixmap when the size is empty.
QPixmap CreateMemDC(int width, int height, qreal devicePixelRatio = 1.0);

// Draws text into the rectangle with the DT_ format bits, in the painter's
// current font and pen. Returns the height of the text drawn, 0 on failure.
int DrawTextInRect(QPainter *dc, const QString &text, int left, int top, int width, int height,
                   quint32 format);

// Fills the rectangle with a solid colour.
void FillRectColor(QPainter *dc, int left, int top, int width, int height, quint32 color);

// Draws a one-pixel frame just inside the rectangle.
void FrameRectColor(QPainter *dc, int left, int top, int width, int height, quint32 color);

// An OLE colour as a QColor. System colours are taken from the palette (the
// application's by default); an OLE colour that names no colour gives black,
// the value a failed translation leaves behind.
QColor TranslateColor(quint32 color);
QColor TranslateColor(quint32 color, const QPalette &palette);

} // namespace ModDC
