#include "demosite.h"

#include "democatalog.h"
#include "gifwriter.h"
#include "speech.h"
#include "swfwriter.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace Demo {

namespace {

constexpr int kCoverWidth = 160;
constexpr int kCoverHeight = 120;
// An animated cover: one turn of its motion in eight frames of 0.12 s.
constexpr int kCoverFrames = 8;
constexpr int kCoverFrameDelay = 12;
constexpr int kCoverBars = 8;
// The movie's stage; the player scales it to its window.
constexpr int kMovieWidth = 320;
constexpr int kMovieHeight = 240;
// Enough for a still picture; each frame costs two bytes.
constexpr int kMovieFramesPerSecond = 12;
constexpr int kMovieBars = 12;

QString trimmedBase(const QString &baseUrl)
{
    QString base = baseUrl;
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

QString html(const QString &text)
{
    return text.toHtmlEscaped();
}

QByteArray pageHead(const QString &title)
{
    return (u"<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>"_s +
            html(title) +
            u"</title>\n<style>body{font-family:sans-serif;margin:2em;max-width:40em}"_s
            u"li{margin:.2em 0}</style>\n</head>\n<body>\n"_s)
        .toUtf8();
}

QByteArray indexPage(const QList<Category> &catalog)
{
    QString body = u"<h1>Sonavel 有声读物</h1>\n<p>经典名著、诗词、民间故事，随时收听。</p>\n"_s;
    for (const Category &category : catalog) {
        body += u"<h2>"_s + html(category.name) + u"</h2>\n<ul>\n"_s;
        for (const Resource &resource : category.resources) {
            body += u"<li><a href=\"/page/"_s + QString::number(resource.id) + u".html\">"_s +
                    html(resource.title) + u"</a></li>\n"_s;
        }
        body += u"</ul>\n"_s;
    }
    body += u"</body>\n</html>\n"_s;
    return pageHead(u"Sonavel 有声读物"_s) + body.toUtf8();
}

QByteArray resourcePage(const Category &category, const Resource &resource)
{
    const QString id = QString::number(resource.id);
    // litpic is relative to the root and the page sits one folder below it.
    const QString body =
        u"<p><a href=\"/\">Sonavel 有声读物</a> &gt; "_s + html(category.name) + u"</p>\n<h1>"_s +
        html(resource.title) + u"</h1>\n<img src=\"/"_s + html(resource.litpic) +
        u"\" alt=\"\" width=\"160\" height=\"120\">\n<p>"_s + html(resource.flashSay) +
        u"</p>\n<p>朗读方式："_s + html(resource.flashFangfa) + u"　大小："_s +
        html(resource.fileSize) + u"</p>\n<p><a href=\"/flash/"_s + id +
        u".swf\">收听</a></p>\n</body>\n</html>\n"_s;
    return pageHead(resource.title + u" - Sonavel 有声读物"_s) + body.toUtf8();
}

QColor categoryColour(int categoryIndex)
{
    return QColor::fromHsv((categoryIndex * 67) % 360, 110, 200);
}

// A plain picture per resource: the category's colour with a pattern that
// changes with the id, so neighbouring covers can be told apart. An animated
// cover (phase 0..1 of its loop) moves the disc round a small circle and runs
// a wave of level bars through the bottom strip; a still one has phase < 0.
QImage coverImage(int categoryIndex, int id, double phase)
{
    QImage image(kCoverWidth, kCoverHeight, QImage::Format_RGB32);
    const QColor base = categoryColour(categoryIndex);
    image.fill(base);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(base.lighter(130));
    const int radius = 20 + (id * 13) % 40;
    QPointF centre((id * 29) % kCoverWidth, (id * 17) % kCoverHeight);
    const double turn = 2.0 * std::numbers::pi * phase;
    if (phase >= 0.0)
        centre += QPointF(10.0 * std::cos(turn), 10.0 * std::sin(turn));
    painter.drawEllipse(centre, radius, radius);
    painter.setBrush(base.darker(130));
    const QRect strip(0, kCoverHeight - 24, kCoverWidth, 24);
    painter.drawRect(strip);
    if (phase >= 0.0) {
        painter.setBrush(base.lighter(150));
        const int slot = kCoverWidth / kCoverBars;
        for (int bar = 0; bar < kCoverBars; ++bar) {
            // Whole turns of the sine over the loop, so the last frame leads
            // smoothly back to the first.
            const double level =
                0.5 + 0.5 * std::sin(turn + bar * 2.0 * std::numbers::pi / kCoverBars);
            const int height = 3 + int(level * (strip.height() - 8));
            painter.drawRect(slot * bar + slot / 4, strip.bottom() - 2 - height, slot / 2, height);
        }
    }
    painter.end();
    return image;
}

// The file litpic names: a GIF of one loop of the motion, or a still PNG.
QByteArray coverFile(int categoryIndex, const Resource &resource)
{
    if (resource.litpic.endsWith(u".gif"_s)) {
        GifWriter gif(QSize(kCoverWidth, kCoverHeight), kCoverFrameDelay);
        for (int frame = 0; frame < kCoverFrames; ++frame)
            gif.addFrame(coverImage(categoryIndex, resource.id, double(frame) / kCoverFrames));
        return gif.toBytes();
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    coverImage(categoryIndex, resource.id, -1.0).save(&buffer, "PNG");
    return bytes;
}

// The placeholder the details window shows while a cover loads: eight dots in
// a ring, the bright one going round.
QByteArray loadingPicture()
{
    constexpr int kDots = 8;
    GifWriter gif(QSize(kCoverWidth, kCoverHeight), kCoverFrameDelay);
    for (int frame = 0; frame < kDots; ++frame) {
        QImage image(kCoverWidth, kCoverHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        const QPointF centre(kCoverWidth / 2.0, kCoverHeight / 2.0);
        for (int dot = 0; dot < kDots; ++dot) {
            const double angle = 2.0 * std::numbers::pi * dot / kDots;
            const int age = (frame - dot + kDots) % kDots; // 0: the bright one
            painter.setBrush(QColor::fromHsv(30, 200, 255 - age * 24));
            painter.drawEllipse(centre + QPointF(30.0 * std::cos(angle), 30.0 * std::sin(angle)),
                                7.0, 7.0);
        }
        painter.end();
        gif.addFrame(image);
    }
    return gif.toBytes();
}

// Loudness of each of kMovieBars equal stretches of the speech, 0..1 of the
// loudest, so the movie's bars show the shape of what it says.
QList<double> loudness(const Pcm &speech)
{
    QList<double> levels(kMovieBars, 0.0);
    const qsizetype stretch = speech.samples.size() / kMovieBars;
    if (stretch == 0)
        return levels;
    double loudest = 0.0;
    for (int bar = 0; bar < kMovieBars; ++bar) {
        double sum = 0.0;
        for (qsizetype i = bar * stretch; i < (bar + 1) * stretch; ++i)
            sum += double(speech.samples.at(i)) * speech.samples.at(i);
        levels[bar] = std::sqrt(sum / double(stretch));
        loudest = std::max(loudest, levels.at(bar));
    }
    if (loudest > 0.0) {
        for (double &level : levels)
            level /= loudest;
    }
    return levels;
}

// The movie shows a panel in the category's colour with bars that follow the
// speech; text would need embedded fonts, and the title is in the window
// around the player anyway.
QByteArray speakingMovie(const Pcm &speech, const QColor &base)
{
    SwfWriter writer(QSize(kMovieWidth, kMovieHeight), kMovieFramesPerSecond);
    writer.setBackground(base.darker(170));
    const QRect panel(16, 16, kMovieWidth - 32, kMovieHeight - 32);
    writer.addRectangle(panel, base);
    const QRect floor(panel.left(), panel.bottom() - 31, panel.width(), 32);
    writer.addRectangle(floor, base.darker(130));

    const QList<double> levels = loudness(speech);
    const int slot = panel.width() / kMovieBars;
    const int tallest = floor.top() - panel.top() - 24;
    for (int bar = 0; bar < kMovieBars; ++bar) {
        const int height = 6 + int(levels.at(bar) * (tallest - 6));
        writer.addRectangle(
            QRect(panel.left() + bar * slot + slot / 4, floor.top() - height, slot / 2, height),
            base.lighter(150));
    }
    writer.setSound(speech.samples, speech.sampleRate);
    return writer.toBytes();
}

QString spokenText(const Resource &resource)
{
    return resource.title + u"。"_s + resource.flashSay;
}

} // namespace

bool writeSpeakingMovie(const QString &path, const QString &text, qint64 minBytes, QString *error)
{
    Pcm speech;
    if (!Speech::speak(text, &speech, error))
        return false;
    // Each sample takes two bytes of the file; the pause keeps the repeats
    // apart and pads a text that says nothing.
    const QList<qint16> once = speech.samples;
    const QList<qint16> pause(Speech::kSampleRate / 2, 0);
    while (qint64(speech.samples.size()) * 2 < minBytes) {
        speech.samples += pause;
        speech.samples += once;
    }
    return writeFile(path, speakingMovie(speech, categoryColour(0)), error);
}

QByteArray versionFile(const QString &baseUrl, int catalogVersion)
{
    return (u"<?xml version=\"1.0\" encoding=\"utf-8\"?><root><data><version>"_s +
            QString::number(catalogVersion) + u"</version><updateurl>"_s + trimmedBase(baseUrl) +
            u"/flashxmlfile/LDsend.txt</updateurl></data></root>"_s)
        .toUtf8();
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = u"cannot create folder "_s + folder;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = path + u": "_s + file.errorString();
        return false;
    }
    return true;
}

bool writeSite(const QString &dir, const QString &baseUrl, int catalogVersion, QString *error)
{
    const QDir root(dir);
    const QList<Category> catalog = demoCatalog(baseUrl);

    if (!writeFile(root.filePath(u"flashxmlfile/LDsend.txt"_s), CatalogWriter::write(catalog),
                   error) ||
        !writeFile(root.filePath(u"flashxmlfile/version.xml"_s),
                   versionFile(baseUrl, catalogVersion), error) ||
        !writeFile(root.filePath(u"index.html"_s), indexPage(catalog), error) ||
        !writeFile(root.filePath(u"ImgLoading.gif"_s), loadingPicture(), error)) {
        return false;
    }
    // All speech first: the voices run a few at a time.
    QStringList texts;
    for (const Category &category : catalog) {
        for (const Resource &resource : category.resources)
            texts.append(spokenText(resource));
    }
    QList<Pcm> speeches;
    if (!Speech::speakAll(texts, &speeches, error))
        return false;

    qsizetype spoken = 0;
    for (int c = 0; c < catalog.size(); ++c) {
        for (const Resource &resource : catalog.at(c).resources) {
            const QString id = QString::number(resource.id);
            if (!writeFile(root.filePath(u"page/"_s + id + u".html"_s),
                           resourcePage(catalog.at(c), resource), error) ||
                !writeFile(root.filePath(resource.litpic), coverFile(c, resource), error) ||
                !writeFile(root.filePath(u"flash/"_s + id + u".swf"_s),
                           speakingMovie(speeches.at(spoken++), categoryColour(c)), error)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace Demo
