#include "gifwriter.h"

#include <QBuffer>
#include <QImageReader>
#include <QMovie>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using Demo::GifWriter;

namespace {

int distance(QRgb a, QRgb b)
{
    const int r = qRed(a) - qRed(b);
    const int g = qGreen(a) - qGreen(b);
    const int bl = qBlue(a) - qBlue(b);
    return r * r + g * g + bl * bl;
}

QRgb quantised(QRgb colour)
{
    return GifWriter::palette().at(GifWriter::paletteIndex(colour));
}

// One frame of a small animation: an off-palette background, an antialiased
// disc that moves (blended edge colours), a palette-coloured square that moves
// the other way, and a top row running through every palette colour.
QImage drawnFrame(QSize size, int frame, int frames)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(200, 114, 120));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double t = double(frame) / frames;
    painter.setBrush(QColor(90, 170, 230));
    painter.drawEllipse(QPointF(size.width() * t, size.height() / 2.0), size.height() / 3.0,
                        size.height() / 3.0);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(QColor(qRgb(51, 153, 255)));
    painter.drawRect(int(size.width() * (1.0 - t)) - 4, size.height() / 4, 6, 6);
    painter.end();
    for (int x = 0; x < size.width(); ++x)
        image.setPixel(x, 0, GifWriter::palette().at(x % 256));
    return image;
}

// Pictures made of palette colours only, so they must come back unchanged.
QImage pattern(const QString &kind, QSize size, int colours)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(20240601u);
    const QList<QRgb> &palette = GifWriter::palette();
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            int index = 0;
            if (kind == u"noise")
                index = int(random.bounded(colours));
            else if (kind == u"ramp")
                index = (y * size.width() + x) % colours;
            else // "runs": long stretches of one colour
                index = (y * size.width() + x) / 997 % colours;
            image.setPixel(x, y, palette.at(index));
        }
    }
    return image;
}

// The image data of the first frame, sub-blocks joined, and its minimum code
// size. Walks the blocks as a reader does, so a wrong length shows here.
QByteArray firstImageData(const QByteArray &gif, int *minCodeSize, QString *problem)
{
    qsizetype at = 13;
    if (quint8(gif.at(10)) & 0x80)
        at += 3 * (qsizetype(1) << ((quint8(gif.at(10)) & 7) + 1));
    const auto skipBlocks = [&] {
        while (at < gif.size() && gif.at(at) != 0)
            at += 1 + quint8(gif.at(at));
        ++at;
    };
    while (at < gif.size()) {
        const quint8 introducer = quint8(gif.at(at));
        if (introducer == 0x21) {
            at += 2;
            skipBlocks();
        } else if (introducer == 0x2C) {
            const quint8 flags = quint8(gif.at(at + 9));
            at += 10;
            if (flags & 0x80)
                at += 3 * (qsizetype(1) << ((flags & 7) + 1));
            *minCodeSize = quint8(gif.at(at++));
            QByteArray data;
            while (at < gif.size() && gif.at(at) != 0) {
                const int length = quint8(gif.at(at));
                data += gif.mid(at + 1, length);
                at += 1 + length;
            }
            if (at >= gif.size())
                *problem = u"image data runs past the end"_s;
            return data;
        } else {
            *problem = u"unexpected block 0x%1"_s.arg(introducer, 2, 16, QChar(u'0'));
            return {};
        }
    }
    *problem = u"no image"_s;
    return {};
}

struct CodeScan
{
    int clears = 0;
    int widest = 0;
    QString problem;
};

// Reads the codes as a GIF decoder does: one entry added per code except
// the first after a clear, one bit wider once the next entry would not fit
// (never past 12), back to the start at a clear code. Checks every code is
// defined and that the end code closes the stream with zero padding.
CodeScan scanCodes(const QByteArray &data, int minCodeSize)
{
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    int width = minCodeSize + 1;
    int next = end + 1;
    bool first = true;
    qint64 bit = 0;
    const qint64 bits = qint64(data.size()) * 8;
    CodeScan scan;
    for (;;) {
        if (bit + width > bits) {
            scan.problem = u"no end code"_s;
            return scan;
        }
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((quint8(data.at(bit / 8)) >> (bit % 8)) & 1) << i;
        scan.widest = std::max(scan.widest, width);
        if (code == clear) {
            ++scan.clears;
            width = minCodeSize + 1;
            next = end + 1;
            first = true;
            continue;
        }
        if (code == end)
            break;
        if (code > next || (first && code >= clear)) {
            scan.problem = u"undefined code %1 at bit %2"_s.arg(code).arg(bit);
            return scan;
        }
        if (!first && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        first = false;
    }
    if (bits - bit >= 8)
        scan.problem = u"%1 bits after the end code"_s.arg(bits - bit);
    for (; bit < bits; ++bit) {
        if ((quint8(data.at(bit / 8)) >> (bit % 8)) & 1)
            scan.problem = u"padding not zero"_s;
    }
    return scan;
}

} // namespace

class TestGifWriter : public QObject
{
    Q_OBJECT

private slots:
    void palette();
    void readBack_data();
    void readBack();
    void codeSizes_data();
    void codeSizes();
};

void TestGifWriter::palette()
{
    const QList<QRgb> &palette = GifWriter::palette();
    QCOMPARE(palette.size(), 256);
    QCOMPARE(QSet<QRgb>(palette.cbegin(), palette.cend()).size(), 256);
    for (int i = 0; i < palette.size(); ++i)
        QCOMPARE(GifWriter::paletteIndex(palette.at(i)), i);

    // Nearest by brute force: the grid's corners and middles, and random colours.
    QList<QRgb> probes;
    for (int r : {0, 25, 26, 128, 230, 255}) {
        for (int g : {0, 25, 26, 128, 230, 255}) {
            for (int b : {0, 3, 26, 127, 229, 255})
                probes.append(qRgb(r, g, b));
        }
    }
    QRandomGenerator random(7u);
    for (int i = 0; i < 5000; ++i)
        probes.append(random.generate() | 0xFF000000u);
    for (const QRgb probe : probes) {
        int nearest = std::numeric_limits<int>::max();
        for (const QRgb colour : palette)
            nearest = std::min(nearest, distance(probe, colour));
        QVERIFY2(distance(probe, quantised(probe)) == nearest,
                 qPrintable(QColor(probe).name() + u" -> "_s + QColor(quantised(probe)).name()));
    }
}

void TestGifWriter::readBack_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("repeats");
    QTest::addColumn<int>("loopCount"); // as Qt reports it; -1 is for ever

    QTest::newRow("cover, for ever") << QSize(160, 120) << 8 << 12 << 0 << -1;
    QTest::newRow("odd size, three repeats") << QSize(37, 23) << 3 << 5 << 3 << 3;
    QTest::newRow("every palette colour in the top row") << QSize(300, 9) << 2 << 100 << 1 << 1;
    QTest::newRow("one pixel, one frame") << QSize(1, 1) << 1 << 7 << 0 << -1;
}

void TestGifWriter::readBack()
{
    QFETCH(QSize, size);
    QFETCH(int, frames);
    QFETCH(int, delay);
    QFETCH(int, repeats);
    QFETCH(int, loopCount);

    GifWriter writer(size, delay, repeats);
    QList<QImage> drawn;
    for (int i = 0; i < frames; ++i) {
        drawn.append(drawnFrame(size, i, frames));
        writer.addFrame(drawn.constLast());
    }
    QCOMPARE(writer.frameCount(), frames);
    QByteArray bytes = writer.toBytes();
    QVERIFY(bytes.startsWith("GIF89a"));
    QCOMPARE(bytes.back(), char(0x3B));

    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), QByteArray("gif"));
    QCOMPARE(reader.size(), size);
    QCOMPARE(reader.imageCount(), frames);
    QCOMPARE(reader.loopCount(), loopCount);
    int exact = 0;
    for (int i = 0; i < frames; ++i) {
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
        QCOMPARE(reader.nextImageDelay(), delay * 10);
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb want = drawn.at(i).pixel(x, y);
                const QRgb got = image.pixel(x, y);
                if (got != quantised(want)) {
                    QFAIL(qPrintable(u"frame %1 (%2, %3): drawn %4, read %5, expected %6"_s.arg(i)
                                         .arg(x)
                                         .arg(y)
                                         .arg(QColor(want).name(), QColor(got).name(),
                                              QColor(quantised(want)).name())));
                }
                if (GifWriter::palette().contains(want)) {
                    QCOMPARE(got, want);
                    ++exact;
                }
            }
        }
    }
    QVERIFY(exact >= frames * std::min(size.width(), 256));
    QVERIFY(reader.read().isNull());

    buffer.seek(0);
    QMovie movie(&buffer);
    QVERIFY(movie.isValid());
    QCOMPARE(movie.frameCount(), frames);
    QCOMPARE(movie.loopCount(), loopCount);
}

void TestGifWriter::codeSizes_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("widest");
    QTest::addColumn<bool>("tableFills");

    // Noise adds a code every pixel or two: 12-bit codes, then clear codes
    // every few thousand pixels, over many sub-blocks.
    QTest::newRow("256-colour noise") << u"noise"_s << QSize(200, 150) << 256 << 12 << true;
    QTest::newRow("four-colour noise") << u"noise"_s << QSize(320, 240) << 4 << 12 << true;
    QTest::newRow("two-colour noise") << u"noise"_s << QSize(320, 240) << 2 << 12 << true;
    // Long strings of one colour: few codes, the table never fills.
    QTest::newRow("long runs") << u"runs"_s << QSize(400, 300) << 3 << 11 << false;
    // 255 different pixels, one code each: the decoder's table reaches 512
    // with the last pixel's code, so it reads the end code with 10 bits.
    QTest::newRow("widening at the end code") << u"ramp"_s << QSize(255, 1) << 256 << 10 << false;
    QTest::newRow("one pixel") << u"ramp"_s << QSize(1, 1) << 1 << 9 << false;
}

void TestGifWriter::codeSizes()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(int, colours);
    QFETCH(int, widest);
    QFETCH(bool, tableFills);

    const QImage picture = pattern(kind, size, colours);
    GifWriter writer(size, 10);
    writer.addFrame(picture);
    QByteArray bytes = writer.toBytes();

    int minCodeSize = 0;
    QString problem;
    const QByteArray data = firstImageData(bytes, &minCodeSize, &problem);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(minCodeSize, 8);
    const CodeScan scan = scanCodes(data, minCodeSize);
    QVERIFY2(scan.problem.isEmpty(), qPrintable(scan.problem));
    QCOMPARE(scan.widest, widest);
    if (tableFills)
        QVERIFY2(scan.clears >= 2, qPrintable(QString::number(scan.clears)));
    else
        QCOMPARE(scan.clears, 1);

    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.convertToFormat(QImage::Format_RGB32), picture);
}

QTEST_MAIN(TestGifWriter)
#include "tst_gifwriter.moc"
