#include "dialogrecorder.h"
#include "favoritemodule.h"
#include "storetestsupport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTest>

namespace {
// Every text field carries the value under test, cut to its width.
FavoriteRecord recordNamed(const QString &name)
{
    FavoriteRecord r;
    r.style = r.image = r.size = r.flash_ffa = r.flashurl = r.flashsay = r.keyword = name;
    r.pageurl = QStringLiteral("http://not.stored/");
    r.name = name;
    r.id = 1;
    r.fid = 2;
    return r;
}

// What reading gives back: every field in its width, pageurl blank (not stored).
FavoriteRecord asRead(FavoriteRecord record)
{
    record.pageurl.clear();
    record.fixWidths();
    return record;
}

QStringList names(const QList<FavoriteRecord> &records)
{
    QStringList out;
    for (const FavoriteRecord &r : records)
        out.append(FavoriteRecord::trimBlanks(r.name));
    return out;
}
} // namespace

class TestFavoriteModule : public QObject
{
    Q_OBJECT

    std::unique_ptr<StoreFolder> m_folder;
    std::unique_ptr<DialogRecorder> m_dialogs;

private slots:
    void init()
    {
        // Each operation must let go of its connection before removing it.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use")));
        m_folder = std::make_unique<StoreFolder>();
        m_dialogs = std::make_unique<DialogRecorder>();
    }

    void cleanup()
    {
        // The stores never talk to the user about ordinary work, and keep no
        // connection between operations.
        QCOMPARE(m_dialogs->texts(), QStringList());
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        m_dialogs.reset();
        m_folder.reset();
    }

    void hostileNamesRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("other"); // a near name that must stay apart
        QTest::newRow("single quote") << "It's 'x'" << "Its x";
        QTest::newRow("double quote") << "说\"书\"人" << "说书人";
        QTest::newRow("percent is no wildcard") << "50%" << "50x";
        QTest::newRow("underscore is no wildcard") << "a_c" << "abc";
        QTest::newRow("backslash") << "C:\\听书\\" << "C:\\听书";
        QTest::newRow("statement text") << "x'); DELETE FROM Favorite; --" << "x";
        QTest::newRow("emoji") << "听书😀🎧" << "听书😀";
        QTest::newRow("GBK-only characters") << "朱镕基与曌" << "朱熔基与照";
        QTest::newRow("leading blanks count") << "  红楼梦" << "红楼梦";
        QTest::newRow("case counts") << "Harry Potter" << "harry potter";
        QTest::newRow("trailing tab is no blank") << "水浒\t" << "水浒";
        QTest::newRow("empty name") << "" << "x";
    }

    void hostileNamesRoundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, other);
        const FavoriteRecord mine = recordNamed(name);
        const FavoriteRecord near = recordNamed(other);

        QVERIFY(FavoriteModule::AddFavorite(mine));
        bool found = true;
        QVERIFY(FavoriteModule::FavoriteExists(other, found));
        QVERIFY(!found);
        QVERIFY(FavoriteModule::FavoriteExists(name, found));
        QVERIFY(found);
        found = false;
        QVERIFY(FavoriteModule::FavoriteExists(name + QStringLiteral("   "), found));
        QVERIFY(found);

        QVERIFY(FavoriteModule::AddFavorite(near));
        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(rows, (QList<FavoriteRecord>{asRead(mine), asRead(near)}));

        // The remove command passes the padded stored name.
        QVERIFY(FavoriteModule::DeleteFavorite(rows.at(0).name));
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(rows, QList<FavoriteRecord>{asRead(near)});
        QVERIFY(FavoriteModule::FavoriteExists(name, found));
        QVERIFY(!found);
    }

    void longNameIsStoredCut()
    {
        const QString full = QStringLiteral("一二三四五六七八九十").repeated(6); // 60 characters
        QVERIFY(FavoriteModule::AddFavorite(recordNamed(full)));
        bool found = true;
        QVERIFY(FavoriteModule::FavoriteExists(full, found));
        QVERIFY(!found);
        QVERIFY(FavoriteModule::FavoriteExists(full.left(50), found));
        QVERIFY(found);
        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).name, full.left(50));
        QCOMPARE(rows.at(0).flashsay, full + QString(40, u' '));
    }

    void valuesComeBackExactly()
    {
        // Texts a numeric column would turn into numbers, and the 16-bit limits.
        FavoriteRecord r;
        r.style = QStringLiteral("007");
        r.id = -32768;
        r.fid = 32767;
        r.name = QStringLiteral("12.50");
        r.image = QStringLiteral("1e3");
        r.size = QStringLiteral("12.50");
        r.flash_ffa = QStringLiteral("0x10");
        r.flashurl = QStringLiteral("NULL");
        r.flashsay = QStringLiteral("多行\r\n简介\t制表");
        r.keyword = QStringLiteral("-0");
        QVERIFY(FavoriteModule::AddFavorite(r));
        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(rows, QList<FavoriteRecord>{fixed(r)});

        // Stored in full width as text, whatever it looks like.
        RawDatabase raw(FavoriteModule::databaseFile());
        QCOMPARE(raw.column(QStringLiteral("SELECT typeof([size]) || ':' || [size] FROM Favorite")),
                 QStringList{QStringLiteral("text:12.50") + QString(15, u' ')});
        QCOMPARE(raw.column(QStringLiteral("SELECT typeof(id) || ':' || id FROM Favorite")),
                 QStringList{QStringLiteral("integer:-32768")});
    }

    void foreignRowsAreFittedOnReading()
    {
        // Rows that did not come through AddFavorite: NULLs, unpadded and too
        // long texts, a pair of surrogates across the name's cut.
        QVERIFY(FavoriteModule::AddFavorite(sampleRecord(1)));
        const QString emoji = QStringLiteral("😀");
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("w"));
            db.setDatabaseName(FavoriteModule::databaseFile());
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("INSERT INTO Favorite DEFAULT VALUES")));
            QVERIFY(query.prepare(
                QStringLiteral("INSERT INTO Favorite([Style], id, [name]) VALUES (?, ?, ?)")));
            query.addBindValue(QStringLiteral("短"));
            query.addBindValue(QStringLiteral("12"));
            query.addBindValue(QString(49, u'a') + emoji + QStringLiteral("x"));
            QVERIFY(query.exec());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("w"));

        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), fixed(sampleRecord(1)));
        QCOMPARE(rows.at(1), fixed(FavoriteRecord()));
        FavoriteRecord third;
        third.style = QStringLiteral("短") + QString(9, u' ');
        third.id = 12;
        third.name = QString(49, u'a') + u' ';
        QCOMPARE(rows.at(2), fixed(third));
        QCOMPARE(rows.at(2).name, third.name);
    }

    void readKeepsInsertionOrder()
    {
        const QStringList added = {QStringLiteral("西游记"), QStringLiteral("A"),
                                   QStringLiteral("红楼梦"), QStringLiteral("b"),
                                   QStringLiteral("三国")};
        for (const QString &name : added)
            QVERIFY(FavoriteModule::AddFavorite(recordNamed(name)));
        QVERIFY(FavoriteModule::DeleteFavorite(QStringLiteral("红楼梦")));
        QVERIFY(FavoriteModule::AddFavorite(recordNamed(QStringLiteral("红楼梦"))));
        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(names(rows), (QStringList{QStringLiteral("西游记"), QStringLiteral("A"),
                                           QStringLiteral("b"), QStringLiteral("三国"),
                                           QStringLiteral("红楼梦")}));
    }

    void noRowsLeavesArrayUntouched_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("table without rows") << "table";
        QTest::newRow("every row deleted") << "deleted";
    }

    void noRowsLeavesArrayUntouched()
    {
        QFETCH(QString, state);
        const QString path = m_folder->file(QStringLiteral("Favorite.mdb"));
        if (state == "empty") {
            QVERIFY(writeBytes(path, QByteArray()));
        } else if (state == "table") {
            QVERIFY(FavoriteModule::CreateFavoriteDb());
            QVERIFY(FavoriteModule::CreateFavoriteTable());
        } else if (state == "deleted") {
            QVERIFY(FavoriteModule::AddFavorite(recordNamed(QStringLiteral("甲"))));
            QVERIFY(FavoriteModule::AddFavorite(recordNamed(QStringLiteral("甲"))));
            QVERIFY(FavoriteModule::DeleteFavorite(QStringLiteral("甲")));
        }
        const QList<FavoriteRecord> before = {fixed(sampleRecord(3)), sampleRecord(4)};
        QList<FavoriteRecord> rows = before;
        QVERIFY(!FavoriteModule::ReadFavorites(rows));
        QCOMPARE(rows, before);
        // Reading never creates the file: the clear command tells "missing" apart.
        QCOMPARE(QFileInfo::exists(path), state != "missing");
    }

    void deleteAnswers_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("expected");
        QTest::newRow("name present") << "present" << true;
        QTest::newRow("name absent") << "absent" << true;
        QTest::newRow("missing file") << "missing" << false;
        QTest::newRow("file without table") << "empty" << false;
    }

    void deleteAnswers()
    {
        QFETCH(QString, state);
        QFETCH(bool, expected);
        const QString path = m_folder->file(QStringLiteral("Favorite.mdb"));
        if (state == "present" || state == "absent")
            QVERIFY(FavoriteModule::AddFavorite(recordNamed(QStringLiteral("乙"))));
        if (state == "empty")
            QVERIFY(writeBytes(path, QByteArray()));
        if (!expected)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot delete")));
        const QString name = state == "absent" ? QStringLiteral("丙") : QStringLiteral("乙");
        QCOMPARE(FavoriteModule::DeleteFavorite(name), expected);
        QCOMPARE(QFileInfo::exists(path), state != "missing");
    }

    void deleteRemovesEveryCopy()
    {
        // Nothing in the table prevents two rows with one name.
        QVERIFY(FavoriteModule::AddFavorite(recordNamed(QStringLiteral("丁"))));
        QVERIFY(FavoriteModule::AddFavorite(recordNamed(QStringLiteral("戊"))));
        QVERIFY(FavoriteModule::AddFavorite(recordNamed(QStringLiteral("丁"))));
        QVERIFY(FavoriteModule::DeleteFavorite(FavoriteRecord::fixedWidth(QStringLiteral("丁"), 50)));
        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        QCOMPARE(names(rows), QStringList{QStringLiteral("戊")});
    }

    void favoriteListTexts()
    {
        FavoriteRecord a = recordNamed(QStringLiteral("水浒传"));
        a.style = QStringLiteral(" 评书 ");
        FavoriteRecord b = recordNamed(QStringLiteral(" 相声 "));
        b.style = QString();
        QVERIFY(FavoriteModule::AddFavorite(a));
        QVERIFY(FavoriteModule::AddFavorite(b));
        QList<FavoriteRecord> rows;
        QVERIFY(FavoriteModule::ReadFavorites(rows));
        // The name keeps its full width: the remove command finds it by that.
        QCOMPARE(FavoriteModule::FavoriteListTexts(rows),
                 (QStringList{QStringLiteral("评书-水浒传") + QString(47, u' '),
                              QStringLiteral("- 相声 ") + QString(46, u' ')}));
        QCOMPARE(FavoriteModule::FavoriteListTexts({}), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFavoriteModule)

#include "tst_favoritemodule.moc"
