#include "favoriterecord.h"

#include <QTest>

class TestFavoriteRecord : public QObject
{
    Q_OBJECT

private slots:
    void fixedWidth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        const QString smile = QStringLiteral("😀"); // one character, two UTF-16 units
        QTest::newRow("shorter is padded") << "abc" << 5 << "abc  ";
        QTest::newRow("exact width unchanged") << "abcde" << 5 << "abcde";
        QTest::newRow("longer is cut") << "abcdefg" << 5 << "abcde";
        QTest::newRow("empty becomes blanks") << "" << 3 << "   ";
        QTest::newRow("null becomes blanks") << QString() << 3 << "   ";
        QTest::newRow("leading blanks kept") << "  ab" << 5 << "  ab ";
        QTest::newRow("trailing blanks cut") << "ab    " << 3 << "ab ";
        QTest::newRow("Chinese counts one each") << "朱镕基曌天" << 3 << "朱镕基";
        QTest::newRow("pair fits") << "ab" + smile << 4 << "ab" + smile;
        QTest::newRow("pair fits with room") << "ab" + smile << 6 << "ab" + smile + "  ";
        QTest::newRow("cut inside a pair falls before it") << "abcd" + smile << 5 << "abcd ";
        QTest::newRow("cut inside the only pair") << smile << 1 << " ";
        QTest::newRow("cut right after a pair") << "abc" + smile + "x" << 5 << "abc" + smile;
        QTest::newRow("cut right before a pair") << "abcde" + smile << 5 << "abcde";
        QTest::newRow("pairs in a row") << smile + smile + smile << 5 << smile + smile + " ";
        QTest::newRow("tab is no blank") << "a\t" << 1 << "a";
    }

    void fixedWidth()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, expected);
        const QString out = FavoriteRecord::fixedWidth(text, width);
        QCOMPARE(out, expected);
        QCOMPARE(out.size(), width);
    }

    void fixWidthsGivesEveryFieldItsWidth()
    {
        const QString longText(300, u'长');
        FavoriteRecord r;
        r.style = r.name = r.image = r.size = r.flash_ffa = r.flashurl = r.pageurl =
            r.flashsay = r.keyword = longText;
        r.id = -7;
        r.fid = 12;
        r.fixWidths();
        const QList<std::pair<QString, int>> fields = {
            {r.style, 10},     {r.name, 50},     {r.image, 100},    {r.size, 20},
            {r.flash_ffa, 100}, {r.flashurl, 100}, {r.pageurl, 100}, {r.flashsay, 100},
            {r.keyword, 20}};
        for (const auto &[value, width] : fields)
            QCOMPARE(value, QString(width, u'长'));
        QCOMPARE(r.id, std::int16_t(-7));
        QCOMPARE(r.fid, std::int16_t(12));

        FavoriteRecord empty;
        empty.fixWidths();
        QCOMPARE(empty.style, QString(10, u' '));
        QCOMPARE(empty.name, QString(50, u' '));
        QCOMPARE(empty.pageurl, QString(100, u' '));
        QCOMPARE(empty.keyword, QString(20, u' '));
    }

    void trimBlanks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("padding") << "评书      " << "评书";
        QTest::newRow("both sides") << "  红楼梦  " << "红楼梦";
        QTest::newRow("inner blanks stay") << " a b " << "a b";
        QTest::newRow("only blanks") << "     " << "";
        QTest::newRow("tab and line break stay") << "\ta\n " << "\ta\n";
        QTest::newRow("ideographic space stays") << "　书 " << "　书";
        QTest::newRow("empty") << "" << "";
    }

    void trimBlanks()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(FavoriteRecord::trimBlanks(text), expected);
    }
};

QTEST_GUILESS_MAIN(TestFavoriteRecord)

#include "tst_favoriterecord.moc"
