#include "httpserver.h"
#include "netpicture.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMovie>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QColor shownColour(QLabel *face)
{
    return face->grab().toImage().pixelColor(face->width() / 2, face->height() / 2);
}
} // namespace

class TestNetPicture : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    std::unique_ptr<HttpServer> m_server;
    QString m_default;

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QImage red(8, 8, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(m_root.filePath("cover.png")));
        QImage blue(8, 8, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        m_default = m_root.filePath("default.png");
        QVERIFY(blue.save(m_default));
        writeFile(m_root.filePath("upper.gif"), "GIF89a, but not really a picture");
        writeFile(m_root.filePath("lower.bin"), "gif in lower case counts too");
        writeFile(m_root.filePath("broken.png"), "neither GIF nor any picture");
        m_server = std::make_unique<HttpServer>(m_root.path());
        QVERIFY(m_server->isRunning());
    }

    void cleanupTestCase() { m_server.reset(); }

    void fetchedPictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("animation");
        QTest::addColumn<QColor>("still"); // what the still face shows afterwards
        QTest::newRow("still picture stretched") << "/cover.png" << false << QColor(Qt::red);
        QTest::newRow("GIF in upper case") << "/upper.gif" << true << QColor(Qt::blue);
        QTest::newRow("gif in lower case") << "/lower.bin" << true << QColor(Qt::blue);
        QTest::newRow("failed fetch keeps the default") << "/_fault/404/cover.png" << false
                                                        << QColor(Qt::blue);
        QTest::newRow("not a picture keeps the default") << "/broken.png" << false
                                                         << QColor(Qt::blue);
    }

    void fetchedPictures()
    {
        QFETCH(QString, path);
        QFETCH(bool, animation);
        QFETCH(QColor, still);
        NetPicture picture;
        picture.resize(120, 90);
        picture.show();
        picture.setDefaultPicture(m_default);
        QCOMPARE(shownColour(picture.myimg()), QColor(Qt::blue)); // at once
        QSignalSpy arrived(&picture, &NetPicture::pictureArrived);
        picture.setPictureURL(m_server->url(path));
        QVERIFY(arrived.wait(20000));
        QCOMPARE(picture.mygif()->isVisible(), animation);
        QCOMPARE(picture.myimg()->isVisible(), !animation);
        QCOMPARE(picture.movie() != nullptr, animation);
        // The still face keeps or takes its picture, stretched over the control.
        QCOMPARE(picture.myimg()->geometry(), picture.rect());
        QCOMPARE(shownColour(picture.myimg()), still);
    }

    void clickOnTheSurface()
    {
        NetPicture picture;
        picture.resize(50, 50);
        picture.show();
        QSignalSpy click(&picture, &NetPicture::Click);
        QTest::mouseClick(&picture, Qt::LeftButton, {}, QPoint(25, 25));
        QTest::mouseClick(&picture, Qt::RightButton, {}, QPoint(25, 25));
        QCOMPARE(click.size(), 1);
    }
};

QTEST_MAIN(TestNetPicture)
#include "tst_netpicture.moc"
