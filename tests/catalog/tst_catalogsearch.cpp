#include "catalogfile.h"
#include "catalogsearch.h"
#include "quotes.h"

#include <QTest>

Q_DECLARE_METATYPE(EntryRef)

char *toString(const EntryRef &ref)
{
    return qstrdup(QByteArray::number(ref.category) + ',' + QByteArray::number(ref.entry));
}

namespace {
// Dashes inside a category name and inside a title, a category without
// resources, and two categories of the same name holding equal titles: the
// cases in which a line's text does not name its resource.
const char *const kFixture =
    ("<?xml version='1.0'?><root>\n"
     "<category name='四大名著'><data id='1' title='三国演义'/><data id='2' title='水浒传-第三回'/>"
     "<data id='3' title='红楼梦'/></category>\n"
     "<category name='评书-单田芳'><data id='4' title='隋唐演义'/><data id='5' title='三侠五义'/>"
     "</category>\n"
     "<category name='空分类'></category>\n"
     "<category name='儿童'><data id='6' title='三只小猪'/><data id='7' title='Three Pigs'/>"
     "<data id='8' title='three pigs '/></category>\n"
     "<category name='四大名著'><data id='9' title='三国演义'/></category>\n"
     "</root>");

const Catalog &fixture()
{
    static const Catalog catalog = SjCL::ParseCatalog(Q(kFixture));
    return catalog;
}

using Refs = QList<EntryRef>;
} // namespace

class TestCatalogSearch : public QObject
{
    Q_OBJECT

private slots:
    void hitsInCatalogOrder_data()
    {
        QTest::addColumn<QString>("q");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<Refs>("refs");
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("三, grouped by category in file order")
            << "三"
            << QStringList{"四大名著-三国演义", "四大名著-水浒传-第三回", "评书-单田芳-三侠五义",
                           "儿童-三只小猪", "四大名著-三国演义"}
            << Refs{{1, 1}, {1, 2}, {2, 2}, {4, 1}, {5, 1}} << QList<int>{1, 2, 5, 6, 9};
        QTest::newRow("equal lines keep their own resource")
            << "三国" << QStringList{"四大名著-三国演义", "四大名著-三国演义"}
            << Refs{{1, 1}, {5, 1}} << QList<int>{1, 9};
        QTest::newRow("dash in the query")
            << "传-第" << QStringList{"四大名著-水浒传-第三回"} << Refs{{1, 2}} << QList<int>{2};
        QTest::newRow("whole title")
            << "隋唐演义" << QStringList{"评书-单田芳-隋唐演义"} << Refs{{2, 1}} << QList<int>{4};
        QTest::newRow("upper case")
            << "Three" << QStringList{"儿童-Three Pigs"} << Refs{{4, 2}} << QList<int>{7};
        QTest::newRow("lower case")
            << "three" << QStringList{"儿童-three pigs "} << Refs{{4, 3}} << QList<int>{8};
        QTest::newRow("trailing blank kept")
            << "pigs " << QStringList{"儿童-three pigs "} << Refs{{4, 3}} << QList<int>{8};
        QTest::newRow("leading blank kept") << " 三" << QStringList{} << Refs{} << QList<int>{};
        QTest::newRow("category names are not searched")
            << "单田芳" << QStringList{} << Refs{} << QList<int>{};
        QTest::newRow("no hit") << "西游记" << QStringList{} << Refs{} << QList<int>{};
    }

    void hitsInCatalogOrder()
    {
        QFETCH(QString, q);
        QFETCH(QStringList, texts);
        QFETCH(Refs, refs);
        QFETCH(QList<int>, ids);
        const ListedLines hits = SjCL::SearchTitles(fixture(), q);
        QCOMPARE(hits.texts, texts);
        QCOMPARE(hits.refs, refs);
        QList<int> found;
        for (const EntryRef &ref : hits.refs)
            found.append(EntryOf(fixture(), ref).id);
        QCOMPARE(found, ids);
    }

    // A hit whose category name or title holds a dash maps to its own
    // resource and category, where splitting the line at its first dash would
    // look for category "评书" or title "三回".
    void hitWithDashFindsItsOwnEntry_data()
    {
        QTest::addColumn<QString>("q");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("id");
        QTest::newRow("dash in the title") << "水浒"
                                           << "四大名著"
                                           << "水浒传-第三回" << 2;
        QTest::newRow("dash in the category") << "侠"
                                              << "评书-单田芳"
                                              << "三侠五义" << 5;
    }

    void hitWithDashFindsItsOwnEntry()
    {
        QFETCH(QString, q);
        QFETCH(QString, category);
        QFETCH(QString, title);
        QFETCH(int, id);
        const ListedLines hits = SjCL::SearchTitles(fixture(), q);
        QCOMPARE(hits.refs.size(), 1);
        QCOMPARE(hits.texts.at(0), category + "-" + title);
        const CatalogEntry entry = EntryOf(fixture(), hits.refs.at(0));
        QCOMPARE(entry.title, title);
        QCOMPARE(entry.id, id);
        QCOMPARE(CategoryNameOf(fixture(), hits.refs.at(0)), category);

        const SjCL::SelectedEntry selected = SjCL::Lookup(fixture(), &hits, 0, 0);
        QCOMPARE(selected.entry.id, id);
        QCOMPARE(selected.category, category);
    }

    void emptySearch_data()
    {
        QTest::addColumn<QString>("q");
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty text") << "" << true;
        QTest::newRow("null text") << QString() << true;
        QTest::newRow("prompt") << "请输入您要搜索的内容" << true;
        QTest::newRow("prompt with a blank") << "请输入您要搜索的内容 " << false;
        QTest::newRow("part of the prompt") << "请输入" << false;
        QTest::newRow("one blank") << " " << false;
        QTest::newRow("text") << "三" << false;
    }

    void emptySearch()
    {
        QFETCH(QString, q);
        QFETCH(bool, empty);
        QCOMPARE(SjCL::isEmptySearch(q), empty);
        // An empty search lists nothing instead of the whole catalog.
        if (empty)
            QVERIFY(SjCL::SearchTitles(fixture(), q).texts.isEmpty());
    }

    void promptText() { QCOMPARE(SjCL::searchPrompt(), QStringLiteral("请输入您要搜索的内容")); }

    void emptyCatalogHasNoHit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("no category") << QString();
        QTest::newRow("only an empty category") << Q("<category name='三'></category>");
    }

    void emptyCatalogHasNoHit()
    {
        QFETCH(QString, text);
        const ListedLines hits = SjCL::SearchTitles(SjCL::ParseCatalog(text), QStringLiteral("三"));
        QVERIFY(hits.texts.isEmpty());
        QVERIFY(hits.refs.isEmpty());
    }
};

QTEST_MAIN(TestCatalogSearch)
#include "tst_catalogsearch.moc"
