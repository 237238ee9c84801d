#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>

// Builds an animated GIF89a picture for the demo covers; Qt reads GIF but
// cannot write it. Every file uses one fixed global palette, so frames need no
// colour analysis and a colour taken from the palette comes back exactly.
//
// Blocks, in file order:
//   header "GIF89a", logical screen descriptor, global colour table (256)
//   application extension NETSCAPE2.0 (repeat count)
//   per frame: graphic control extension (delay), image descriptor (whole
//              picture, no local table), LZW data (minimum code size 8;
//              a clear code first and whenever the 4096 codes are used up)
//   trailer
namespace Demo {

class GifWriter
{
public:
    static constexpr int kMinCodeSize = 8;
    static constexpr int kMaxCodeBits = 12;

    // size: 1..65535 pixels each way. delay: how long each frame shows, in
    // hundredths of a second. repeats: the NETSCAPE2.0 repeat count, 0 plays
    // for ever.
    GifWriter(QSize size, int delay, int repeats = 0);

    // Adds a frame (scaled first if its size differs); each pixel becomes the
    // nearest palette colour; transparency is not kept.
    void addFrame(const QImage &frame);
    int frameCount() const { return m_frames; }
    // The finished file; a reader needs at least one frame in it.
    QByteArray toBytes() const;

    // 216 colours of a 6x6x6 cube (channel levels 0, 51, ..., 255), then 40
    // greys, eight in each step between the cube's greys.
    static const QList<QRgb> &palette();
    // Index of the palette colour nearest to colour (squared RGB distance).
    static int paletteIndex(QRgb colour);

private:
    QSize m_size;
    int m_delay;
    int m_frames = 0;
    QByteArray m_bytes; // all but the trailer
};

} // namespace Demo
