// The catalog version check at start-up, against the real aurilo-httpd.
#include "formtestmain.h"

#include "ansicodec.h"
#include "buttonex.h"
#include "dialogrecorder.h"
#include "download.h"
#include "flashfrm.h"
#include "formmain.h"
#include "gameversiondb.h"
#include "httpserver.h"
#include "listboxex.h"
#include "networkstate.h"
#include "programfolder.h"
#include "quendasz.h"
#include "quotes.h"
#include "textnumber.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray versionXml(const QString &version, const QString &updateUrl)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><root><data><version>%1"
                          "</version><updateurl>%2</updateurl></data></root>")
        .arg(version, updateUrl)
        .toUtf8();
}

QByteArray catalog(const char *category)
{
    return Ansi::encode(Q("<root><category name='%1'><data id='1' title='静夜思'/></category></root>")
                            .arg(QString::fromUtf8(category)));
}

const QString kNoCatalog = QStringLiteral("列表数据下载失败，下次启动本程序时将重新下载。");

} // namespace

class TestVersionCheck : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_site;
    std::unique_ptr<HttpServer> m_server;

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.isValid());
        writeFile(m_site.filePath("flashxmlfile/LDsend.txt"), catalog("新目录"));
        writeFile(m_site.filePath("error.html"), "<html><body>502 Bad Gateway</body></html>");
        m_server = std::make_unique<HttpServer>(m_site.path());
        QVERIFY2(m_server->isRunning(), "aurilo-httpd did not start");
        NetworkState::setProbe([] { return true; });
    }

    void cleanupTestCase() { m_server.reset(); }

    void decisions_data()
    {
        QTest::addColumn<QString>("serverVersion");
        QTest::addColumn<QString>("localVersion"); // "-" : no VerTmp.Dll
        QTest::addColumn<bool>("haveCatalog");
        QTest::addColumn<QString>("catalogPath");
        QTest::addColumn<QString>("shown");        // first category afterwards
        QTest::addColumn<int>("versionAfter");     // number in VerTmp.Dll, -1: none
        QTest::addColumn<QStringList>("messages");
        const QString good = QStringLiteral("/flashxmlfile/LDsend.txt");
        QTest::newRow("same version") << "7" << "7" << true << good << "旧目录" << 7 << QStringList{};
        QTest::newRow("server newer") << "8" << "7" << true << good << "新目录" << 8 << QStringList{};
        QTest::newRow("server older counts too") << "5" << "7" << true << good << "新目录" << 5
                                                 << QStringList{};
        QTest::newRow("blanks do not differ") << "12" << " 12 " << true << good << "旧目录" << 12
                                              << QStringList{};
        QTest::newRow("1.5 rounds to 2") << "1.5" << "2" << true << good << "旧目录" << 2
                                         << QStringList{};
        QTest::newRow("no VerTmp.Dll: the catalog held is taken as current")
            << "9" << "-" << true << good << "旧目录" << 9 << QStringList{};
        QTest::newRow("no catalog: downloaded whatever the versions")
            << "7" << "7" << false << good << "新目录" << 7 << QStringList{};
        QTest::newRow("first start") << "3" << "-" << false << good << "新目录" << 3
                                     << QStringList{};
        QTest::newRow("failed download keeps old catalog and version")
            << "8" << "7" << true << "/_fault/404/flashxmlfile/LDsend.txt" << "旧目录" << 7
            << QStringList{};
        QTest::newRow("truncated download") << "8" << "7" << true
                                            << "/_fault/truncate/flashxmlfile/LDsend.txt"
                                            << "旧目录" << 7 << QStringList{};
        QTest::newRow("error page is no catalog") << "8" << "7" << true << "/error.html"
                                                  << "旧目录" << 7 << QStringList{};
        QTest::newRow("first start, download fails")
            << "3" << "-" << false << "/_fault/500/flashxmlfile/LDsend.txt" << "" << -1
            << QStringList{kNoCatalog};
        // "raw:" gives the version file's update address as it stands.
        QTest::newRow("first start, no update address: one message")
            << "3"
            << "-" << false << "raw:"
            << "" << -1 << QStringList{kNoCatalog};
        QTest::newRow("first start, update address unusable: one message")
            << "3"
            << "-" << false << "raw:ftp:/nowhere"
            << "" << -1 << QStringList{kNoCatalog};
    }

    void decisions()
    {
        QFETCH(QString, serverVersion);
        QFETCH(QString, localVersion);
        QFETCH(bool, haveCatalog);
        QFETCH(QString, catalogPath);
        QFETCH(QString, shown);
        QFETCH(int, versionAfter);
        QFETCH(QStringList, messages);

        const QString versionFile = m_site.filePath("flashxmlfile/version.xml");
        const QString updateUrl =
            catalogPath.startsWith(u"raw:") ? catalogPath.mid(4) : m_server->url(catalogPath);
        writeFile(versionFile, versionXml(serverVersion, updateUrl));
        // Each row's file is newer than the last one fetched, by more than the
        // one-second grain of Last-Modified, so no cached copy stands in for it.
        static int row = 0;
        QFile touched(versionFile);
        QVERIFY(touched.open(QIODevice::ReadWrite));
        QVERIFY(touched.setFileTime(QDateTime::currentDateTimeUtc().addSecs(10 * ++row),
                                    QFileDevice::FileModificationTime));
        touched.close();
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        writeFile(folder.filePath("Server.ini"),
                  QStringLiteral("[Server]\r\nBaseUrl=%1\r\n").arg(m_server->url(QString())).toLatin1());
        if (haveCatalog)
            writeFile(folder.filePath("LDsend.Dll"), catalog("旧目录"));
        if (localVersion != u"-")
            writeFile(folder.filePath("VerTmp.Dll"), versionXml(localVersion, QStringLiteral("x")));
        ProgramFolder::setPath(folder.path());

        // "Yes" to the first-start question, if it comes.
        DialogRecorder dialogs({Dialogs::Answer::Yes});
        auto main = std::make_unique<FormMain>();
        QVERIFY(main->Form_Load());
        // The check is over when neither download runs any more.
        QVERIFY(QTest::qWaitFor([&] {
            return !main->VerDown->isReading() && !main->UpdateSLing->isReading();
        }, 30000));
        QTest::qWait(50);

        QCOMPARE(main->List1->ListCount() > 0 ? main->List1->List(0) : QString(), shown);
        const bool hasVersion = QFileInfo::exists(folder.filePath("VerTmp.Dll"));
        QCOMPARE(hasVersion ? TextNumber::toInt32OrZero(GameVerSionDb::ReadXmlValue(
                                  folder.filePath("VerTmp.Dll"), QStringLiteral("/root/data/version")))
                            : -1,
                 versionAfter);
        QVERIFY(!QFileInfo::exists(folder.filePath("VerSionIng.Dll")));
        QStringList shownMessages = dialogs.texts();
        shownMessages.removeAll(QStringLiteral(
            "本地的数据缓存文件不存在，需要重新到服务器上面下载数据缓存文件，这个等待的时间可能较长，是否继续？"));
        QCOMPARE(shownMessages, messages);
        // Whatever happened, the lists are usable again.
        QVERIFY(main->JZSJ->isHidden());
        QVERIFY(main->YxList->isEnabled() && main->ScList->isEnabled() && main->SbpLAY->isEnabled());
        // No temporary download is left behind in the program folder.
        const QStringList left = QDir(folder.path()).entryList(QDir::Files);
        for (const QString &file : left)
            QVERIFY2(!file.endsWith(u".new") && !file.endsWith(u".part"), qPrintable(file));
        main.reset();
        delete QuendaSz::existing();
        delete FlashFrm::existing();
        ProgramFolder::setPath(QString());
    }
};

AURILO_FORM_TEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
