#include "democatalog.h"
#include "demosite.h"
#include "speech.h"
#include "swfwriter.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <climits>
#include <cmath>

using namespace Qt::StringLiterals;
using Demo::Pcm;
using Demo::Speech;
using Demo::SwfWriter;

namespace {

// Reads bit fields the way a player does: most significant bit first.
class BitReader
{
public:
    BitReader(const QByteArray &bytes, qsizetype at) : m_bytes(bytes), m_bit(qint64(at) * 8) {}

    quint32 ub(int bits)
    {
        quint32 value = 0;
        for (int i = 0; i < bits; ++i, ++m_bit) {
            if (m_bit / 8 >= m_bytes.size()) {
                m_overrun = true;
                return 0;
            }
            value = (value << 1) | ((quint8(m_bytes.at(m_bit / 8)) >> (7 - m_bit % 8)) & 1u);
        }
        return value;
    }
    qint32 sb(int bits)
    {
        const quint32 value = ub(bits);
        if (bits == 0 || bits >= 32)
            return qint32(value);
        return (value & (1u << (bits - 1))) ? qint32(value) - qint32(1u << bits) : qint32(value);
    }
    // The byte after the last one touched.
    qsizetype alignedOffset() const { return qsizetype((m_bit + 7) / 8); }
    bool overrun() const { return m_overrun; }

private:
    const QByteArray &m_bytes;
    qint64 m_bit;
    bool m_overrun = false;
};

struct Twips
{
    qint32 xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

Twips readRect(BitReader &bits)
{
    const int width = int(bits.ub(5));
    Twips rect;
    rect.xMin = bits.sb(width);
    rect.xMax = bits.sb(width);
    rect.yMin = bits.sb(width);
    rect.yMax = bits.sb(width);
    return rect;
}

QRect pixels(const Twips &twips)
{
    return QRect(QPoint(twips.xMin / 20, twips.yMin / 20),
                 QSize((twips.xMax - twips.xMin) / 20, (twips.yMax - twips.yMin) / 20));
}

quint16 u16(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

struct Tag
{
    int code = -1;
    QByteArray body;
    bool longForm = false;
};

struct Movie
{
    QString problem; // empty when the file read cleanly
    QByteArray signature;
    int version = 0;
    quint32 declaredLength = 0;
    Twips frame;
    int frameRate = 0; // whole frames; the fraction byte must be 0
    int frameCount = 0;
    QList<Tag> tags;

    QList<Tag> tagsWith(int code) const
    {
        QList<Tag> found;
        for (const Tag &tag : tags) {
            if (tag.code == code)
                found.append(tag);
        }
        return found;
    }
};

Movie readMovie(const QByteArray &bytes)
{
    Movie movie;
    if (bytes.size() < 8) {
        movie.problem = u"shorter than a header"_s;
        return movie;
    }
    movie.signature = bytes.left(3);
    movie.version = quint8(bytes.at(3));
    movie.declaredLength = u32(bytes, 4);
    BitReader bits(bytes, 8);
    movie.frame = readRect(bits);
    qsizetype at = bits.alignedOffset();
    if (bits.overrun() || at + 4 > bytes.size()) {
        movie.problem = u"header cut short"_s;
        return movie;
    }
    if (quint8(bytes.at(at)) != 0)
        movie.problem = u"frame rate has a fraction"_s;
    movie.frameRate = quint8(bytes.at(at + 1));
    movie.frameCount = u16(bytes, at + 2);
    at += 4;
    while (at + 2 <= bytes.size()) {
        const quint16 header = u16(bytes, at);
        at += 2;
        Tag tag;
        tag.code = header >> 6;
        qint64 length = header & 0x3F;
        if (length == 0x3F) {
            if (at + 4 > bytes.size())
                break;
            tag.longForm = true;
            length = u32(bytes, at);
            at += 4;
        }
        if (at + length > bytes.size()) {
            movie.problem = u"tag %1 runs past the end"_s.arg(tag.code);
            return movie;
        }
        tag.body = bytes.mid(at, length);
        at += length;
        movie.tags.append(tag);
        if (tag.code == SwfWriter::End)
            break;
    }
    if (movie.tags.isEmpty() || movie.tags.constLast().code != SwfWriter::End)
        movie.problem = u"no End tag"_s;
    else if (at != bytes.size())
        movie.problem = u"%1 bytes after the End tag"_s.arg(bytes.size() - at);
    return movie;
}

// What a DefineShape draws, from walking its shape records.
struct Shape
{
    QString problem;
    int id = 0;
    QRect bounds;
    QList<QColor> fills;
    QRect path; // bounding box of the outline, pixels
    bool closed = false;
    int fill1 = 0; // the fill style selected on the right of the edges
    int edges = 0;
    // Twice the signed area of the outline; positive when it runs clockwise
    // on screen (y down), so that the inside lies on the right, fill 1's side.
    qint64 area2 = 0;
};

Shape readShape(const QByteArray &body)
{
    Shape shape;
    shape.id = u16(body, 0);
    BitReader boundsBits(body, 2);
    shape.bounds = pixels(readRect(boundsBits));
    qsizetype at = boundsBits.alignedOffset();
    const int fillCount = quint8(body.at(at++));
    for (int i = 0; i < fillCount; ++i) {
        if (body.at(at) != 0) {
            shape.problem = u"fill style %1 is not solid"_s.arg(i + 1);
            return shape;
        }
        shape.fills.append(
            QColor(quint8(body.at(at + 1)), quint8(body.at(at + 2)), quint8(body.at(at + 3))));
        at += 4;
    }
    if (body.at(at++) != 0) {
        shape.problem = u"unexpected line styles"_s;
        return shape;
    }
    BitReader bits(body, at);
    const int fillBits = int(bits.ub(4));
    const int lineBits = int(bits.ub(4));
    qint32 x = 0, y = 0, startX = 0, startY = 0;
    Twips box{INT_MAX, INT_MIN, INT_MAX, INT_MIN};
    auto visit = [&box](qint32 px, qint32 py) {
        box.xMin = std::min(box.xMin, px);
        box.xMax = std::max(box.xMax, px);
        box.yMin = std::min(box.yMin, py);
        box.yMax = std::max(box.yMax, py);
    };
    while (!bits.overrun()) {
        if (bits.ub(1) == 0) {
            const quint32 flags = bits.ub(5);
            if (flags == 0)
                break; // end of shape
            if (flags & 0x10) {
                shape.problem = u"new styles inside the shape"_s;
                return shape;
            }
            if (flags & 0x01) {
                const int moveBits = int(bits.ub(5));
                x = startX = bits.sb(moveBits);
                y = startY = bits.sb(moveBits);
                visit(x, y);
            }
            if (flags & 0x02)
                bits.ub(fillBits);
            if (flags & 0x04)
                shape.fill1 = int(bits.ub(fillBits));
            if (flags & 0x08)
                bits.ub(lineBits);
        } else {
            if (bits.ub(1) == 0) {
                shape.problem = u"curved edge"_s;
                return shape;
            }
            const int width = int(bits.ub(4)) + 2;
            const qint32 fromX = x, fromY = y;
            if (bits.ub(1) == 1) {
                x += bits.sb(width);
                y += bits.sb(width);
            } else if (bits.ub(1) == 1) {
                y += bits.sb(width);
            } else {
                x += bits.sb(width);
            }
            visit(x, y);
            shape.area2 += qint64(fromX) * y - qint64(x) * fromY;
            ++shape.edges;
        }
    }
    if (bits.overrun())
        shape.problem = u"shape records run past the tag"_s;
    else if (bits.alignedOffset() != body.size())
        shape.problem = u"bytes after the end of the shape"_s;
    shape.path = pixels(box);
    shape.closed = x == startX && y == startY;
    return shape;
}

// Samples that show a swapped byte order or a lost sign at once.
QList<qint16> testSamples(int count)
{
    static const qint16 edges[] = {-32768, 32767, -1, 0, 1, 0x1234, -0x1234};
    QList<qint16> samples;
    for (int i = 0; i < count; ++i)
        samples.append(i < 7 ? edges[i] : qint16((qint64(i) * 7919) % 65536 - 32768));
    return samples;
}

QList<qint16> soundSamples(const QByteArray &defineSound)
{
    QList<qint16> samples;
    for (qsizetype at = 7; at + 2 <= defineSound.size(); at += 2)
        samples.append(qint16(u16(defineSound, at)));
    return samples;
}

double rms(const QList<qint16> &samples)
{
    double sum = 0.0;
    for (const qint16 sample : samples)
        sum += double(sample) * sample;
    return samples.isEmpty() ? 0.0 : std::sqrt(sum / double(samples.size()));
}

QByteArray chunk(const QByteArray &id, const QByteArray &data, qint64 declaredSize = -1)
{
    QByteArray out = id;
    char size[4];
    qToLittleEndian(quint32(declaredSize < 0 ? data.size() : declaredSize), size);
    out.append(size, 4);
    out.append(data);
    if (data.size() % 2)
        out.append('\0'); // chunks are word-aligned
    return out;
}

QByteArray formatChunk(quint16 format, int channels, int rate, int bits)
{
    QByteArray data;
    char field[4];
    auto put16 = [&](quint16 v) {
        qToLittleEndian(v, field);
        data.append(field, 2);
    };
    auto put32 = [&](quint32 v) {
        qToLittleEndian(v, field);
        data.append(field, 4);
    };
    put16(format);
    put16(quint16(channels));
    put32(quint32(rate));
    put32(quint32(rate * channels * bits / 8));
    put16(quint16(channels * bits / 8));
    put16(quint16(bits));
    if (format == 0xFFFE) {
        put16(22);            // extension size
        put16(quint16(bits)); // valid bits
        put32(channels == 1 ? 0x4 : 0x3);
        put16(1); // sub-format: integer PCM, then the rest of its GUID
        data.append(QByteArray::fromHex("000000001000800000aa00389b71"));
    }
    return chunk("fmt ", data);
}

QByteArray samples16(const QList<qint16> &samples)
{
    QByteArray data;
    for (const qint16 sample : samples) {
        char bytes[2];
        qToLittleEndian(sample, bytes);
        data.append(bytes, 2);
    }
    return data;
}

QByteArray riff(const QByteArray &chunks)
{
    return chunk("RIFF", "WAVE" + chunks);
}

} // namespace

class TestSwfWriter : public QObject
{
    Q_OBJECT

private slots:
    void header_data();
    void header();
    void sound_data();
    void sound();
    void unsupportedRateIsRefused_data();
    void unsupportedRateIsRefused();
    void rectangles_data();
    void rectangles();
    void readWav_data();
    void readWav();
    void badWavIsRefused_data();
    void badWavIsRefused();
    void limitText_data();
    void limitText();
    void speech_data();
    void speech();
    void missingEspeakIsReported();
    void speakingMovie_data();
    void speakingMovie();
    void writeSiteWritesMovies();
};

void TestSwfWriter::header_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fps");

    QTest::newRow("demo stage") << QSize(320, 240) << 12;
    QTest::newRow("one pixel") << QSize(1, 1) << 1;
    QTest::newRow("classic stage") << QSize(550, 400) << 24;
    // 2000 px = 40000 twips: needs 17 bits per value in the RECT.
    QTest::newRow("wide") << QSize(2000, 1500) << 30;
    QTest::newRow("fastest") << QSize(64, 48) << 255;
}

void TestSwfWriter::header()
{
    QFETCH(QSize, size);
    QFETCH(int, fps);

    SwfWriter writer(size, fps);
    writer.setBackground(QColor(0x12, 0x34, 0x56));
    const QByteArray bytes = writer.toBytes();
    const Movie movie = readMovie(bytes);
    QVERIFY2(movie.problem.isEmpty(), qPrintable(movie.problem));
    QCOMPARE(movie.signature, QByteArray("FWS"));
    QCOMPARE(movie.version, SwfWriter::kVersion);
    QCOMPARE(qsizetype(movie.declaredLength), bytes.size());
    QCOMPARE(movie.frame.xMin, 0);
    QCOMPARE(movie.frame.yMin, 0);
    QCOMPARE(movie.frame.xMax, size.width() * 20);
    QCOMPARE(movie.frame.yMax, size.height() * 20);
    QCOMPARE(movie.frameRate, fps);
    QCOMPARE(movie.frameCount, 1);

    // A version 8+ movie opens with its attributes: ActionScript 1/2, or
    // the stop action would not run.
    QList<int> codes;
    for (const Tag &tag : movie.tags)
        codes.append(tag.code);
    QCOMPARE(codes, (QList<int>{SwfWriter::FileAttributes, SwfWriter::SetBackgroundColor,
                                SwfWriter::DoAction, SwfWriter::ShowFrame, SwfWriter::End}));
    QCOMPARE(movie.tags.at(0).body, QByteArray(4, '\0'));
    QCOMPARE(movie.tags.at(1).body, QByteArray("\x12\x34\x56"));
    QCOMPARE(movie.tags.at(2).body, QByteArray("\x07\x00", 2));
}

void TestSwfWriter::sound_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("frames");

    // frames = samples * fps / rate, rounded up, at least one.
    QTest::newRow("silent") << 0 << 22050 << 12 << 1;
    QTest::newRow("one sample") << 1 << 22050 << 12 << 1;
    QTest::newRow("odd count") << 3 << 11025 << 12 << 1;
    QTest::newRow("exactly one frame") << 1837 << 22050 << 12 << 1; // 1837.5 samples a frame
    QTest::newRow("just over one frame") << 1838 << 22050 << 12 << 2;
    QTest::newRow("three seconds and a sample") << 3 * 11025 + 1 << 11025 << 12 << 37;
    QTest::newRow("two seconds at 44.1 kHz") << 2 * 44100 << 44100 << 24 << 48;
    QTest::newRow("5512 Hz") << 5513 << 5512 << 10 << 11;
    // 65535 frames at 255 fps last 257 s; the sound is longer.
    QTest::newRow("timeline capped") << 260 * 5512 << 5512 << 255 << 65535;
}

void TestSwfWriter::sound()
{
    QFETCH(int, samples);
    QFETCH(int, rate);
    QFETCH(int, fps);
    QFETCH(int, frames);

    SwfWriter writer(QSize(100, 80), fps);
    writer.addRectangle(QRect(10, 10, 20, 20), Qt::red);
    const QList<qint16> pcm = testSamples(samples);
    QVERIFY(writer.setSound(pcm, rate));
    QCOMPARE(writer.frameCount(), frames);
    const QByteArray bytes = writer.toBytes();
    const Movie movie = readMovie(bytes);
    QVERIFY2(movie.problem.isEmpty(), qPrintable(movie.problem));
    QCOMPARE(qsizetype(movie.declaredLength), bytes.size());
    QCOMPARE(movie.frameCount, frames);
    QCOMPARE(movie.frameRate, fps);

    QList<int> codes;
    for (const Tag &tag : movie.tags)
        codes.append(tag.code);
    QList<int> expected{SwfWriter::FileAttributes, SwfWriter::SetBackgroundColor,
                        SwfWriter::DefineShape, SwfWriter::PlaceObject2};
    if (samples > 0)
        expected << SwfWriter::DefineSound << SwfWriter::StartSound;
    for (int frame = 1; frame < frames; ++frame)
        expected << SwfWriter::ShowFrame;
    // The timeline stops on its last frame instead of looping.
    expected << SwfWriter::DoAction << SwfWriter::ShowFrame << SwfWriter::End;
    QCOMPARE(codes, expected);
    if (samples == 0)
        return;

    const Tag define = movie.tagsWith(SwfWriter::DefineSound).constFirst();
    QVERIFY(define.longForm);
    const quint16 soundId = u16(define.body, 0);
    QCOMPARE(soundId, quint16(2)); // after the one shape
    const quint8 format = quint8(define.body.at(2));
    QCOMPARE(format >> 4, 3); // uncompressed, little-endian
    const int rateCodes[] = {5512, 11025, 22050, 44100};
    QCOMPARE(rateCodes[(format >> 2) & 3], rate);
    QCOMPARE((format >> 1) & 1, 1); // 16-bit
    QCOMPARE(format & 1, 0);        // mono
    QCOMPARE(u32(define.body, 3), quint32(samples));
    QCOMPARE(define.body.size(), 7 + 2 * samples);
    QCOMPARE(soundSamples(define.body), pcm);

    const Tag start = movie.tagsWith(SwfWriter::StartSound).constFirst();
    QCOMPARE(start.body.size(), 3);
    QCOMPARE(u16(start.body, 0), soundId);
    QCOMPARE(quint8(start.body.at(2)), quint8(0x10)); // no envelope, loops or cut points
}

void TestSwfWriter::unsupportedRateIsRefused_data()
{
    QTest::addColumn<int>("rate");

    QTest::newRow("8 kHz") << 8000;
    QTest::newRow("16 kHz") << 16000;
    QTest::newRow("48 kHz") << 48000;
    QTest::newRow("5.5 kHz rounded up") << 5513;
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -22050;
}

void TestSwfWriter::unsupportedRateIsRefused()
{
    QFETCH(int, rate);

    SwfWriter writer(QSize(10, 10), 12);
    QVERIFY(writer.setSound(testSamples(22050), 22050));
    QVERIFY(!SwfWriter::isSupportedRate(rate));
    QVERIFY(!writer.setSound(testSamples(5), rate));
    // The sound set before stays.
    const Movie movie = readMovie(writer.toBytes());
    const QList<Tag> sounds = movie.tagsWith(SwfWriter::DefineSound);
    QCOMPARE(sounds.size(), 1);
    QCOMPARE(u32(sounds.at(0).body, 3), quint32(22050));
    QCOMPARE(movie.frameCount, 12);
}

void TestSwfWriter::rectangles_data()
{
    QTest::addColumn<QSize>("stage");
    QTest::addColumn<QList<QRect>>("rects");
    QTest::addColumn<QList<QRect>>("drawn");

    const QList<QRect> panel{QRect(0, 0, 320, 240), QRect(16, 16, 288, 208)};
    QTest::newRow("panel and inset") << QSize(320, 240) << panel << panel;
    QTest::newRow("one pixel") << QSize(320, 240) << QList<QRect>{QRect(5, 7, 1, 1)}
                               << QList<QRect>{QRect(5, 7, 1, 1)};
    QTest::newRow("bars") << QSize(320, 240)
                          << QList<QRect>{QRect(22, 100, 12, 92), QRect(46, 186, 12, 6),
                                          QRect(70, 40, 12, 152)}
                          << QList<QRect>{QRect(22, 100, 12, 92), QRect(46, 186, 12, 6),
                                          QRect(70, 40, 12, 152)};
    // 4000 px is 80000 twips, more than one edge record can hold.
    QTest::newRow("longer than one edge") << QSize(4000, 50) << QList<QRect>{QRect(0, 10, 4000, 30)}
                                          << QList<QRect>{QRect(0, 10, 4000, 30)};
    QTest::newRow("empty is skipped")
        << QSize(100, 100) << QList<QRect>{QRect(10, 10, 0, 5), QRect(1, 2, 3, 4)}
        << QList<QRect>{QRect(1, 2, 3, 4)};
}

void TestSwfWriter::rectangles()
{
    QFETCH(QSize, stage);
    QFETCH(QList<QRect>, rects);
    QFETCH(QList<QRect>, drawn);

    SwfWriter writer(stage, 12);
    QList<QColor> colours;
    for (int i = 0; i < rects.size(); ++i) {
        colours.append(QColor::fromRgb(40 * i + 10, 255 - 30 * i, 7 * i));
        writer.addRectangle(rects.at(i), colours.at(i));
    }
    const Movie movie = readMovie(writer.toBytes());
    QVERIFY2(movie.problem.isEmpty(), qPrintable(movie.problem));

    const QList<Tag> shapes = movie.tagsWith(SwfWriter::DefineShape);
    const QList<Tag> places = movie.tagsWith(SwfWriter::PlaceObject2);
    QCOMPARE(shapes.size(), drawn.size());
    QCOMPARE(places.size(), drawn.size());
    int colourAt = 0;
    for (int i = 0; i < drawn.size(); ++i) {
        while (rects.at(colourAt) != drawn.at(i))
            ++colourAt;
        const Shape shape = readShape(shapes.at(i).body);
        QVERIFY2(shape.problem.isEmpty(), qPrintable(shape.problem));
        QCOMPARE(shape.id, i + 1);
        QCOMPARE(shape.bounds, drawn.at(i));
        QCOMPARE(shape.path, drawn.at(i));
        QVERIFY(shape.closed);
        QVERIFY(shape.edges >= 4);
        QCOMPARE(shape.fills, QList<QColor>{colours.at(colourAt)});
        QCOMPARE(shape.fill1, 1);
        QVERIFY(shape.area2 > 0);

        // Placed with its character at a depth above the ones before.
        const QByteArray &place = places.at(i).body;
        QCOMPARE(quint8(place.at(0)), quint8(0x06));
        QCOMPARE(u16(place, 1), quint16(i + 1));
        QCOMPARE(u16(place, 3), quint16(shape.id));
    }
}

void TestSwfWriter::readWav_data()
{
    QTest::addColumn<QByteArray>("wav");
    QTest::addColumn<int>("targetRate");
    QTest::addColumn<QList<qint16>>("expected");

    const QList<qint16> some{0, 1000, -1000, 2000, -32768, 32767};
    QTest::newRow("16-bit mono as is")
        << riff(formatChunk(1, 1, 22050, 16) + chunk("data", samples16(some))) << 22050 << some;
    QTest::newRow("stereo averaged")
        << riff(formatChunk(1, 2, 22050, 16) +
                chunk("data", samples16({100, 300, -32768, -32768, 32767, 1})))
        << 22050 << QList<qint16>{200, -32768, 16384};
    QTest::newRow("8-bit unsigned")
        << riff(formatChunk(1, 1, 22050, 8) + chunk("data", QByteArray("\x80\xff\x00", 3))) << 22050
        << QList<qint16>{0, 32512, -32768};
    QTest::newRow("extensible format")
        << riff(formatChunk(0xFFFE, 1, 22050, 16) + chunk("data", samples16(some))) << 22050
        << some;
    // An odd-sized chunk is followed by a pad byte; without skipping it
    // the reader would miss the format.
    QTest::newRow("odd chunk before the format")
        << riff(chunk("LIST", "abc") + formatChunk(1, 1, 22050, 16) +
                chunk("data", samples16(some)))
        << 22050 << some;
    // What espeak-ng --stdout writes: the sizes are never filled in.
    QTest::newRow("streamed size")
        << riff(formatChunk(1, 1, 22050, 16) + chunk("data", samples16(some), 0x7ffff000)) << 22050
        << some;
    QTest::newRow("half a sample at the end")
        << riff(formatChunk(1, 1, 22050, 16) + chunk("data", samples16({5, 6}) + "\x01")) << 22050
        << QList<qint16>{5, 6};
    // Up: every other sample lies halfway between two of the source.
    QTest::newRow("11025 to 22050")
        << riff(formatChunk(1, 1, 11025, 16) + chunk("data", samples16({0, 1000, -1000, 2000})))
        << 22050 << QList<qint16>{0, 500, 1000, 0, -1000, 500, 2000, 2000};
    QTest::newRow("44100 to 22050")
        << riff(formatChunk(1, 1, 44100, 16) + chunk("data", samples16({10, 20, 30, 40, 50})))
        << 22050 << QList<qint16>{10, 30};
    QTest::newRow("no samples") << riff(formatChunk(1, 1, 22050, 16) + chunk("data", {})) << 22050
                                << QList<qint16>{};
}

void TestSwfWriter::readWav()
{
    QFETCH(QByteArray, wav);
    QFETCH(int, targetRate);
    QFETCH(QList<qint16>, expected);

    Pcm pcm;
    QString error;
    QVERIFY2(Speech::readWav(wav, targetRate, &pcm, &error), qPrintable(error));
    QCOMPARE(pcm.sampleRate, targetRate);
    QCOMPARE(pcm.samples, expected);
}

void TestSwfWriter::badWavIsRefused_data()
{
    QTest::addColumn<QByteArray>("wav");
    QTest::addColumn<QString>("error");

    const QByteArray data = chunk("data", samples16({1, 2, 3}));
    QTest::newRow("empty") << QByteArray() << u"not a RIFF WAVE file"_s;
    QTest::newRow("not RIFF") << QByteArray("RIFX\0\0\0\0WAVE", 12) << u"not a RIFF WAVE file"_s;
    QTest::newRow("no data") << riff(formatChunk(1, 1, 22050, 16))
                             << u"WAVE file without a format or a data chunk"_s;
    QTest::newRow("no format") << riff(data) << u"WAVE file without a format or a data chunk"_s;
    QTest::newRow("float") << riff(formatChunk(3, 1, 22050, 32) + data)
                           << u"WAVE format 3, 1 channels, 32 bits, 22050 Hz: not 8- or 16-bit "
                              u"integer PCM at 1000 to 384000 Hz"_s;
    QTest::newRow("24-bit") << riff(formatChunk(1, 1, 44100, 24) + data)
                            << u"WAVE format 1, 1 channels, 24 bits, 44100 Hz: not 8- or 16-bit "
                               u"integer PCM at 1000 to 384000 Hz"_s;
    QTest::newRow("no channels") << riff(formatChunk(1, 0, 22050, 16) + data)
                                 << u"WAVE format 1, 0 channels, 16 bits, 22050 Hz: not 8- or "
                                    u"16-bit integer PCM at 1000 to 384000 Hz"_s;
    // One sample a second would ask for 22050 output samples per input one.
    QTest::newRow("absurd rate") << riff(formatChunk(1, 1, 1, 16) + data)
                                 << u"WAVE format 1, 1 channels, 16 bits, 1 Hz: not 8- or 16-bit "
                                    u"integer PCM at 1000 to 384000 Hz"_s;
}

void TestSwfWriter::badWavIsRefused()
{
    QFETCH(QByteArray, wav);
    QFETCH(QString, error);

    Pcm pcm;
    QString message;
    QVERIFY(!Speech::readWav(wav, 22050, &pcm, &message));
    QCOMPARE(message, error);
}

void TestSwfWriter::limitText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const int max = Speech::kMaxCharacters;
    const QString filler = QString(max - 10, u'山');
    QTest::newRow("short") << u"静夜思 李白。床前明月光。"_s << u"静夜思 李白。床前明月光。"_s;
    QTest::newRow("exactly the limit") << QString(max, u'月') << QString(max, u'月');
    QTest::newRow("cut at the last sentence end")
        << filler + u"一二三。四五，六七八九十十一"_s << filler + u"一二三。四五，"_s;
    QTest::newRow("no end in the second half")
        << QString(max / 2 - 1, u'水') + u"。"_s + QString(max, u'花')
        << QString(max / 2 - 1, u'水') + u"。"_s + QString(max - max / 2, u'花');
}

void TestSwfWriter::limitText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(Speech::limitText(text), expected);
}

void TestSwfWriter::speech_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("minSeconds");
    QTest::addColumn<double>("maxSeconds");

    QTest::newRow("two characters") << u"春晓"_s << 0.3 << 4.0;
    QTest::newRow("title and introduction")
        << u"静夜思 李白。床前明月光，疑是地上霜。诗人借一轮明月，写尽了游子的思乡之情。"_s << 4.0
        << 25.0;
    // Must not be taken for an option of espeak-ng.
    QTest::newRow("leading dash") << u"-三国演义-第一回"_s << 1.0 << 10.0;
    // Cut to about a minute, and never past it.
    QTest::newRow("long text")
        << QString(u"刘备、关羽、张飞在桃园结为兄弟，起兵讨伐黄巾军，三国故事由此开篇。"_s)
               .repeated(20)
        << 20.0 << double(Speech::kMaxSeconds);
}

void TestSwfWriter::speech()
{
    QFETCH(QString, text);
    QFETCH(double, minSeconds);
    QFETCH(double, maxSeconds);

    Pcm pcm;
    QString error;
    QVERIFY2(Speech::speak(text, &pcm, &error), qPrintable(error));
    QCOMPARE(pcm.sampleRate, Speech::kSampleRate);
    QVERIFY2(pcm.seconds() >= minSeconds && pcm.seconds() <= maxSeconds,
             qPrintable(QString::number(pcm.seconds())));
    // Speech, not silence or a click: loud enough on average (full scale
    // is 32767; espeak-ng speaks at some thousands).
    QVERIFY2(rms(pcm.samples) > 500.0, qPrintable(QString::number(rms(pcm.samples))));
}

void TestSwfWriter::missingEspeakIsReported()
{
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(empty.path()));
    Pcm pcm;
    QString error;
    const bool spoke = Speech::speak(u"春晓"_s, &pcm, &error);
    QString siteError;
    const bool wroteSite =
        Demo::writeSite(empty.filePath(u"site"_s), u"http://h:1"_s, 1, &siteError);
    qputenv("PATH", path);

    QVERIFY(!spoke);
    QVERIFY(!wroteSite);
    const QString expected = u"espeak-ng not found: the demo resources are spoken by it; install "
                             u"the Debian package espeak-ng (scripts/setup.sh does)"_s;
    QCOMPARE(error, expected);
    QCOMPARE(siteError, expected);
}

void TestSwfWriter::speakingMovie_data()
{
    QTest::addColumn<qint64>("minBytes");

    QTest::newRow("as spoken") << qint64(0);
    QTest::newRow("one megabyte") << qint64(1'000'000);
}

void TestSwfWriter::speakingMovie()
{
    QFETCH(qint64, minBytes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"big/one.swf"_s);
    QString error;
    QVERIFY2(Demo::writeSpeakingMovie(path, u"春眠不觉晓，处处闻啼鸟。"_s, minBytes, &error),
             qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() >= minBytes);
    const Movie movie = readMovie(bytes);
    QVERIFY2(movie.problem.isEmpty(), qPrintable(movie.problem));
    QCOMPARE(qsizetype(movie.declaredLength), bytes.size());
    const QList<Tag> sounds = movie.tagsWith(SwfWriter::DefineSound);
    QCOMPARE(sounds.size(), 1);
    const quint32 samples = u32(sounds.at(0).body, 3);
    QVERIFY(qint64(samples) * 2 >= minBytes);
    // The timeline lasts as long as the sound.
    QVERIFY(double(movie.frameCount) / movie.frameRate >= double(samples) / Speech::kSampleRate);
    QVERIFY(rms(soundSamples(sounds.at(0).body)) > 500.0);
}

void TestSwfWriter::writeSiteWritesMovies()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error;
    QVERIFY2(Demo::writeSite(dir.path(), u"http://127.0.0.1:8123"_s, 1, &error), qPrintable(error));

    const QList<Demo::Category> catalog = Demo::demoCatalog(u"http://127.0.0.1:8123"_s);
    QSet<QByteArray> sounds;
    int resources = 0;
    for (const Demo::Category &category : catalog) {
        for (const Demo::Resource &resource : category.resources) {
            ++resources;
            QCOMPARE(resource.flashUrl.section(u'/', -2), u"flash/%1.swf"_s.arg(resource.id));
            QFile file(dir.filePath(resource.flashUrl.section(u'/', -2)));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QByteArray bytes = file.readAll();
            const Movie movie = readMovie(bytes);
            QVERIFY2(movie.problem.isEmpty(), qPrintable(resource.title + movie.problem));
            QCOMPARE(qsizetype(movie.declaredLength), bytes.size());
            QVERIFY(!movie.tagsWith(SwfWriter::DefineShape).isEmpty());
            const QList<Tag> define = movie.tagsWith(SwfWriter::DefineSound);
            QCOMPARE(define.size(), 1);
            const double seconds = double(u32(define.at(0).body, 3)) / Speech::kSampleRate;
            // Title and introduction: a few seconds, never over the limit.
            QVERIFY2(seconds >= 2.0 && seconds <= Speech::kMaxSeconds,
                     qPrintable(resource.title + u' ' + QString::number(seconds)));
            QVERIFY(double(movie.frameCount) / movie.frameRate >= seconds);
            QVERIFY(rms(soundSamples(define.at(0).body)) > 500.0);
            sounds.insert(define.at(0).body.mid(2));
        }
    }
    // Each resource speaks its own text, none another's.
    QCOMPARE(sounds.size(), resources);
    QCOMPARE(QDir(dir.filePath(u"flash"_s)).entryList(QDir::Files).size(), resources);
}

QTEST_GUILESS_MAIN(TestSwfWriter)
#include "tst_swfwriter.moc"
