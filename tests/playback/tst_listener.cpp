// A listener's evening with the real program on the demo site: choose a
// category, open two resources, read the details from the list's menu, play
// one, keep it among the favourites; then start the program again and find
// both in the history and the favourite in the favourites, each playing.
// Needs the X server that the test command starts.

#include "catalogfile.h"
#include "demoprogram.h"
#include "favoritemodule.h"
#include "mewgd.h"
#include "programfolder.h"
#include "x11tools.h"

#include <QTest>

namespace {

// Positions in the main window: the lists' frame at (12, 124), 21-pixel rows.
constexpr int kRow = 21;
QPoint categoryRow(int row) { return {12 + 40, 124 + 1 + row * kRow + 10}; }
QPoint resourceRow(int row) { return {12 + 116 + 60, 124 + 1 + row * kRow + 10}; }
const QPoint kFavouritesTab(105 + 45, 88 + 14);
const QPoint kCloseButton(264 + 12, 10 + 12);
// The player's "add to favourites" button, in its client area.
const QPoint kFlashSC(3 + 40, 2 + 11);

QString playerTitle()
{
    const QStringList ids =
        X11Tools::visibleWindows(QStringLiteral("^(欢迎使用Aurilo|您当前正在收听的是)"));
    if (ids.isEmpty())
        return {};
    QString title =
        X11Tools::run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), ids.first()});
    // The window system's title carries the program's name after the caption.
    title.remove(QRegularExpression(QStringLiteral(" — Aurilo$")));
    return title;
}

QString playing(const QString &name)
{
    return QStringLiteral("您当前正在收听的是：《") + name + QStringLiteral("》");
}

void doubleClick(const QPoint &at)
{
    X11Tools::click(at);
    QTest::qWait(300);
    X11Tools::run(QStringLiteral("xdotool"),
                  {QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                   QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")});
}

} // namespace

class TestListener : public QObject
{
    Q_OBJECT

private slots:
    void anEvening()
    {
        DemoProgram demo;
        QString error;
        QVERIFY2(demo.prepare(&error), qPrintable(error));
        QVERIFY(demo.start({QStringLiteral("Yes")})); // download the catalog at the first start
        QVERIFY(X11Tools::waitFor([] { return X11Tools::auriloMainWindow().isValid(); }, 30000));
        QVERIFY(X11Tools::waitFor([&] { return QFileInfo::exists(demo.file("LDsend.Dll")); }, 60000));
        QTest::qWait(1000); // the lists fill from the new catalog

        const Catalog catalog = SjCL::ParseCatalog(SjCL::ReadAnsiFile(demo.file("LDsend.Dll")));
        QVERIFY(catalog.categoryCount() >= 2);
        const CatalogCategory &category = catalog.categories.at(2);
        QVERIFY(category.entries.size() >= 3);
        const QString first = category.entries.at(1).title;
        const QString second = category.entries.at(2).title;
        QPoint main = X11Tools::auriloMainWindow().topLeft();

        // The second category, its first two resources.
        X11Tools::click(main + categoryRow(1));
        QTest::qWait(300);
        X11Tools::click(main + resourceRow(0));
        QTest::qWait(300);
        X11Tools::click(main + resourceRow(1));
        QTest::qWait(300);

        // The details from the list's menu: the right button, then "查看介绍".
        X11Tools::run(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QString::number((main + resourceRow(1)).x()),
                       QString::number((main + resourceRow(1)).y()), QStringLiteral("mousedown"),
                       QStringLiteral("3")});
        QTest::qWait(300);
        X11Tools::run(QStringLiteral("xdotool"), {QStringLiteral("mouseup"), QStringLiteral("3")});
        QTest::qWait(300);
        X11Tools::keys({QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                        QStringLiteral("Return")});
        QVERIFY2(X11Tools::waitFor(
                     [] { return !X11Tools::visibleWindows(QStringLiteral("^详细介绍")).isEmpty(); }),
                 "the details window did not open");

        // Play it, and keep it.
        doubleClick(main + resourceRow(1));
        QVERIFY2(X11Tools::waitFor([&] { return playerTitle() == playing(second); }, 15000),
                 qPrintable(playerTitle()));
        const QStringList players =
            X11Tools::visibleWindows(QStringLiteral("^您当前正在收听的是"));
        QCOMPARE(players.size(), 1);
        X11Tools::click(X11Tools::geometry(players.first()).topLeft() + kFlashSC);
        const QString added = QStringLiteral("32|OK|《") + category.name + u'-' + second +
                              QStringLiteral("》已经成功添加至收藏列表！请到收藏列表中查看！ => OK");
        QVERIFY2(X11Tools::waitFor([&] { return demo.dialogs().contains(added); }),
                 qPrintable(demo.dialogs().join(u'\n')));

        X11Tools::click(main + kCloseButton);
        QVERIFY(demo.process.waitForFinished(15000));

        // What the files hold.
        ProgramFolder::setPath(demo.folder());
        QList<FavoriteRecord> favourites;
        QVERIFY(FavoriteModule::ReadFavorites(favourites));
        QCOMPARE(favourites.size(), 1);
        QCOMPARE(favourites.at(0).name.trimmed(), second);
        QList<FavoriteRecord> history;
        QVERIFY(MeWgd::ReadHistory(history));
        QCOMPARE(history.size(), 2);
        QCOMPARE(history.at(0).name.trimmed(), first);
        QCOMPARE(history.at(1).name.trimmed(), second);
        ProgramFolder::setPath(QString());

        // Another evening: the history, then the favourites.
        QVERIFY(demo.start({}));
        QVERIFY(X11Tools::waitFor([] { return X11Tools::auriloMainWindow().isValid(); }, 30000));
        QTest::qWait(1000);
        main = X11Tools::auriloMainWindow().topLeft();
        const int historyItem = int(catalog.categoryCount()) + 1; // "n+2. 我听过的", below the categories
        X11Tools::click(main + categoryRow(historyItem));
        QTest::qWait(500);
        doubleClick(main + resourceRow(0));
        QVERIFY2(X11Tools::waitFor([&] { return playerTitle() == playing(first); }, 15000),
                 qPrintable(playerTitle()));

        X11Tools::click(main + kFavouritesTab);
        QTest::qWait(500);
        doubleClick(main + resourceRow(0) - QPoint(116, 0)); // the favourites fill the frame
        QVERIFY2(X11Tools::waitFor([&] { return playerTitle() == playing(second); }, 15000),
                 qPrintable(playerTitle()));
        QVERIFY(demo.dialogs().isEmpty());

        X11Tools::click(main + kCloseButton);
        QVERIFY(demo.process.waitForFinished(15000));
    }
};

QTEST_MAIN(TestListener)
#include "tst_listener.moc"
