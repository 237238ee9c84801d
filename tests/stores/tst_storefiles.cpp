#include "dialogrecorder.h"
#include "storetestsupport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTest>

// The file rules both stores share, run against the favourites and the history.
class TestStoreFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<DialogRecorder> m_dialogs;

    static void addStores()
    {
        QTest::addColumn<StoreOps>("store");
        QTest::newRow("favorites") << favoriteOps();
        QTest::newRow("history") << historyOps();
    }

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use")));
        m_dialogs = std::make_unique<DialogRecorder>();
    }

    void cleanup()
    {
        QCOMPARE(m_dialogs->texts(), QStringList());
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        m_dialogs.reset();
    }

    void missingFileIsNeverCreatedByLooking_data() { addStores(); }
    void missingFileIsNeverCreatedByLooking()
    {
        QFETCH(StoreOps, store);
        StoreFolder folder;
        QCOMPARE(store.databaseFile(), folder.file(store.fileName));

        for (const bool before : {false, true}) {
            bool found = before;
            QVERIFY(!store.exists(QStringLiteral("红楼梦"), found));
            QCOMPARE(found, before);
        }
        QList<FavoriteRecord> rows = {sampleRecord(1)};
        QVERIFY(!store.read(rows));
        QCOMPARE(rows, QList<FavoriteRecord>{sampleRecord(1)});
        QVERIFY(!store.createTable());
        QCOMPARE(folder.entries(), QStringList());
    }

    void addCreatesFileAndTable_data()
    {
        QTest::addColumn<StoreOps>("store");
        QTest::addColumn<QString>("subfolder");
        QTest::newRow("favorites") << favoriteOps() << QString();
        QTest::newRow("history") << historyOps() << QString();
        // The path goes to the engine as an address: these must not be read as
        // escapes, a query or a fragment.
        QTest::newRow("favorites, odd folder") << favoriteOps() << "听书 50%20 a?b#c 'q'";
        QTest::newRow("history, odd folder") << historyOps() << "听书 50%20 a?b#c 'q'";
    }

    void addCreatesFileAndTable()
    {
        QFETCH(StoreOps, store);
        QFETCH(QString, subfolder);
        StoreFolder folder(subfolder);
        QVERIFY(store.add(sampleRecord(7)));
        // One file only: a journal left beside it, or WAL files, would outlive
        // the clear command's delete.
        QCOMPARE(folder.entries(), QStringList{store.fileName});

        QList<FavoriteRecord> rows;
        QVERIFY(store.read(rows));
        QCOMPARE(rows, QList<FavoriteRecord>{fixed(sampleRecord(7))});

        RawDatabase raw(folder.file(store.fileName));
        QCOMPARE(raw.column(QStringLiteral("PRAGMA user_version")), QStringList{"1"});
        QCOMPARE(raw.column(QStringLiteral("SELECT name || ' ' || type FROM "
                                           "pragma_table_info('Favorite') ORDER BY cid")),
                 (QStringList{"Style TEXT", "id INTEGER", "fid INTEGER", "name TEXT",
                              "image TEXT", "size TEXT", "flash_ffa TEXT", "flashurl TEXT",
                              "flashsay TEXT", "keyword TEXT"}));
        QCOMPARE(raw.column(QStringLiteral("PRAGMA journal_mode")), QStringList{"delete"});
    }

    void createAnswersFalseWhenPresent_data() { addStores(); }
    void createAnswersFalseWhenPresent()
    {
        QFETCH(StoreOps, store);
        StoreFolder folder;
        QVERIFY(store.createDb());
        QCOMPARE(QFileInfo(folder.file(store.fileName)).size(), 0);
        QVERIFY(!store.createDb());
        QVERIFY(store.createTable());
        QVERIFY(!store.createTable());
        QVERIFY(store.add(sampleRecord(1)));
        QVERIFY(!store.createDb());
        QVERIFY(!store.createTable());
        QList<FavoriteRecord> rows;
        QVERIFY(store.read(rows));
        QCOMPARE(rows.size(), 1);
    }

    void fileNameCaseIsIgnored_data() { addStores(); }
    void fileNameCaseIsIgnored()
    {
        QFETCH(StoreOps, store);
        StoreFolder folder;
        const QString other = store.fileName.toUpper();
        QVERIFY(writeBytes(folder.file(other), QByteArray()));
        QCOMPARE(store.databaseFile(), folder.file(other));
        QVERIFY(!store.createDb());
        QVERIFY(store.add(sampleRecord(2)));
        QCOMPARE(folder.entries(), QStringList{other});
        QVERIFY(QFileInfo(folder.file(other)).size() > 0);
    }

    void zeroLengthFileIsANewStore_data() { addStores(); }
    void zeroLengthFileIsANewStore()
    {
        QFETCH(StoreOps, store);
        StoreFolder folder;
        QVERIFY(writeBytes(folder.file(store.fileName), QByteArray()));
        QList<FavoriteRecord> rows;
        QVERIFY(!store.read(rows));
        QVERIFY(store.add(sampleRecord(5)));
        QVERIFY(store.read(rows));
        QCOMPARE(rows, QList<FavoriteRecord>{fixed(sampleRecord(5))});
        QCOMPARE(folder.entries(), QStringList{store.fileName}); // nothing set aside
    }
};

QTEST_GUILESS_MAIN(TestStoreFiles)

#include "tst_storefiles.moc"
