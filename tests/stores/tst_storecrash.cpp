#include "dialogrecorder.h"
#include "favoritemodule.h"
#include "storetestsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

namespace {
const char kWriterFolder[] = "AURILO_STORES_WRITER";
constexpr int kRounds = 10;

// Row i of the writer: long texts, so that a kill often lands inside a write.
FavoriteRecord row(int i)
{
    FavoriteRecord r = sampleRecord(i);
    r.name = QStringLiteral("第%1条 50%_'\"").arg(i);
    r.flashsay = QStringLiteral("写到一半被杀掉的进程不能留下坏文件。").repeated(6);
    return r;
}

// The writer child: adds rows i, i+1, ... to the favourites until it is killed.
int runWriter(const QString &folder)
{
    ProgramFolder::setPath(folder);
    DialogRecorder dialogs; // an unreadable-file message must not block
    QList<FavoriteRecord> rows;
    qsizetype next = FavoriteModule::ReadFavorites(rows) ? rows.size() : 0;
    for (;; ++next) {
        if (!FavoriteModule::AddFavorite(row(int(next))))
            return 3;
        if (!dialogs.requests().isEmpty())
            return 4;
    }
}

bool hasRow(int i)
{
    bool found = false;
    return FavoriteModule::FavoriteExists(row(i).name, found) && found;
}
} // namespace

class TestStoreCrash : public QObject
{
    Q_OBJECT

private slots:
    void killDuringAddKeepsEveryEarlierRow()
    {
        DialogRecorder dialogs;
        StoreFolder folder;
        int stored = 0;
        int hotJournals = 0;
        for (int round = 0; round < kRounds; ++round) {
            QProcess writer;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kWriterFolder), folder.path());
            writer.setProcessEnvironment(env);
            writer.setProcessChannelMode(QProcess::ForwardedChannels);
            writer.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(writer.waitForStarted());

            // Wait for a few new rows, then kill at a random moment.
            QElapsedTimer waited;
            waited.start();
            while (!hasRow(stored + 5)) {
                QVERIFY2(writer.state() == QProcess::Running, "the writer stopped by itself");
                QVERIFY2(waited.elapsed() < 60000, "the writer adds nothing");
                QTest::qSleep(5);
            }
            QTest::qSleep(int(QRandomGenerator::global()->bounded(40)));
            QVERIFY2(writer.state() == QProcess::Running, "the writer stopped by itself");
            writer.kill(); // SIGKILL: no clean-up of any kind
            QVERIFY(writer.waitForFinished());
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
            if (QFileInfo::exists(FavoriteModule::databaseFile() + QStringLiteral("-journal")))
                ++hotJournals;

            QList<FavoriteRecord> rows;
            QVERIFY(FavoriteModule::ReadFavorites(rows));
            QVERIFY(rows.size() >= stored + 6);
            for (int i = 0; i < rows.size(); ++i)
                QCOMPARE(rows.at(i), fixed(row(i)));
            stored = int(rows.size());
        }
        qInfo("%d rows written; %d of %d kills left a transaction half done", stored, hotJournals,
              kRounds);

        QVERIFY(FavoriteModule::AddFavorite(row(stored)));
        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(rows.size(), stored + 1);
        QCOMPARE(rows.last(), fixed(row(stored)));
        QCOMPARE(folder.entries(), QStringList{QStringLiteral("Favorite.mdb")});
        QCOMPARE(dialogs.texts(), QStringList());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(kWriterFolder))
        return runWriter(qEnvironmentVariable(kWriterFolder));
    TestStoreCrash test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storecrash.moc"
