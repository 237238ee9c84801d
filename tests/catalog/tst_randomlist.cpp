#include "catalogfile.h"
#include "quotes.h"
#include "randomlist.h"

#include <QHash>
#include <QRandomGenerator>
#include <QTest>

Q_DECLARE_METATYPE(EntryRef)

QByteArray refText(EntryRef ref)
{
    return QByteArray::number(ref.category) + ',' + QByteArray::number(ref.entry);
}

char *toString(const EntryRef &ref)
{
    return qstrdup(refText(ref));
}

size_t qHash(EntryRef ref, size_t hashStart = 0)
{
    return qHashMulti(hashStart, ref.category, ref.entry);
}

namespace {
// Two categories with resources, five in one and two in the other, the second
// of them last in the file; empty categories before and between them. Dashes
// in names and titles, since the lines join them with one.
const char *const kFixture =
    ("<category name='空的'></category>"
     "<category name='评书-单田芳'><data id='1' title='一'/><data id='2' title='二-上'/>"
     "<data id='3' title='三'/><data id='4' title='四'/><data id='5' title='五'/></category>"
     "<category name='也空'></category>"
     "<category name='童话'><data id='6' title='六'/><data id='7' title='七-下'/></category>");

const Catalog &fixture()
{
    static const Catalog catalog = SjCL::ParseCatalog(Q(kFixture));
    return catalog;
}

constexpr quint32 kSeeds[] = {1, 2, 3, 42, 20240601};
} // namespace

class TestRandomList : public QObject
{
    Q_OBJECT

private slots:
    void linesShowTheirOwnEntry()
    {
        QRandomGenerator generator(7);
        const ListedLines lines = SjCL::DrawRandomList(fixture(), generator);
        QCOMPARE(lines.texts.size(), 30);
        QCOMPARE(lines.refs.size(), 30);
        for (qsizetype i = 0; i < lines.texts.size(); ++i) {
            const EntryRef ref = lines.refs.at(i);
            const CatalogEntry entry = EntryOf(fixture(), ref);
            QVERIFY2(entry.id != 0, refText(ref).constData());
            QCOMPARE(lines.texts.at(i), CategoryNameOf(fixture(), ref) + "-" + entry.title);
        }
    }

    // Over many draws: every resource comes up, the last category's and each
    // category's last included; empty categories never; categories are equally
    // likely whatever their size, and so are the resources within one.
    void drawsCoverEveryResourceEvenly()
    {
        constexpr int kDraws = 4000; // per generator, 20,000 in all
        QHash<EntryRef, int> counts;
        int total = 0;
        for (const quint32 start : kSeeds) {
            QRandomGenerator generator(start);
            const ListedLines lines = SjCL::DrawRandomList(fixture(), generator, kDraws);
            QCOMPARE(lines.refs.size(), kDraws);
            for (const EntryRef &ref : lines.refs)
                ++counts[ref];
            total += kDraws;
        }

        const QList<EntryRef> all{{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {4, 1}, {4, 2}};
        for (const EntryRef &ref : all) {
            // Half the draws go to each category, spread over its resources.
            const double expected = total / 2.0 / (ref.category == 2 ? 5 : 2);
            const int count = counts.value(ref);
            QVERIFY2(count > 0.9 * expected && count < 1.1 * expected,
                     qPrintable(QStringLiteral("%1: %2 draws, about %3 expected")
                                    .arg(QString::fromLatin1(refText(ref)))
                                    .arg(count)
                                    .arg(expected)));
        }
        QCOMPARE(counts.size(), all.size()); // nothing outside these seven
    }

    void sameSeedSameList_data()
    {
        QTest::addColumn<quint32>("start");
        QTest::addColumn<quint32>("otherSeed");
        QTest::newRow("1 and 2") << 1u << 2u;
        QTest::newRow("42 and 43") << 42u << 43u;
        QTest::newRow("20240601 and 7") << 20240601u << 7u;
    }

    void sameSeedSameList()
    {
        QFETCH(quint32, start);
        QFETCH(quint32, otherSeed);
        QRandomGenerator first(start);
        QRandomGenerator again(start);
        QRandomGenerator other(otherSeed);
        const ListedLines lines = SjCL::DrawRandomList(fixture(), first);
        QCOMPARE(SjCL::DrawRandomList(fixture(), again).refs, lines.refs);
        QVERIFY(SjCL::DrawRandomList(fixture(), other).refs != lines.refs);
    }

    void noResourceNoLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("no category") << QString() << 30;
        QTest::newRow("only empty categories")
            << Q("<category name='甲'></category><category name='乙'></category>") << 30;
        QTest::newRow("nothing asked") << Q(kFixture) << 0;
        QTest::newRow("negative count") << Q(kFixture) << -1;
    }

    void noResourceNoLine()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QRandomGenerator generator(1);
        const ListedLines lines = SjCL::DrawRandomList(SjCL::ParseCatalog(text), generator, count);
        QVERIFY(lines.texts.isEmpty());
        QVERIFY(lines.refs.isEmpty());
    }

    void oneResourceEveryTime()
    {
        QRandomGenerator generator(3);
        const Catalog catalog = SjCL::ParseCatalog(
            Q("<category name='空'></category><category name='唯一'><data id='9' title='独'/>"
              "</category>"));
        const ListedLines lines = SjCL::DrawRandomList(catalog, generator);
        QCOMPARE(lines.texts, QStringList(30, QStringLiteral("唯一-独")));
        QCOMPARE(lines.refs, QList<EntryRef>(30, EntryRef{2, 1}));
    }
};

QTEST_MAIN(TestRandomList)
#include "tst_randomlist.moc"
