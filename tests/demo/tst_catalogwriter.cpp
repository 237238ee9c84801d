#include "catalogwriter.h"
#include "democatalog.h"
#include "demosite.h"

#include "ansicodec.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using Demo::CatalogWriter;

namespace {

// Reads values the way the program does: the first occurrence of `name=` by
// plain substring search, value from the character after the opening quote
// up to the next double quote. Checking the written file this way catches
// what an XML parser would forgive (attribute order, stray quotes).
QString attr(QStringView tag, QStringView name)
{
    const QString key = name.toString() + u'=';
    const qsizetype at = tag.indexOf(key);
    if (at < 0)
        return {};
    const qsizetype start = at + key.size() + 1;
    const qsizetype end = tag.indexOf(u'"', start);
    return end < 0 ? QString() : tag.mid(start, end - start).toString();
}

struct ReadCategory
{
    QString name;
    QStringList tags; // the text of each data tag, up to the next "<data"
};

QList<ReadCategory> readCatalog(const QByteArray &bytes)
{
    const QString text = Ansi::decode(bytes);
    QList<ReadCategory> categories;
    const QStringList pieces = text.split(u"<category"_s);
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        QStringList parts = pieces.at(i).split(u"<data"_s);
        ReadCategory category{attr(pieces.at(i), u"name"), {}};
        parts.removeFirst();
        category.tags = parts;
        categories.append(category);
    }
    return categories;
}

Demo::Resource sampleResource(int id, const QString &title)
{
    Demo::Resource r;
    r.id = id;
    r.title = title;
    r.litpic = u"covers/%1.png"_s.arg(id);
    r.keyboard = u"关键词 示例"_s;
    r.fileSize = u"1.2MB"_s;
    r.ztid = u"5"_s;
    r.flashFangfa = u"普通话朗读"_s;
    r.flashSay = u"一段简介。"_s;
    r.flashUrl = u"http://127.0.0.1:8765/flash/%1.swf"_s.arg(id);
    r.pageUrl = u"http://127.0.0.1:8765/page/%1.html"_s.arg(id);
    return r;
}

} // namespace

class TestCatalogWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void idWinsOverZtid_data();
    void idWinsOverZtid();
    void valuesAreCleaned_data();
    void valuesAreCleaned();
    void syntheticCatalog_data();
    void syntheticCatalog();
    void demoCatalogIsUsable();
    void writeSite();
    void writeSiteCovers();
};

void TestCatalogWriter::roundTrip_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("introduction");

    QTest::newRow("chapter with dash")
        << u"四大名著"_s << u"水浒传-第一回 张天师祈禳瘟疫 洪太尉误走妖魔"_s
        << u"洪太尉误走妖魔，放走了一百零八个魔君。"_s;
    QTest::newRow("middle dot and brackets")
        << u"宋词"_s << u"水调歌头·明月几时有（苏轼）"_s << u"但愿人长久，千里共婵娟。"_s;
    QTest::newRow("ascii and digits") << u"Misc 1"_s << u"Chapter 12 & more"_s << u"a > b"_s;
    QTest::newRow("empty values") << QString() << QString() << QString();
}

void TestCatalogWriter::roundTrip()
{
    QFETCH(QString, category);
    QFETCH(QString, title);
    QFETCH(QString, introduction);

    Demo::Resource resource = sampleResource(7, title);
    resource.flashSay = introduction;
    CatalogWriter writer;
    writer.addCategory(category);
    writer.addResource(resource);
    writer.addCategory(u"第二类"_s);
    writer.addResource(sampleResource(8, u"静夜思"_s));
    const QByteArray bytes = writer.toBytes();

    // GBK, not UTF-8: the program decodes the file with code page 936.
    QCOMPARE(bytes, Ansi::encode(writer.toText()));
    QVERIFY(!bytes.contains(u"静夜思"_s.toUtf8()));

    const QList<ReadCategory> read = readCatalog(bytes);
    QCOMPARE(read.size(), 2);
    QCOMPARE(read.at(0).name, category);
    QCOMPARE(read.at(0).tags.size(), 1);
    const QString &tag = read.at(0).tags.at(0);
    QCOMPARE(attr(tag, u"id"), u"7"_s);
    QCOMPARE(attr(tag, u"title"), title);
    QCOMPARE(attr(tag, u"litpic"), resource.litpic);
    QCOMPARE(attr(tag, u"keyboard"), resource.keyboard);
    QCOMPARE(attr(tag, u"onclick"), QString());
    QCOMPARE(attr(tag, u"filesize"), resource.fileSize);
    QCOMPARE(attr(tag, u"ztid"), resource.ztid);
    QCOMPARE(attr(tag, u"flash_fangfa"), resource.flashFangfa);
    QCOMPARE(attr(tag, u"flashsay"), introduction);
    QCOMPARE(attr(tag, u"flashurl"), resource.flashUrl);
    QCOMPARE(attr(tag, u"pageurl"), resource.pageUrl);
    QCOMPARE(read.at(1).name, u"第二类"_s);
    QCOMPARE(attr(read.at(1).tags.at(0), u"title"), u"静夜思"_s);
}

void TestCatalogWriter::idWinsOverZtid_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("firstId");
    QTest::addColumn<int>("resources");

    CatalogWriter writer;
    writer.addCategory(u"唐诗"_s);
    Demo::Resource resource = sampleResource(12, u"春晓"_s);
    resource.ztid = u"5"_s;
    writer.addResource(resource);
    QTest::newRow("single resource") << writer.toBytes() << 12 << 1;
    QTest::newRow("demo catalog") << CatalogWriter::write(Demo::demoCatalog(u"http://h:1"_s)) << 1
                                  << -1;
    QTest::newRow("synthetic") << Demo::syntheticCatalog(4, 50, u"http://h:1"_s) << 1 << 50;
}

void TestCatalogWriter::idWinsOverZtid()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, firstId);
    QFETCH(int, resources);

    int expectedId = firstId;
    for (const ReadCategory &category : readCatalog(bytes)) {
        for (const QString &tag : category.tags) {
            // The program takes the first "id=" in the tag; had ztid come
            // first it would read the ztid value instead.
            QVERIFY2(tag.indexOf(u" id=\""_s) < tag.indexOf(u"ztid="_s), qPrintable(tag));
            QCOMPARE(attr(tag, u"id"), QString::number(expectedId++));
        }
    }
    if (resources >= 0)
        QCOMPARE(expectedId - firstId, resources);
    QVERIFY(expectedId > firstId);
}

void TestCatalogWriter::valuesAreCleaned_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");

    QTest::newRow("double quote") << u"他说\"好\"吧"_s << u"他说好吧"_s;
    QTest::newRow("quote at the end") << u"标题\""_s << u"标题"_s;
    QTest::newRow("tag opening") << u"a<data b"_s << u"adata b"_s;
    QTest::newRow("line breaks") << u"第一行\r\n第二行"_s << u"第一行  第二行"_s;
    QTest::newRow("clean") << u"画蛇添足"_s << u"画蛇添足"_s;
}

void TestCatalogWriter::valuesAreCleaned()
{
    QFETCH(QString, title);
    QFETCH(QString, expected);

    QCOMPARE(CatalogWriter::attributeValue(title), expected);

    Demo::Category category{u"成语故事"_s, {sampleResource(3, title)}};
    category.resources[0].flashSay = title; // a later attribute must not shift either
    const QByteArray bytes = CatalogWriter::write({category});
    const QList<ReadCategory> read = readCatalog(bytes);
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.at(0).tags.size(), 1);
    const QString &tag = read.at(0).tags.at(0);
    QCOMPARE(attr(tag, u"title"), expected);
    QCOMPARE(attr(tag, u"flashsay"), expected);
    QCOMPARE(attr(tag, u"pageurl"), category.resources.at(0).pageUrl);
    // Every data tag stays on one line.
    QCOMPARE(Ansi::decode(bytes).split(u"\r\n"_s).filter(u"<data "_s).size(), 1);
}

void TestCatalogWriter::syntheticCatalog_data()
{
    QTest::addColumn<int>("categories");
    QTest::addColumn<int>("resources");
    QTest::addColumn<int>("lastId");

    QTest::newRow("even split") << 4 << 40 << 40;
    QTest::newRow("remainder") << 7 << 100 << 100;
    QTest::newRow("fewer resources than categories") << 5 << 3 << 3;
    QTest::newRow("no resources") << 3 << 0 << 0;
    // The program reads ids as 16-bit numbers; past 32767 they start over.
    QTest::newRow("ids wrap") << 2 << 32770 << 3;
}

void TestCatalogWriter::syntheticCatalog()
{
    QFETCH(int, categories);
    QFETCH(int, resources);
    QFETCH(int, lastId);

    const QString base = u"http://127.0.0.1:9/"_s;
    const QByteArray bytes = Demo::syntheticCatalog(categories, resources, base);
    QCOMPARE(Demo::syntheticCatalog(categories, resources, base), bytes);

    const QList<ReadCategory> read = readCatalog(bytes);
    QCOMPARE(read.size(), categories);
    int total = 0;
    QString lastTag;
    QSet<QString> names;
    for (const ReadCategory &category : read) {
        names.insert(category.name);
        // Spread evenly: no two categories differ by more than one resource.
        QVERIFY(qAbs(category.tags.size() - resources / categories) <= 1);
        total += category.tags.size();
        if (!category.tags.isEmpty())
            lastTag = category.tags.constLast();
    }
    QCOMPARE(total, resources);
    QCOMPARE(names.size(), categories);
    if (resources == 0)
        return;
    QCOMPARE(attr(lastTag, u"id"), QString::number(lastId));
    QVERIFY(!attr(lastTag, u"title").isEmpty());
    QVERIFY(!attr(lastTag, u"flashsay").isEmpty());
    QCOMPARE(attr(lastTag, u"pageurl"), u"http://127.0.0.1:9/page/%1.html"_s.arg(resources));
    // Put right after the root URL, which ends in "/".
    QVERIFY(QRegularExpression(u"^covers/%1\\.(png|gif)$"_s.arg(resources))
                .match(attr(lastTag, u"litpic"))
                .hasMatch());
    // Made from GBK-representable words only: nothing became '?'.
    const QString text = Ansi::decode(bytes);
    QCOMPARE(text.indexOf(u'?', text.indexOf(u"<category"_s)), -1);
}

void TestCatalogWriter::demoCatalogIsUsable()
{
    const QList<Demo::Category> catalog = Demo::demoCatalog(u"http://127.0.0.1:8765"_s);
    QVERIFY(catalog.size() >= 8);
    int expectedId = 0;
    int dashed = 0;
    for (const Demo::Category &category : catalog) {
        QVERIFY(!category.resources.isEmpty());
        QCOMPARE(Ansi::decode(Ansi::encode(category.name)), category.name);
        for (const Demo::Resource &r : category.resources) {
            QCOMPARE(r.id, ++expectedId);
            if (r.title.contains(u'-'))
                ++dashed;
            // Text GBK cannot hold would turn into '?' in the file.
            for (const QString &value : {r.title, r.keyboard, r.flashSay, r.flashFangfa}) {
                QVERIFY2(!value.isEmpty(), qPrintable(r.title));
                QCOMPARE(Ansi::decode(Ansi::encode(value)), value);
                QCOMPARE(CatalogWriter::attributeValue(value), value);
            }
            QCOMPARE(r.flashUrl, u"http://127.0.0.1:8765/flash/%1.swf"_s.arg(r.id));
            QVERIFY2(QRegularExpression(u"^covers/%1\\.(png|gif)$"_s.arg(r.id))
                         .match(r.litpic)
                         .hasMatch(),
                     qPrintable(r.litpic));
        }
    }
    QVERIFY(expectedId >= 80);
    QVERIFY(dashed >= 2);
}

void TestCatalogWriter::writeSite()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error;
    QVERIFY2(Demo::writeSite(dir.path(), u"http://127.0.0.1:8123/"_s, 3, &error),
             qPrintable(error));

    QFile version(dir.filePath(u"flashxmlfile/version.xml"_s));
    QVERIFY(version.open(QIODevice::ReadOnly));
    QCOMPARE(version.readAll(),
             QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><root><data><version>3"
                        "</version><updateurl>http://127.0.0.1:8123/flashxmlfile/LDsend.txt"
                        "</updateurl></data></root>"));

    const QList<Demo::Category> catalog = Demo::demoCatalog(u"http://127.0.0.1:8123"_s);
    QFile data(dir.filePath(u"flashxmlfile/LDsend.txt"_s));
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readAll(), CatalogWriter::write(catalog));

    QFile index(dir.filePath(u"index.html"_s));
    QVERIFY(index.open(QIODevice::ReadOnly));
    const QString home = QString::fromUtf8(index.readAll());
    QVERIFY(home.contains(u"Sonavel 有声读物"_s));
    for (const Demo::Category &category : catalog)
        QVERIFY2(home.contains(category.name), qPrintable(category.name));

    const Demo::Resource &last = catalog.constLast().resources.constLast();
    QFile page(dir.filePath(u"page/%1.html"_s.arg(last.id)));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString pageText = QString::fromUtf8(page.readAll());
    QVERIFY(pageText.contains(last.title.toHtmlEscaped()));
    QVERIFY(pageText.contains(last.flashSay.toHtmlEscaped()));
}

void TestCatalogWriter::writeSiteCovers()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString error;
    const QString root = u"http://127.0.0.1:8123/"_s;
    QVERIFY2(Demo::writeSite(dir.path(), root, 1, &error), qPrintable(error));

    int resources = 0;
    int animated = 0;
    const QRegularExpression image(u"<img src=\"([^\"]*)\""_s);
    for (const Demo::Category &category : Demo::demoCatalog(root)) {
        for (const Demo::Resource &r : category.resources) {
            ++resources;
            // The program fetches the root URL followed by litpic.
            QFile cover(dir.filePath(r.litpic));
            QVERIFY2(cover.open(QIODevice::ReadOnly), qPrintable(r.litpic));
            QByteArray bytes = cover.readAll();
            QBuffer buffer(&bytes);
            QImageReader reader(&buffer);
            QCOMPARE(reader.size(), QSize(160, 120));
            if (bytes.startsWith("GIF89a")) {
                ++animated;
                QVERIFY(r.litpic.endsWith(u".gif"_s));
                QCOMPARE(reader.loopCount(), -1); // for ever
                QVERIFY(reader.imageCount() >= 6);
                QList<QImage> frames;
                for (int i = 0; i < reader.imageCount(); ++i)
                    frames.append(reader.read());
                QVERIFY2(!frames.constLast().isNull(), qPrintable(reader.errorString()));
                QVERIFY2(frames.at(0) != frames.at(frames.size() / 2), qPrintable(r.litpic));
            } else {
                QVERIFY2(bytes.startsWith("\x89PNG\r\n\x1a\n"), qPrintable(r.litpic));
                QVERIFY(r.litpic.endsWith(u".png"_s));
                QVERIFY(!reader.read().isNull());
            }

            // The page shows the same file from its own address.
            QFile page(dir.filePath(u"page/%1.html"_s.arg(r.id)));
            QVERIFY(page.open(QIODevice::ReadOnly));
            const QRegularExpressionMatch match = image.match(QString::fromUtf8(page.readAll()));
            QVERIFY2(match.hasMatch(), qPrintable(page.fileName()));
            QCOMPARE(QUrl(r.pageUrl).resolved(QUrl(match.captured(1))), QUrl(root + r.litpic));
        }
    }
    QCOMPARE(QDir(dir.filePath(u"covers"_s)).entryList(QDir::Files).size(), resources);
    // About one in four moves.
    QVERIFY2(qAbs(4 * animated - resources) <= 4,
             qPrintable(u"%1 of %2"_s.arg(animated).arg(resources)));

    // The placeholder for the program folder: an animation that loops.
    QImageReader loading(dir.filePath(u"ImgLoading.gif"_s));
    QCOMPARE(loading.format(), QByteArray("gif"));
    QCOMPARE(loading.imageCount(), 8);
    QCOMPARE(loading.loopCount(), -1);
    const QImage first = loading.read();
    QVERIFY(!first.isNull());
    QVERIFY(loading.read() != first);
}

QTEST_GUILESS_MAIN(TestCatalogWriter)
#include "tst_catalogwriter.moc"
