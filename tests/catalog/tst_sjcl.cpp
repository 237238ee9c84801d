#include "ansicodec.h"
#include "programfolder.h"
#include "quotes.h"
#include "sjcl.h"

#include <QFile>
#include "listboxex.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList texts(const ListBoxEx &list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out.append(list.List(i));
    return out;
}

const char *const kThreeCategories = ("<?xml version='1.0'?><root>\n<category name='四大名著'><data id='1' title='三国演义-第一回'/><data id='2' title='水浒传'/></category>\n<category name='唐诗'><data id='3' title='静夜思'/></category>\n<category name='空分类'></category>\n</root>");
} // namespace

// The main window's lists, as the catalog module sees them.
class Lists
{
public:
    Lists()
    {
        frame.resize(300, 600);
        List1 = new ListBoxEx(&frame);
        List1->setGeometry(0, 10, 100, 400);
        QtList = new ListBoxEx(&frame);
        QtList->setGeometry(0, 0, 100, 63);
        List2 = new ListBoxEx(&frame);
        ScListFrm = new QWidget(&frame);
        ScListFrm->show();
    }
    SjCL::CatalogLists lists() { return {List1, QtList, List2, ScListFrm, &分类暂存}; }

    QWidget frame;
    ListBoxEx *List1;
    ListBoxEx *QtList;
    ListBoxEx *List2;
    QWidget *ScListFrm;
    QString 分类暂存;
};

class TestSjCL : public QObject
{
    Q_OBJECT

private slots:
    void loadsCatalogFileIntoLists()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(QStringLiteral("ldsend.dll"))); // names compare without case
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Ansi::encode(Q(kThreeCategories)));
        file.close();
        ProgramFolder::setPath(dir.path());

        Lists w;
        SjCL::LoadCatalog(w.lists());
        ProgramFolder::setPath(QString());

        QCOMPARE(texts(*w.List1), (QStringList{"四大名著", "唐诗", "空分类"}));
        QCOMPARE(w.List1->ListIndex(), 0);
        QCOMPARE(texts(*w.List2), (QStringList{"三国演义-第一回", "水浒传"}));
        QCOMPARE(w.分类暂存, QStringLiteral("四大名著"));
        QCOMPARE(texts(*w.QtList), (QStringList{"4. 精彩推荐", "5. 我听过的", "6. 更多资源"}));
        // Directly below the third category: List1's top plus three 21-pixel rows.
        QCOMPARE(w.QtList->y(), w.List1->y() + 3 * 21);
        QVERIFY(w.ScListFrm->isHidden());
    }

    void selectingAnotherCategory_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("category");
        QTest::newRow("second") << 1 << QStringList{"静夜思"} << "唐诗";
        QTest::newRow("empty category") << 2 << QStringList{} << "空分类";
        QTest::newRow("back to first") << 0 << QStringList{"三国演义-第一回", "水浒传"}
                                       << "四大名著";
    }

    void selectingAnotherCategory()
    {
        QFETCH(int, row);
        QFETCH(QStringList, entries);
        QFETCH(QString, category);
        Lists w;
        SjCL::LoadCatalogText(Q(kThreeCategories), w.lists());
        w.List2->AddItem(QStringLiteral("history line")); // whatever List2 showed before
        w.List1->setListIndex(row);
        SjCL::ShowCategoryEntries(w.lists());
        QCOMPARE(texts(*w.List2), entries);
        QCOMPARE(w.分类暂存, category);
        const CatalogEntry *first = SjCL::EntryAt(row, 0);
        QCOMPARE(first ? first->title : QString(), entries.value(0));
    }

    void emptyCatalog()
    {
        Lists w;
        w.List1->AddItem(QStringLiteral("old"));
        w.List2->AddItem(QStringLiteral("old entry"));
        SjCL::LoadCatalogText(QString(), w.lists());
        QCOMPARE(w.List1->ListCount(), 0);
        QCOMPARE(w.List1->ListIndex(), -1);
        QCOMPARE(texts(*w.QtList), (QStringList{"1. 精彩推荐", "2. 我听过的", "3. 更多资源"}));
        QCOMPARE(w.QtList->y(), w.List1->y());
        QCOMPARE(SjCL::catalog().categoryCount(), 0);
        QVERIFY(!SjCL::CategoryAtRow(0));
    }

    void nothingSelectedOnlyRebuildsFixedItems()
    {
        Lists w;
        SjCL::LoadCatalogText(Q(kThreeCategories), w.lists());
        w.分类暂存 = QStringLiteral("kept");
        w.List1->Clear();
        w.List2->Clear();
        w.List2->AddItem(QStringLiteral("kept line"));
        w.ScListFrm->show();
        SjCL::ShowCategoryEntries(w.lists());
        QCOMPARE(texts(*w.List2), QStringList{"kept line"});
        QCOMPARE(w.分类暂存, QStringLiteral("kept"));
        QVERIFY(w.ScListFrm->isHidden());
        QCOMPARE(texts(*w.QtList), (QStringList{"1. 精彩推荐", "2. 我听过的", "3. 更多资源"}));
    }

    void indexRuleSkipsElementZero()
    {
        Lists w;
        SjCL::LoadCatalogText(Q(kThreeCategories), w.lists());
        QCOMPARE(SjCL::CategoryAtRow(1)->name, QStringLiteral("唐诗"));
        QCOMPARE(SjCL::EntryAt(0, 1)->id, 2);
        QVERIFY(!SjCL::EntryAt(0, 2));
        QVERIFY(!SjCL::EntryAt(3, 0));
        QVERIFY(!SjCL::EntryAt(-1, 0));
    }

    void qtListItemsCountOn()
    {
        QCOMPARE(SjCL::QtListItems(12),
                 (QStringList{"13. 精彩推荐", "14. 我听过的", "15. 更多资源"}));
    }
};

QTEST_MAIN(TestSjCL)
#include "tst_sjcl.moc"
