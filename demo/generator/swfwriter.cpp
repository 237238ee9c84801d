#include "swfwriter.h"

#include <QtEndian>

#include <algorithm>

namespace Demo {

namespace {

// Bit fields of the SWF file format are packed from the most significant bit
// of each byte down; a record that is followed by whole bytes ends on a byte
// boundary (align()).
class BitWriter
{
public:
    void writeUnsigned(quint32 value, int bits)
    {
        for (int i = bits - 1; i >= 0; --i) {
            if (m_freeBits == 0) {
                m_bytes.append('\0');
                m_freeBits = 8;
            }
            --m_freeBits;
            if ((value >> i) & 1u)
                m_bytes.back() = char(quint8(m_bytes.back()) | (1u << m_freeBits));
        }
    }
    void writeSigned(qint32 value, int bits)
    {
        const quint32 mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u;
        writeUnsigned(quint32(value) & mask, bits);
    }
    void align() { m_freeBits = 0; }
    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_freeBits = 0;
};

// Bits a two's-complement field needs to hold value.
int signedBits(qint32 value)
{
    int bits = 1;
    while (value < -(qint64(1) << (bits - 1)) || value > (qint64(1) << (bits - 1)) - 1)
        ++bits;
    return bits;
}

void appendU8(QByteArray &out, quint8 value)
{
    out.append(char(value));
}

void appendU16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void appendU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendRgb(QByteArray &out, const QColor &colour)
{
    appendU8(out, quint8(colour.red()));
    appendU8(out, quint8(colour.green()));
    appendU8(out, quint8(colour.blue()));
}

// RECT: one field width for all four values, the smallest that holds each.
void writeRect(BitWriter &bits, qint32 xMin, qint32 xMax, qint32 yMin, qint32 yMax)
{
    const int width =
        std::max({signedBits(xMin), signedBits(xMax), signedBits(yMin), signedBits(yMax)});
    bits.writeUnsigned(quint32(width), 5);
    bits.writeSigned(xMin, width);
    bits.writeSigned(xMax, width);
    bits.writeSigned(yMin, width);
    bits.writeSigned(yMax, width);
    bits.align();
}

// The short header holds lengths up to 62; 63 in its length bits announces
// the long form. Sound data always takes the long form, as Flash's own tools
// write it.
void appendTag(QByteArray &out, SwfWriter::Tag code, const QByteArray &body, bool longForm = false)
{
    if (longForm || body.size() >= 0x3F) {
        appendU16(out, quint16((code << 6) | 0x3F));
        appendU32(out, quint32(body.size()));
    } else {
        appendU16(out, quint16((code << 6) | body.size()));
    }
    out.append(body);
}

// A straight edge along one axis. The edge's length field holds at most 17
// signed bits, so a longer edge is drawn in pieces.
void writeAxisEdge(BitWriter &bits, bool vertical, qint32 delta)
{
    constexpr qint32 kLongest = 0xFFFF;
    while (delta != 0) {
        const qint32 step = std::clamp(delta, -kLongest, kLongest);
        const int width = std::max(2, signedBits(step));
        bits.writeUnsigned(1, 1); // edge record
        bits.writeUnsigned(1, 1); // straight
        bits.writeUnsigned(quint32(width - 2), 4);
        bits.writeUnsigned(0, 1); // not a general line: one axis only
        bits.writeUnsigned(vertical ? 1 : 0, 1);
        bits.writeSigned(step, width);
        delta -= step;
    }
}

QByteArray defineShapeBody(quint16 id, const QRect &rect, const QColor &colour)
{
    const qint32 left = rect.x() * SwfWriter::kTwipsPerPixel;
    const qint32 top = rect.y() * SwfWriter::kTwipsPerPixel;
    const qint32 width = rect.width() * SwfWriter::kTwipsPerPixel;
    const qint32 height = rect.height() * SwfWriter::kTwipsPerPixel;

    QByteArray body;
    appendU16(body, id);
    BitWriter bounds;
    writeRect(bounds, left, left + width, top, top + height);
    body.append(bounds.bytes());
    appendU8(body, 1);    // one fill style
    appendU8(body, 0x00); // solid fill
    appendRgb(body, colour);
    appendU8(body, 0); // no line styles

    BitWriter shape;
    shape.writeUnsigned(1, 4); // fill style index bits
    shape.writeUnsigned(0, 4); // line style index bits
    // Style change: select fill style 1 and move to the top-left corner.
    shape.writeUnsigned(0, 1); // not an edge
    shape.writeUnsigned(0, 1); // no new styles
    shape.writeUnsigned(0, 1); // line style unchanged
    shape.writeUnsigned(1, 1); // fill style 1 set
    shape.writeUnsigned(0, 1); // fill style 0 unchanged
    shape.writeUnsigned(1, 1); // move to
    const int moveBits = std::max(signedBits(left), signedBits(top));
    shape.writeUnsigned(quint32(moveBits), 5);
    shape.writeSigned(left, moveBits);
    shape.writeSigned(top, moveBits);
    shape.writeUnsigned(1, 1); // fill style 1 = the first style
    // Clockwise on screen (y grows downwards), so the inside lies on the
    // right of every edge, where fill style 1 paints.
    writeAxisEdge(shape, false, width);
    writeAxisEdge(shape, true, height);
    writeAxisEdge(shape, false, -width);
    writeAxisEdge(shape, true, -height);
    shape.writeUnsigned(0, 6); // end of shape
    shape.align();
    body.append(shape.bytes());
    return body;
}

QByteArray placeObjectBody(quint16 id, quint16 depth)
{
    QByteArray body;
    appendU8(body, 0x06); // has matrix, has character
    appendU16(body, depth);
    appendU16(body, id);
    appendU8(body, 0x00); // identity matrix: no scale, no rotation, no translation bits
    return body;
}

int rateCode(int sampleRate)
{
    switch (sampleRate) {
    case 5512:
        return 0;
    case 11025:
        return 1;
    case 22050:
        return 2;
    case 44100:
        return 3;
    default:
        return -1;
    }
}

} // namespace

SwfWriter::SwfWriter(QSize frameSize, int framesPerSecond)
    : m_frameSize(frameSize), m_framesPerSecond(std::clamp(framesPerSecond, 1, 255))
{
}

void SwfWriter::setBackground(const QColor &colour)
{
    m_background = colour;
}

void SwfWriter::addRectangle(const QRect &rect, const QColor &colour)
{
    const QRect normalized = rect.normalized();
    if (!normalized.isEmpty())
        m_rectangles.append({normalized, colour});
}

bool SwfWriter::setSound(const QList<qint16> &samples, int sampleRate)
{
    if (!isSupportedRate(sampleRate))
        return false;
    m_samples = samples;
    m_sampleRate = sampleRate;
    return true;
}

bool SwfWriter::isSupportedRate(int sampleRate)
{
    return rateCode(sampleRate) >= 0;
}

int SwfWriter::frameCount() const
{
    const qint64 frames =
        (qint64(m_samples.size()) * m_framesPerSecond + m_sampleRate - 1) / m_sampleRate;
    return int(std::clamp<qint64>(frames, 1, kMaxFrames));
}

QByteArray SwfWriter::toBytes() const
{
    QByteArray tags;
    appendTag(tags, FileAttributes, QByteArray(4, '\0'));
    QByteArray background;
    appendRgb(background, m_background);
    appendTag(tags, SetBackgroundColor, background);

    quint16 nextId = 1;
    for (const Rectangle &rectangle : m_rectangles) {
        const quint16 id = nextId++;
        appendTag(tags, DefineShape, defineShapeBody(id, rectangle.rect, rectangle.colour));
        appendTag(tags, PlaceObject2, placeObjectBody(id, id));
    }

    if (!m_samples.isEmpty()) {
        const quint16 soundId = nextId++;
        QByteArray sound;
        sound.reserve(7 + m_samples.size() * 2);
        appendU16(sound, soundId);
        // format 3 (uncompressed, little-endian), rate, 16-bit, mono
        appendU8(sound, quint8((3 << 4) | (rateCode(m_sampleRate) << 2) | (1 << 1) | 0));
        appendU32(sound, quint32(m_samples.size()));
        for (const qint16 sample : m_samples)
            appendU16(sound, quint16(sample));
        appendTag(tags, DefineSound, sound, true);

        QByteArray start;
        appendU16(start, soundId);
        // SyncNoMultiple: should the timeline come round again, the sound
        // must not start a second time over itself.
        appendU8(start, 0x10);
        appendTag(tags, StartSound, start);
    }

    const int frames = frameCount();
    for (int frame = 1; frame <= frames; ++frame) {
        if (frame == frames)
            appendTag(tags, DoAction, QByteArray("\x07\x00", 2)); // ActionStop, end of actions
        appendTag(tags, ShowFrame, {});
    }
    appendTag(tags, End, {});

    BitWriter frame;
    writeRect(frame, 0, m_frameSize.width() * kTwipsPerPixel, 0,
              m_frameSize.height() * kTwipsPerPixel);
    QByteArray out("FWS");
    appendU8(out, kVersion);
    appendU32(out, 0); // file length, filled in below
    out.append(frame.bytes());
    appendU16(out, quint16(m_framesPerSecond << 8)); // 8.8 fixed point
    appendU16(out, quint16(frames));
    out.append(tags);
    qToLittleEndian(quint32(out.size()), out.data() + 4);
    return out;
}

} // namespace Demo
