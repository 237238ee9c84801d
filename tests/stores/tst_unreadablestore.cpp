#include "dialogrecorder.h"
#include "storetestsupport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The start of an old Access (JET) database file.
QByteArray jetFile()
{
    return QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + randomBytes(4076);
}

// A real SQLite file whose first page (the table list) is overwritten.
QByteArray damagedSqlite()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mk"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery query(db);
        query.exec(QStringLiteral("CREATE TABLE Favorite(name TEXT)"));
        query.exec(QStringLiteral("INSERT INTO Favorite VALUES('甲')"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("mk"));
    QByteArray bytes = readBytes(path);
    if (bytes.size() < 4096)
        qFatal("no SQLite file made");
    bytes.replace(100, 3996, randomBytes(3996));
    return bytes;
}
} // namespace

// Files the engine cannot read: kept byte for byte under a new name, the user
// told once per store and process, and a new store started.
class TestUnreadableStore : public QObject
{
    Q_OBJECT

    DialogRecorder m_dialogs;
    QHash<QString, QString> m_firstKept; // store file -> name of the first kept file

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use"))); }

    void keptAsideAndReplaced_data()
    {
        QTest::addColumn<StoreOps>("store");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("operation");
        // The first row of each store shows the message; the rows after it
        // check that no second one follows.
        QTest::newRow("favorites, random bytes, add") << favoriteOps() << randomBytes(3000) << "add";
        QTest::newRow("favorites, Access file, read") << favoriteOps() << jetFile() << "read";
        QTest::newRow("favorites, SQLite header, random body, exists")
            << favoriteOps() << QByteArray("SQLite format 3\0", 16) + randomBytes(4000)
            << "exists";
        QTest::newRow("favorites, damaged SQLite, delete") << favoriteOps() << damagedSqlite()
                                                           << "delete";
        QTest::newRow("favorites, one byte, create table") << favoriteOps() << QByteArray("x")
                                                           << "createTable";
        QTest::newRow("history, Access file, add") << historyOps() << jetFile() << "add";
        QTest::newRow("history, random bytes, read") << historyOps() << randomBytes(100) << "read";
        QTest::newRow("history, damaged SQLite, exists") << historyOps() << damagedSqlite()
                                                         << "exists";
        QTest::newRow("history, one byte, add") << historyOps() << QByteArray("\xff", 1) << "add";
    }

    void keptAsideAndReplaced()
    {
        QFETCH(StoreOps, store);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, operation);
        StoreFolder folder;
        QVERIFY(writeBytes(folder.file(store.fileName), bytes));

        // Files that already have the names the next seconds would give: they
        // must survive untouched.
        const QDateTime now = QDateTime::currentDateTime();
        QHash<QString, QByteArray> decoys;
        for (int s = 0; s < 3; ++s) {
            const QString name = store.fileName + QStringLiteral(".unreadable-") +
                                 now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss"));
            decoys.insert(name, "decoy " + name.toUtf8());
            QVERIFY(writeBytes(folder.file(name), decoys.value(name)));
        }

        QList<FavoriteRecord> expected;
        if (operation == "add") {
            QVERIFY(store.add(sampleRecord(1)));
            expected.append(fixed(sampleRecord(1)));
        } else if (operation == "read") {
            QList<FavoriteRecord> rows = {sampleRecord(2)};
            QVERIFY(!store.read(rows));
            QCOMPARE(rows, QList<FavoriteRecord>{sampleRecord(2)});
        } else if (operation == "exists") {
            bool found = true;
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot search")));
            QVERIFY(!store.exists(QStringLiteral("甲"), found)); // the new file has no table yet
            QVERIFY(found);
        } else if (operation == "delete") {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot delete")));
            QVERIFY(!FavoriteModule::DeleteFavorite(QStringLiteral("甲")));
        } else if (operation == "createTable") {
            QVERIFY(store.createTable());
        }

        // The original bytes under one new name; the decoys as they were.
        QStringList kept;
        const QRegularExpression keptName(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(store.fileName) +
            QStringLiteral("\\.unreadable-\\d{8}-\\d{6}(-\\d+)?")));
        for (const QString &name : folder.entries()) {
            if (name == store.fileName)
                continue;
            QVERIFY2(keptName.match(name).hasMatch(), qPrintable(name));
            if (decoys.contains(name))
                QCOMPARE(readBytes(folder.file(name)), decoys.value(name));
            else
                kept.append(name);
        }
        QCOMPARE(kept.size(), 1);
        QVERIFY(readBytes(folder.file(kept.at(0))) == bytes);

        // One message per store in the whole process, naming the first kept file.
        if (!m_firstKept.contains(store.fileName))
            m_firstKept.insert(store.fileName, kept.at(0));
        QList<Dialogs::Request> shown;
        const QString lead = store.message.left(store.message.indexOf(QStringLiteral("%1")));
        for (const Dialogs::Request &r : m_dialogs.requests()) {
            if (r.text.startsWith(lead))
                shown.append(r);
        }
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).text, store.message.arg(m_firstKept.value(store.fileName)));
        QCOMPARE(shown.at(0).icon, Dialogs::Icon::Warning);
        QCOMPARE(shown.at(0).buttons, Dialogs::Buttons::Ok);

        // The new store works.
        QVERIFY(store.add(sampleRecord(9)));
        expected.append(fixed(sampleRecord(9)));
        QList<FavoriteRecord> rows;
        QVERIFY(store.read(rows));
        QCOMPARE(rows, expected);
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
    }

    void cleanupTestCase()
    {
        // Every message was one of the two.
        QCOMPARE(m_dialogs.requests().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestUnreadableStore)

#include "tst_unreadablestore.moc"
