#include "catalogfile.h"
#include "lineorigins.h"
#include "quotes.h"

#include <QTest>

namespace {
const char *const kFixture = ("<category name='唐诗'><data id='1' title='静夜思'/>"
                              "<data id='2' title='春晓'/></category>"
                              "<category name='空分类'></category>"
                              "<category name='宋词-豪放'><data id='3' title='念奴娇-赤壁怀古'/>"
                              "</category>");

const Catalog &fixture()
{
    static const Catalog catalog = SjCL::ParseCatalog(Q(kFixture));
    return catalog;
}

// Every field empty or zero, as the details of a line that leads nowhere.
bool isEmptyEntry(const CatalogEntry &e)
{
    return e.id == 0 && e.fid == 0 && e.title.isEmpty() && e.litpic.isEmpty() &&
           e.filesize.isEmpty() && e.flash_fangfa.isEmpty() && e.flashurl.isEmpty() &&
           e.pageurl.isEmpty() && e.flashsay.isEmpty() && e.onclick.isEmpty() &&
           e.keyboard.isEmpty() && e.ztid.isEmpty();
}
} // namespace

class TestLineOrigins : public QObject
{
    Q_OBJECT

private slots:
    void refInsideTheCatalog_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << 1 << 1 << 1 << "唐诗"
                               << "唐诗-静夜思";
        QTest::newRow("last of a category") << 1 << 2 << 2 << "唐诗"
                                            << "唐诗-春晓";
        QTest::newRow("dashes in both") << 3 << 1 << 3 << "宋词-豪放"
                                        << "宋词-豪放-念奴娇-赤壁怀古";
    }

    void refInsideTheCatalog()
    {
        QFETCH(int, category);
        QFETCH(int, entry);
        QFETCH(int, id);
        QFETCH(QString, name);
        QFETCH(QString, text);
        const EntryRef ref{category, entry};
        QCOMPARE(EntryOf(fixture(), ref).id, id);
        QCOMPARE(CategoryNameOf(fixture(), ref), name);
        QCOMPARE(ListedText(fixture(), ref), text);
    }

    // Refs kept from before a reload, or never set, must not reach past the
    // catalog nor hand out the unused element 0.
    void refOutsideTheCatalog_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("entry");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("category 0") << 0 << 1;
        QTest::newRow("entry 0") << 1 << 0;
        QTest::newRow("negative category") << -1 << 1;
        QTest::newRow("negative entry") << 1 << -1;
        QTest::newRow("past the last entry") << 1 << 3;
        QTest::newRow("category without resources") << 2 << 1;
        QTest::newRow("past the last category") << 4 << 1;
        QTest::newRow("far out") << 1000000 << 1000000;
    }

    void refOutsideTheCatalog()
    {
        QFETCH(int, category);
        QFETCH(int, entry);
        const EntryRef ref{category, entry};
        QVERIFY(isEmptyEntry(EntryOf(fixture(), ref)));
        QCOMPARE(CategoryNameOf(fixture(), ref), QString());
        QCOMPARE(ListedText(fixture(), ref), QString());
        QVERIFY(isEmptyEntry(EntryOf(Catalog{}, ref)));
        QCOMPARE(CategoryNameOf(Catalog{}, ref), QString());
    }

    // The single-click lookup: a category line by its position in the category
    // selected in List1, a search or random line by the ref it was made from.
    void lookup_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::addColumn<int>("list1Row");
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("category");
        QTest::newRow("category line") << false << 0 << 1 << 2 << "唐诗";
        QTest::newRow("category line, dashed title") << false << 2 << 0 << 3 << "宋词-豪放";
        QTest::newRow("category line past the end") << false << 0 << 2 << 0 << "";
        QTest::newRow("empty category") << false << 1 << 0 << 0 << "";
        QTest::newRow("nothing selected in List1") << false << -1 << 0 << 0 << "";
        QTest::newRow("no line selected") << false << 0 << -1 << 0 << "";
        // The listed lines below are {3,1} then {1,1}; List1's row plays no part.
        QTest::newRow("listed line") << true << 0 << 0 << 3 << "宋词-豪放";
        QTest::newRow("listed line, List1 elsewhere") << true << 2 << 1 << 1 << "唐诗";
        QTest::newRow("listed, past the lines") << true << 0 << 2 << 0 << "";
        QTest::newRow("listed, none selected") << true << 0 << -1 << 0 << "";
    }

    void lookup()
    {
        QFETCH(bool, listed);
        QFETCH(int, list1Row);
        QFETCH(int, selectedRow);
        QFETCH(int, id);
        QFETCH(QString, category);
        ListedLines lines;
        lines.texts = QStringList{"宋词-豪放-念奴娇-赤壁怀古", "唐诗-静夜思"};
        lines.refs = {{3, 1}, {1, 1}};
        const SjCL::SelectedEntry selected =
            SjCL::Lookup(fixture(), listed ? &lines : nullptr, list1Row, selectedRow);
        QCOMPARE(selected.entry.id, id);
        QCOMPARE(selected.category, category);
        if (id == 0)
            QVERIFY(isEmptyEntry(selected.entry));
    }
};

QTEST_MAIN(TestLineOrigins)
#include "tst_lineorigins.moc"
