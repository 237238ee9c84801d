#include "dialogrecorder.h"
#include "favoritemodule.h"
#include "mewgd.h"
#include "storetestsupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QTest>

namespace {
FavoriteRecord item(const QString &style, const QString &name)
{
    FavoriteRecord r = sampleRecord(1);
    r.style = style;
    r.name = name;
    return r;
}
} // namespace

class TestMeWgd : public QObject
{
    Q_OBJECT

    std::unique_ptr<StoreFolder> m_folder;
    std::unique_ptr<DialogRecorder> m_dialogs;

private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use")));
        m_folder = std::make_unique<StoreFolder>();
        m_dialogs = std::make_unique<DialogRecorder>();
    }

    void cleanup()
    {
        QCOMPARE(m_dialogs->texts(), QStringList());
        QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
        m_dialogs.reset();
        m_folder.reset();
    }

    void historyListTexts_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "评书" << "三国演义" << "评书 < 三国演义";
        QTest::newRow("leading blanks trimmed") << " 相声" << "  红楼梦" << "相声 < 红楼梦";
        QTest::newRow("no style") << "" << "西游记" << " < 西游记";
        QTest::newRow("name cut to 50") << "小说" << QString(60, u'长')
                                        << "小说 < " + QString(50, u'长');
        QTest::newRow("inner blanks stay") << "外国 文学" << "A  B" << "外国 文学 < A  B";
        QTest::newRow("empty name") << "儿童" << "" << "儿童 < ";
    }

    void historyListTexts()
    {
        QFETCH(QString, style);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QVERIFY(MeWgd::AddHistory(item(style, QStringLiteral("先"))));
        QVERIFY(MeWgd::AddHistory(item(style, name)));
        QList<FavoriteRecord> rows;
        QVERIFY(MeWgd::ReadHistory(rows));
        QCOMPARE(MeWgd::HistoryListTexts(rows),
                 (QStringList{FavoriteRecord::trimBlanks(style) + QStringLiteral(" < 先"),
                              expected}));
    }

    void untrimmedNameKeepsLeadingBlanks()
    {
        // The history stores the selection's name untrimmed and asks for it
        // untrimmed: trailing blanks do not make a second row, leading ones do.
        const QString name = QStringLiteral("  聊斋志异 ");
        bool found = true;
        QVERIFY(!MeWgd::HistoryExists(name, found)); // no file yet
        QVERIFY(found);
        QVERIFY(MeWgd::AddHistory(item(QStringLiteral("评书"), name)));
        QVERIFY(MeWgd::HistoryExists(name, found));
        QVERIFY(found);
        QVERIFY(MeWgd::HistoryExists(QStringLiteral("  聊斋志异"), found));
        QVERIFY(found);
        QVERIFY(MeWgd::HistoryExists(QStringLiteral("聊斋志异"), found));
        QVERIFY(!found);
        QList<FavoriteRecord> rows;
        QVERIFY(MeWgd::ReadHistory(rows));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).name, FavoriteRecord::fixedWidth(name, 50));
    }

    void storesAreIndependent()
    {
        QVERIFY(FavoriteModule::AddFavorite(item(QStringLiteral("评书"), QStringLiteral("收藏甲"))));
        QVERIFY(MeWgd::AddHistory(item(QStringLiteral("相声"), QStringLiteral("听过乙"))));
        QCOMPARE(m_folder->entries(), (QStringList{"Favorite.mdb", "iwdg.mdb"}));

        bool found = true;
        QVERIFY(FavoriteModule::FavoriteExists(QStringLiteral("听过乙"), found));
        QVERIFY(!found);
        QVERIFY(MeWgd::HistoryExists(QStringLiteral("收藏甲"), found));
        QVERIFY(!found);

        // The clear command deletes the favourites' file; the history stays.
        QVERIFY(QFile::remove(FavoriteModule::databaseFile()));
        QList<FavoriteRecord> rows;
        QVERIFY(!FavoriteModule::ReadFavorites(rows));
        QVERIFY(MeWgd::ReadHistory(rows));
        QCOMPARE(MeWgd::HistoryListTexts(rows), QStringList{QStringLiteral("相声 < 听过乙")});

        QVERIFY(QFile::remove(MeWgd::databaseFile()));
        QVERIFY(FavoriteModule::AddFavorite(item(QStringLiteral("评书"), QStringLiteral("收藏丙"))));
        QCOMPARE(m_folder->entries(), QStringList{"Favorite.mdb"});
        QVERIFY(!MeWgd::ReadHistory(rows));
    }
};

QTEST_GUILESS_MAIN(TestMeWgd)

#include "tst_mewgd.moc"
