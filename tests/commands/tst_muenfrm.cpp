// The pop-up menus: their items in order, and the commands behind them that
// act on the selection and the favourites.

#include "formtestmain.h"

#include "clipboardservice.h"
#include "dialogrecorder.h"
#include "favoritemodule.h"
#include "flashfrm.h"
#include "formmain.h"
#include "gamejsfrm.h"
#include "listboxex.h"
#include "muenfrm.h"
#include "programfolder.h"
#include "quendasz.h"
#include "storeviews.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// "-" stands for a separator line.
QStringList itemsOf(const QMenu *menu)
{
    QStringList out;
    for (const QAction *action : menu->actions())
        out.append(action->objectName() + u'=' + (action->isSeparator() ? u"-"_qs : action->text()));
    return out;
}

QStringList storedNames()
{
    QList<FavoriteRecord> rows;
    QStringList names;
    if (FavoriteModule::ReadFavorites(rows))
        for (const auto &row : rows)
            names.append(row.style.trimmed() + u'|' + row.name.trimmed());
    return names;
}

QStringList texts(const ListBoxEx *list)
{
    QStringList out;
    for (int i = 0; i < list->ListCount(); ++i)
        out.append(list->List(i).trimmed());
    return out;
}

// The application's accessible child that stands for this window, if any.
QAccessibleInterface *accessibleChildFor(QAccessibleInterface *app, QObject *window)
{
    for (int i = 0; i < app->childCount(); ++i) {
        if (QAccessibleInterface *child = app->child(i); child && child->object() == window)
            return child;
    }
    return nullptr;
}

} // namespace

class TestMuenFrm : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

    MuenFrm &menus() { return MuenFrm::get(); }

    void select(const QString &style, const QString &name, const QString &url = u"http://h/1.swf"_qs)
    {
        menus().GmStyle = style;
        menus().GmName = name;
        menus().GmFlashUrl = url;
        menus().GmFlashSay = name + u"的简介"_qs;
        menus().GmPageUrl = u"http://h/p.html"_qs;
        menus().GmId = 7;
    }

    // Stores favourites and shows them, the first one chosen.
    void showFavorites(const QStringList &names)
    {
        for (const QString &name : names) {
            FavoriteRecord record;
            record.style = u"收藏"_qs;
            record.name = name;
            record.flashurl = u"http://h/"_qs + name + u".swf"_qs;
            QVERIFY(FavoriteModule::AddFavorite(record));
        }
        FormMain::get().ScList_Click();
        FormMain::get().List4->setListIndex(0);
        FormMain::get().List4_Click();
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        ProgramFolder::setPath(m_folder->path());
    }

    void cleanup()
    {
        delete FormMain::existing();
        delete GameJsFrm::existing();
        delete MuenFrm::existing();
        delete QuendaSz::existing();
        delete FlashFrm::existing();
        Clipboard::setWriter({});
        ProgramFolder::setPath(QString());
        m_folder.reset();
    }

    void menuStructure_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("resources") << "GameListMuen" << "列表右键菜单"
                                   << QStringList{"BeginGame=开始收听           ", "wyfg=-",
                                                  "Tjsc=添加收藏", "Ckjs=查看介绍", "wafg=-",
                                                  "FxGame=分享给好友"};
        QTest::newRow("favourites") << "ScListMuen" << "收藏列表右键菜单"
                                    << QStringList{"BeginGamerSC=开始收听", "fgfgfgfg=-",
                                                   "DelSc=移除收藏", "DelScList=清空收藏",
                                                   "fgfgfgfgfg=-", "ckscjs=查看介绍"};
        QTest::newRow("random") << "SbListMuen" << "随便听听"
                                << QStringList{"BeginGamerSB=开始收听", "分割=-", "TjscSB=添加收藏",
                                               "fg=-", "FxSbPlGame=分享", "CzLbSB=重载列表",
                                               "CkJSSB=查看介绍"};
        QTest::newRow("settings") << "SzLan" << "设置栏"
                                  << QStringList{"Jrzy=访问主页", "sz11=-", "shezhi1=设置", "sz1=-",
                                                 "OverQuenda=退出"};
        QTest::newRow("tray") << "TP" << "托盘选项"
                              << QStringList{"FrmQcShow=显示", "Window1=隐藏", "UnloadEndFrm=退出"};
    }

    void menuStructure()
    {
        QFETCH(QString, menu);
        QFETCH(QString, caption);
        QFETCH(QStringList, items);
        const QMenu *popup = menus().menuNamed(menu);
        QVERIFY(popup);
        QCOMPARE(popup->title(), caption);
        QCOMPARE(itemsOf(popup), items);
    }

    void addToFavourites_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("new") << QStringList{} << "民间故事" << "白蛇传"
                             << "《民间故事-白蛇传》已经成功添加至收藏列表！请到收藏列表中查看！" << 32
                             << QStringList{"民间故事|白蛇传"};
        QTest::newRow("blanks around") << QStringList{} << " 唐诗 " << "  静夜思 "
                                       << "《唐诗-静夜思》已经成功添加至收藏列表！请到收藏列表中查看！"
                                       << 32 << QStringList{"唐诗|静夜思"};
        QTest::newRow("already there") << QStringList{"白蛇传"} << "民间故事" << "白蛇传"
                                       << "该游戏已经存在于收藏列表了，请勿重复添加！" << 16
                                       << QStringList{"收藏|白蛇传"};
        QTest::newRow("already there, with a leading blank")
            << QStringList{"白蛇传"} << "民间故事" << " 白蛇传"
            << "该游戏已经存在于收藏列表了，请勿重复添加！" << 16 << QStringList{"收藏|白蛇传"};
        QTest::newRow("quote and wildcards") << QStringList{"50%_'x"} << "杂" << "50%_'y"
                                             << "《杂-50%_'y》已经成功添加至收藏列表！请到收藏列表中查看！"
                                             << 32 << QStringList{"收藏|50%_'x", "杂|50%_'y"};
    }

    void addToFavourites()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, style);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(QStringList, after);
        if (!before.isEmpty())
            showFavorites(before);
        select(style, name);
        DialogRecorder dialogs;
        menus().Tjsc_Click();
        QCOMPARE(dialogs.texts(), QStringList{message});
        QCOMPARE(int(dialogs.requests().at(0).icon), icon);
        QCOMPARE(dialogs.requests().at(0).buttons, Dialogs::Buttons::Ok);
        QCOMPARE(storedNames(), after);
    }

    void addFailureIsReported()
    {
        // A folder where the file should be: the store cannot open it.
        QVERIFY(QDir(m_folder->path()).mkdir(u"Favorite.mdb"_qs));
        select(u"民间故事"_qs, u"白蛇传"_qs);
        DialogRecorder dialogs;
        menus().TjscSB_Click();
        QCOMPARE(dialogs.texts(), QStringList{u"添加至收藏失败！"_qs});
        QCOMPARE(dialogs.requests().at(0).icon, Dialogs::Icon::None);
    }

    void removeOne()
    {
        showFavorites({u"第一本"_qs, u"第二本"_qs});
        QCOMPARE(texts(FormMain::get().List4), (QStringList{"收藏-第一本", "收藏-第二本"}));
        QCOMPARE(menus().GmDelGameName, u"第一本"_qs + QString(47, u' '));
        DialogRecorder dialogs;
        menus().DelSc_Click();
        QCOMPARE(texts(FormMain::get().List4), QStringList{"收藏-第二本"});
        FormMain::get().List4->setListIndex(0);
        FormMain::get().List4_Click();
        menus().DelSc_Click();
        QCOMPARE(FormMain::get().List4->ListCount(), 0);
        QCOMPARE(storedNames(), QStringList{});
        QVERIFY(dialogs.requests().isEmpty());
    }

    void clearAll_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<int>("rowsLeft");
        const QString ask = u"您确定要清空收藏列表吗？在当前版本该操作不可恢复！"_qs;
        QTest::newRow("declined") << "chosen" << Dialogs::Answer::No
                                  << QStringList{ask, "您取消了操作！"} << 2;
        QTest::newRow("nothing chosen") << "none" << Dialogs::Answer::Yes << QStringList{ask} << 2;
        QTest::newRow("cleared") << "chosen" << Dialogs::Answer::Yes
                                 << QStringList{ask, "清空成功！"} << 0;
        QTest::newRow("no file") << "file gone" << Dialogs::Answer::Yes
                                 << QStringList{ask, "收藏列表文件不存在，无需删除！"} << 0;
    }

    void clearAll()
    {
        QFETCH(QString, situation);
        QFETCH(Dialogs::Answer, answer);
        QFETCH(QStringList, messages);
        QFETCH(int, rowsLeft);
        showFavorites({u"第一本"_qs, u"第二本"_qs});
        if (situation == u"none")
            FormMain::get().List4->setListIndex(-1);
        if (situation == u"file gone")
            QVERIFY(QFile::remove(FavoriteModule::databaseFile()));
        DialogRecorder dialogs({answer});
        menus().DelScList_Click();
        QCOMPARE(dialogs.texts(), messages);
        for (const auto &request : dialogs.requests())
            QCOMPARE(request.icon, Dialogs::Icon::None);
        QCOMPARE(dialogs.requests().at(0).buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(int(storedNames().size()), rowsLeft);
        if (situation == u"chosen" && answer == Dialogs::Answer::Yes) {
            QVERIFY(QFile::exists(FavoriteModule::databaseFile())); // a new, empty store
            QCOMPARE(FormMain::get().List4->ListCount(), 0);
        }
    }

    void share()
    {
        QStringList written;
        Clipboard::setWriter([&written](const QString &text) { written.append(text); });
        DialogRecorder dialogs;
        select(u"民间故事"_qs, u"白蛇传"_qs, u"   "_qs); // no address: nothing to share
        menus().FxGame_Click();
        QVERIFY(written.isEmpty());
        QVERIFY(dialogs.requests().isEmpty());

        select(u"民间故事"_qs, u" 白蛇传 "_qs);
        menus().GmFlashSay = u" 白娘子 "_qs;
        menus().GmPageUrl = u" http://h/p.html "_qs;
        menus().FxSbPlGame_Click();
        QCOMPARE(written, QStringList{u"我在Sonavel上面发现了一本很好听的书籍，名字叫《白蛇传》-白娘子地址是：http://h/p.html"_qs});
        QCOMPARE(dialogs.texts(), QStringList{u"复制信息成功，请通过Ctrl + V键复制给您的好友！"_qs});
        QCOMPARE(dialogs.requests().at(0).icon, Dialogs::Icon::None);
    }

    // An open menu is one more child of the application for a screen reader:
    // named by its caption, its items by theirs, each with a press action.
    void openMenuIsInTheAccessibilityTree_data()
    {
        QTest::addColumn<QString>("menu");
        for (const char *name : {"GameListMuen", "ScListMuen", "SbListMuen", "SzLan", "TP"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void openMenuIsInTheAccessibilityTree()
    {
        QFETCH(QString, menu);
        QMenu *popup = menus().menuNamed(menu);
        QVERIFY(popup);
        QAccessibleInterface *app = QAccessible::queryAccessibleInterface(qApp);
        QVERIFY(app);
        QVERIFY(!accessibleChildFor(app, popup)); // closed: not there

        popup->popup(QPoint(200, 200));
        QVERIFY(QTest::qWaitForWindowExposed(popup));
        QAccessibleInterface *shown = accessibleChildFor(app, popup);
        QVERIFY(shown);
        QCOMPARE(shown->role(), QAccessible::PopupMenu);
        QCOMPARE(shown->text(QAccessible::Name), popup->title());
        // The way back up leads to the same place.
        QCOMPARE(shown->parent(), app);
        QCOMPARE(app->child(app->indexOfChild(shown)), shown);
        QCOMPARE(app->focusChild(), shown);

        QStringList captions;
        QStringList expected;
        for (const QAction *action : popup->actions()) {
            if (!action->isSeparator())
                expected.append(action->text());
        }
        for (int i = 0; i < shown->childCount(); ++i) {
            QAccessibleInterface *item = shown->child(i);
            if (item->role() == QAccessible::Separator)
                continue;
            QCOMPARE(item->role(), QAccessible::MenuItem);
            QVERIFY(item->actionInterface());
            QVERIFY(item->actionInterface()->actionNames().contains(
                QAccessibleActionInterface::pressAction()));
            captions.append(item->text(QAccessible::Name));
        }
        QCOMPARE(captions, expected);
        popup->close();
        QVERIFY(!accessibleChildFor(app, popup));
    }

    // Chosen through its press action, an item closes its menu and runs its
    // command, as a click does.
    void pressActionRunsTheCommand()
    {
        select(u"民间故事"_qs, u"白蛇传"_qs);
        DialogRecorder dialogs;
        QMenu *popup = menus().GameListMuen;
        popup->popup(QPoint(200, 200));
        QVERIFY(QTest::qWaitForWindowExposed(popup));
        QAccessibleInterface *shown =
            accessibleChildFor(QAccessible::queryAccessibleInterface(qApp), popup);
        QVERIFY(shown);
        QAccessibleInterface *add = nullptr;
        for (int i = 0; i < shown->childCount(); ++i) {
            if (shown->child(i)->text(QAccessible::Name) == u"添加收藏")
                add = shown->child(i);
        }
        QVERIFY(add);
        add->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(!popup->isVisible());
        QCOMPARE(
            dialogs.texts(),
            QStringList{u"《民间故事-白蛇传》已经成功添加至收藏列表！请到收藏列表中查看！"_qs});
        QCOMPARE(storedNames(), QStringList{u"民间故事|白蛇传"_qs});
    }

    void detailsShowModeless()
    {
        for (QAction *item : {menus().Ckjs, menus().ckscjs, menus().CkJSSB}) {
            GameJsFrm::get().hide();
            item->trigger();
            QVERIFY(GameJsFrm::get().isVisible());
            QVERIFY(!GameJsFrm::get().isModal());
        }
    }
};

AURILO_FORM_TEST_MAIN(TestMuenFrm)
#include "tst_muenfrm.moc"
