#pragma once

#include <QByteArray>
#include <QColor>
#include <QtGlobal>

// Tiny Flash movies made by the tests themselves, with ActionScript 1/2
// (AVM1) actions in their first frame.

namespace Swf {

// Little-endian integer of the given byte count.
inline QByteArray le(quint32 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xFF);
    return out;
}

class BitWriter
{
public:
    void write(quint32 value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            m_current = quint8(m_current << 1 | ((value >> i) & 1));
            if (++m_used == 8)
                flush();
        }
    }
    QByteArray bytes()
    {
        if (m_used > 0) {
            m_current = quint8(m_current << (8 - m_used));
            flush();
        }
        return m_bytes;
    }

private:
    void flush()
    {
        m_bytes.append(char(m_current));
        m_current = 0;
        m_used = 0;
    }
    QByteArray m_bytes;
    quint8 m_current = 0;
    int m_used = 0;
};

inline QByteArray tag(int code, const QByteArray &body)
{
    const auto size = quint32(body.size());
    if (size < 0x3F)
        return le(code << 6 | size, 2) + body;
    return le(code << 6 | 0x3F, 2) + le(size, 4) + body;
}

// --- actions ---------------------------------------------------------------

// ActionGetURL: opens the address in the target window ("" the movie's own,
// "_self", "_blank"); "FSCommand:name" calls fscommand.
inline QByteArray getUrl(const QByteArray &url, const QByteArray &target)
{
    const QByteArray fields = url + '\0' + target + '\0';
    return QByteArray(1, char(0x83)) + le(fields.size(), 2) + fields;
}

// flash.external.ExternalInterface.call(function, argument), its result dropped.
inline QByteArray callExternalInterface(const QByteArray &function, const QByteArray &argument)
{
    const auto push = [](const QByteArray &items) {
        return QByteArray(1, char(0x96)) + le(items.size(), 2) + items;
    };
    const auto string = [](const QByteArray &text) { return QByteArray(1, '\0') + text + '\0'; };
    const QByteArray getVariable(1, char(0x1C)), getMember(1, char(0x4E));
    const QByteArray callMethod(1, char(0x52)), pop(1, char(0x17));
    // The arguments last to first, their count, the object, the method's name.
    return push(string(argument) + string(function) + char(7) + le(2, 4) + string("flash")) +
           getVariable + push(string("external")) + getMember + push(string("ExternalInterface")) +
           getMember + push(string("call")) + callMethod + pop;
}

// ActionStop: the timeline stops, so the first frame's actions run once.
inline QByteArray stop()
{
    return QByteArray(1, char(0x07));
}

// --- movies ----------------------------------------------------------------

// FileAttributes, SetBackgroundColor, an optional Metadata tag of padding
// bytes (for downloads in several pieces) and two frames, the first of which
// runs the actions. By default they call fscommand("tick"): the page sees
// every pass of the looping timeline.
struct Movie
{
    int width = 320;
    int height = 240;
    int framesPerSecond = 30;
    quint8 version = 10;
    QRgb background = qRgb(0x33, 0x66, 0x99);
    int padding = 0;
    QByteArray actions = getUrl("FSCommand:tick", "");
};

inline QByteArray bytes(const Movie &movie)
{
    // Frame rectangle in twips, 16-bit signed fields.
    BitWriter rect;
    rect.write(16, 5);
    rect.write(0, 16);
    rect.write(quint32(movie.width * 20), 16);
    rect.write(0, 16);
    rect.write(quint32(movie.height * 20), 16);

    const QByteArray colour = QByteArray(1, char(qRed(movie.background))) +
                              char(qGreen(movie.background)) + char(qBlue(movie.background));
    QByteArray tags = tag(69, le(0, 4)) // FileAttributes: ActionScript 1/2
                      + tag(9, colour); // SetBackgroundColor
    if (movie.padding > 0)
        tags += tag(77, QByteArray(movie.padding - 1, ' ') + '\0'); // Metadata
    tags += tag(12, movie.actions + '\0');                          // DoAction, ActionEnd
    tags += tag(1, {}) + tag(1, {});                                // ShowFrame, ShowFrame
    tags += tag(0, {});                                             // End

    // Frame rate in 8.8 fixed point, then the frame count.
    const QByteArray body =
        rect.bytes() + le(quint32(movie.framesPerSecond) << 8, 2) + le(2, 2) + tags;
    return QByteArray("FWS") + char(movie.version) + le(8 + body.size(), 4) + body;
}

} // namespace Swf
