#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QRect>
#include <QSize>

// Builds a small uncompressed Flash movie ("FWS") for the demo resources:
// a still picture of filled rectangles and one sound that starts on the first
// frame. The timeline lasts as long as the sound and stops on its last frame,
// because the player loops a movie by default and would start the sound over.
//
// Tags, in file order:
//   FileAttributes (ActionScript 1/2, so the stop action runs)
//   SetBackgroundColor
//   DefineShape + PlaceObject2 per rectangle (depth = order, later on top)
//   DefineSound + StartSound (only when there is a sound)
//   ShowFrame per frame, with DoAction { stop } before the last one
//   End
namespace Demo {

class SwfWriter
{
public:
    // Tag codes of the SWF file format that the writer uses.
    enum Tag : quint16
    {
        End = 0,
        ShowFrame = 1,
        DefineShape = 2,
        SetBackgroundColor = 9,
        DoAction = 12,
        DefineSound = 14,
        StartSound = 15,
        PlaceObject2 = 26,
        FileAttributes = 69,
    };

    static constexpr int kVersion = 10;
    // The frame count is a 16-bit field; a longer sound still plays to its
    // end as an event sound, only the timeline stops earlier.
    static constexpr int kMaxFrames = 0xFFFF;
    static constexpr int kTwipsPerPixel = 20;

    // frameSize in pixels; framesPerSecond 1..255 (8.8 fixed point field).
    SwfWriter(QSize frameSize, int framesPerSecond);

    void setBackground(const QColor &colour);
    // A filled rectangle in pixels, drawn over the ones added before it.
    void addRectangle(const QRect &rect, const QColor &colour);
    // Mono 16-bit samples; the format only knows 5512, 11025, 22050 and 44100
    // Hz, so any other rate is refused (returns false, nothing changes).
    // An empty sound writes no sound tags: one silent frame.
    bool setSound(const QList<qint16> &samples, int sampleRate);

    static bool isSupportedRate(int sampleRate);

    // Frames needed to cover the sound (at least 1, at most kMaxFrames).
    int frameCount() const;
    // The whole file.
    QByteArray toBytes() const;

private:
    struct Rectangle
    {
        QRect rect;
        QColor colour;
    };

    QSize m_frameSize;
    int m_framesPerSecond;
    QColor m_background = Qt::white;
    QList<Rectangle> m_rectangles;
    QList<qint16> m_samples;
    int m_sampleRate = 22050;
};

} // namespace Demo
