#include "gifwriter.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>

namespace Demo {

namespace {

constexpr int kCubeLevels = 6;
constexpr int kCubeStep = 51; // 255 / (kCubeLevels - 1)
constexpr int kCubeColours = kCubeLevels * kCubeLevels * kCubeLevels;
// Greys: 45 equal steps from black to white; every ninth is a cube colour.
constexpr int kGreySteps = 45;
constexpr int kGreysPerCubeStep = 9;
constexpr int kPaletteSize = kCubeColours + kGreySteps + 1 - kCubeLevels;
static_assert(kPaletteSize == 256, "one byte per pixel, minimum code size 8");
constexpr int kMaxCodes = 1 << GifWriter::kMaxCodeBits;
constexpr int kMaxSubBlock = 255;

void appendU8(QByteArray &out, int value)
{
    out.append(char(quint8(value)));
}

void appendU16(QByteArray &out, int value)
{
    char bytes[2];
    qToLittleEndian(quint16(value), bytes);
    out.append(bytes, 2);
}

int greyValue(int step)
{
    return (step * 255 + kGreySteps / 2) / kGreySteps;
}

int greyIndex(int step)
{
    const int cubeStep = step / kGreysPerCubeStep;
    const int within = step % kGreysPerCubeStep;
    // r = g = b = cubeStep in the cube is index cubeStep * (36 + 6 + 1).
    if (within == 0)
        return cubeStep * (kCubeLevels * kCubeLevels + kCubeLevels + 1);
    return kCubeColours + cubeStep * (kGreysPerCubeStep - 1) + within - 1;
}

int distance(QRgb a, QRgb b)
{
    const int r = qRed(a) - qRed(b);
    const int g = qGreen(a) - qGreen(b);
    const int bl = qBlue(a) - qBlue(b);
    return r * r + g * g + bl * bl;
}

// Codes go out least significant bit first, each as wide as the decoder
// expects at that point of the stream.
class CodePacker
{
public:
    void put(int code, int width)
    {
        m_pending |= quint32(code) << m_pendingBits;
        m_pendingBits += width;
        while (m_pendingBits >= 8) {
            m_bytes.append(char(m_pending & 0xFFu));
            m_pending >>= 8;
            m_pendingBits -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_pendingBits > 0)
            m_bytes.append(char(m_pending & 0xFFu));
        m_pending = 0;
        m_pendingBits = 0;
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_pending = 0;
    int m_pendingBits = 0;
};

// The LZW code stream for palette indices, before it is cut into sub-blocks.
QByteArray compress(const QByteArray &indices)
{
    constexpr int kClear = 1 << GifWriter::kMinCodeSize;
    constexpr int kEnd = kClear + 1;
    CodePacker out;
    QHash<quint32, int> table; // (prefix code << 8 | index) -> code
    int width = GifWriter::kMinCodeSize + 1;
    int next = kEnd + 1;
    out.put(kClear, width);
    if (indices.isEmpty()) {
        out.put(kEnd, width);
        return out.finish();
    }

    int prefix = quint8(indices.at(0));
    for (qsizetype i = 1; i < indices.size(); ++i) {
        const int index = quint8(indices.at(i));
        const quint32 key = quint32(prefix) << 8 | quint32(index);
        const auto found = table.constFind(key);
        if (found != table.constEnd()) {
            prefix = *found;
            continue;
        }
        out.put(prefix, width);
        if (next == kMaxCodes) {
            // Table full: start afresh, as the decoder adds nothing more.
            out.put(kClear, width);
            table.clear();
            width = GifWriter::kMinCodeSize + 1;
            next = kEnd + 1;
        } else {
            table.insert(key, next++);
            // The decoder adds this code one code later, so it widens once
            // the code just added no longer fits.
            if (next > (1 << width) && width < GifWriter::kMaxCodeBits)
                ++width;
        }
        prefix = index;
    }
    out.put(prefix, width);
    // The decoder adds an entry for that last code too and may widen before
    // it reads the end code.
    if (next == (1 << width) && width < GifWriter::kMaxCodeBits)
        ++width;
    out.put(kEnd, width);
    return out.finish();
}

} // namespace

GifWriter::GifWriter(QSize size, int delay, int repeats)
    : m_size(size.boundedTo(QSize(0xFFFF, 0xFFFF)).expandedTo(QSize(1, 1))),
      m_delay(std::clamp(delay, 0, 0xFFFF))
{
    m_bytes = QByteArrayLiteral("GIF89a");
    appendU16(m_bytes, m_size.width());
    appendU16(m_bytes, m_size.height());
    // Global table present, 8 bits per primary, unsorted, 2^(7+1) entries.
    appendU8(m_bytes, 0xF7);
    appendU8(m_bytes, 0); // background colour index
    appendU8(m_bytes, 0); // no aspect ratio
    for (const QRgb colour : palette()) {
        appendU8(m_bytes, qRed(colour));
        appendU8(m_bytes, qGreen(colour));
        appendU8(m_bytes, qBlue(colour));
    }
    // Without this block browsers and QMovie play the animation only once.
    appendU8(m_bytes, 0x21);
    appendU8(m_bytes, 0xFF);
    appendU8(m_bytes, 11);
    m_bytes.append("NETSCAPE2.0");
    appendU8(m_bytes, 3);
    appendU8(m_bytes, 1);
    appendU16(m_bytes, std::clamp(repeats, 0, 0xFFFF));
    appendU8(m_bytes, 0);
}

void GifWriter::addFrame(const QImage &frame)
{
    const QImage image = (frame.size() == m_size ? frame : frame.scaled(m_size))
                             .convertToFormat(QImage::Format_RGB32);
    QByteArray indices;
    indices.reserve(qsizetype(m_size.width()) * m_size.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            indices.append(char(paletteIndex(line[x])));
    }

    // Graphic control extension: keep the frame when the next one comes
    // (disposal 1), no transparency; every frame covers the whole picture.
    appendU8(m_bytes, 0x21);
    appendU8(m_bytes, 0xF9);
    appendU8(m_bytes, 4);
    appendU8(m_bytes, 1 << 2);
    appendU16(m_bytes, m_delay);
    appendU8(m_bytes, 0);
    appendU8(m_bytes, 0);

    appendU8(m_bytes, 0x2C);
    appendU16(m_bytes, 0);
    appendU16(m_bytes, 0);
    appendU16(m_bytes, m_size.width());
    appendU16(m_bytes, m_size.height());
    appendU8(m_bytes, 0); // no local table, not interlaced

    appendU8(m_bytes, kMinCodeSize);
    const QByteArray codes = compress(indices);
    for (qsizetype at = 0; at < codes.size(); at += kMaxSubBlock) {
        const qsizetype length = std::min<qsizetype>(kMaxSubBlock, codes.size() - at);
        appendU8(m_bytes, int(length));
        m_bytes.append(codes.constData() + at, length);
    }
    appendU8(m_bytes, 0);
    ++m_frames;
}

QByteArray GifWriter::toBytes() const
{
    return m_bytes + char(0x3B);
}

const QList<QRgb> &GifWriter::palette()
{
    static const QList<QRgb> colours = [] {
        QList<QRgb> list(kPaletteSize, 0);
        for (int r = 0; r < kCubeLevels; ++r) {
            for (int g = 0; g < kCubeLevels; ++g) {
                for (int b = 0; b < kCubeLevels; ++b)
                    list[(r * kCubeLevels + g) * kCubeLevels + b] =
                        qRgb(r * kCubeStep, g * kCubeStep, b * kCubeStep);
            }
        }
        for (int step = 0; step <= kGreySteps; ++step) {
            const int value = greyValue(step);
            list[greyIndex(step)] = qRgb(value, value, value);
        }
        return list;
    }();
    return colours;
}

int GifWriter::paletteIndex(QRgb colour)
{
    const QList<QRgb> &colours = palette();
    // The cube is a grid, so the nearest cube colour rounds each channel.
    const auto level = [](int value) { return (value + kCubeStep / 2) / kCubeStep; };
    const int cube = (level(qRed(colour)) * kCubeLevels + level(qGreen(colour))) * kCubeLevels +
                     level(qBlue(colour));
    // Of the greys, the one nearest to the channels' mean is nearest.
    const int sum = qRed(colour) + qGreen(colour) + qBlue(colour);
    const int grey = greyIndex((sum * kGreySteps + 3 * 255 / 2) / (3 * 255));
    return distance(colour, colours.at(grey)) < distance(colour, colours.at(cube)) ? grey : cube;
}

} // namespace Demo
