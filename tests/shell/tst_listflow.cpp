// The listener's flow through the main window's lists: tabs, details of a
// line, search, the random list, the history, the play routines and the
// right button. The player's browser is real; the catalog's addresses lead
// nowhere, which is enough, since the player reports the address it was sent
// to; where a movie must arrive, it comes from the test server.

#include "formtestmain.h"

#include "ansicodec.h"
#include "browserhost.h"
#include "buttonex.h"
#include "clipboardservice.h"
#include "desktopservices.h"
#include "dialogrecorder.h"
#include "favoritemodule.h"
#include "flashfrm.h"
#include "formmain.h"
#include "gamejsfrm.h"
#include "httpserver.h"
#include "listboxex.h"
#include "mewgd.h"
#include "muenfrm.h"
#include "networkstate.h"
#include "programfolder.h"
#include "quendasz.h"
#include "quotes.h"
#include "storeviews.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// Names with "-" in them, an empty link and a link without "://".
const char *const kCatalog =
    "<root><category name='民间故事'>"
    "<data id='1' title='白蛇传' litpic='covers/1.png' filesize='12.50MB' flash_fangfa='点击播放'"
    " flashurl='http://127.0.0.1:9/1.swf' pageurl='http://127.0.0.1:9/p/1.html' flashsay='白娘子'/>"
    "<data id='2' title='孟姜女' flashurl=''/>"
    "<data id='3' title='三个和尚' flashurl='www.example.com/3.swf'/></category>"
    "<category name='四大名著'>"
    "<data id='4' title='水浒传-第一回' flashurl='http://127.0.0.1:9/4.swf' flashsay='洪太尉'/>"
    "</category>"
    "<category name='外国-童话'><data id='5' title='丑小鸭' flashurl='http://127.0.0.1:9/5.swf'/>"
    "</category></root>";

const QString kBrokenLink = QStringLiteral("您当前的小说链接可能已经损坏，请联系管理员处理!");
const QString kBrokenFavorite = QStringLiteral("该小说可能因为链接损坏而无法打开，请联系管理员处理");

QStringList texts(const ListBoxEx *list)
{
    QStringList out;
    for (int i = 0; i < list->ListCount(); ++i)
        out.append(list->List(i));
    return out;
}

// The middle of a row of a list, in the coordinates of its inner list.
QPoint rowPoint(const ListBoxEx *list, int row)
{
    return list->lstMain->viewport()->pos() + QPoint(20, row * 21 + 10);
}

void click(ListBoxEx *list, int row)
{
    QTest::mouseClick(list->lstMain, Qt::LeftButton, {}, rowPoint(list, row));
}

void doubleClick(ListBoxEx *list, int row)
{
    click(list, row);
    QTest::mouseDClick(list->lstMain, Qt::LeftButton, {}, rowPoint(list, row));
}

FavoriteRecord record(const QString &style, const QString &name, const QString &url)
{
    FavoriteRecord r;
    r.style = style;
    r.name = name;
    r.flashurl = url;
    r.flashsay = name + QStringLiteral("的简介");
    r.id = 42;
    return r;
}

} // namespace

class TestListFlow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QTemporaryDir m_site;
    std::unique_ptr<HttpServer> m_server;
    FormMain *m_main = nullptr;
    QList<QUrl> m_opened;

    FlashFrm &player() { return FlashFrm::get(); }
    GameJsFrm &details() { return GameJsFrm::get(); }
    MuenFrm &menus() { return MuenFrm::get(); }

    void selectCategory(int row)
    {
        click(m_main->List1, row);
        QCOMPARE(m_main->List1->ListIndex(), row);
    }

    void search(const QString &q)
    {
        m_main->Text4->setText(q);
        m_main->SerImg_Click();
    }

private slots:
    void initTestCase()
    {
        // The player's movies: the browser host fetches the bytes and does not
        // look into them.
        QVERIFY(m_site.isValid());
        QFile movie(m_site.filePath(QStringLiteral("movie.swf")));
        QVERIFY(movie.open(QIODevice::WriteOnly));
        movie.write(QByteArrayLiteral("FWS\x0a"));
        movie.close();
        m_server = std::make_unique<HttpServer>(m_site.path());
        QVERIFY2(m_server->isRunning(), "aurilo-httpd (AURILO_HTTPD) did not start");
    }

    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        ProgramFolder::setPath(m_folder->path());
        NetworkState::setProbe([] { return true; });
        QFile file(m_folder->filePath(QStringLiteral("LDsend.Dll")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Ansi::encode(Q(kCatalog)));
        file.close();
        m_opened.clear();
        DesktopServices::setOpener([this](const QUrl &url, DesktopServices::Show show) {
            QCOMPARE(show, DesktopServices::Show::Maximized);
            m_opened.append(url);
        });
        m_main = new FormMain;
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        QVERIFY(dialogs.requests().isEmpty());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
    }

    void cleanup()
    {
        delete m_main;
        delete GameJsFrm::existing();
        delete MuenFrm::existing();
        delete QuendaSz::existing();
        delete FlashFrm::existing();
        DesktopServices::setOpener({});
        Clipboard::setWriter({});
        NetworkState::setProbe({});
        ProgramFolder::setPath(QString());
        m_folder.reset();
    }

    void tabs_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("pressed");
        QTest::newRow("start") << QStringList{} << "YxList";
        QTest::newRow("favourites") << QStringList{"ScList"} << "ScList";
        QTest::newRow("random") << QStringList{"SbpLAY"} << "SbpLAY";
        QTest::newRow("back to the categories") << QStringList{"SbpLAY", "YxList"} << "YxList";
        QTest::newRow("the pressed tab again") << QStringList{"ScList", "ScList"} << "ScList";
    }

    void tabs()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, pressed);
        const QList<std::pair<ButtonEx *, QWidget *>> tabs = {{m_main->YxList, m_main->GamelistFrm},
                                                              {m_main->ScList, m_main->ScListFrm},
                                                              {m_main->SbpLAY, m_main->SbPlayFrm}};
        for (const QString &name : clicks)
            QTest::mouseClick(m_main->findChild<ButtonEx *>(name), Qt::LeftButton);
        for (const auto &[button, frame] : tabs) {
            QCOMPARE(button->Value(), button->objectName() == pressed);
            QCOMPARE(frame->isVisible(), button->objectName() == pressed);
        }
    }

    void favouritesTabReloadsEvenWhenPressed()
    {
        m_main->ScList_Click();
        QCOMPARE(m_main->List4->ListCount(), 0);
        QVERIFY(FavoriteModule::AddFavorite(record(QStringLiteral("唐诗"), QStringLiteral("静夜思"),
                                                   QStringLiteral("http://h/1.swf"))));
        m_main->ScList_Click(); // already pressed
        QCOMPARE(texts(m_main->List4),
                 QStringList{QStringLiteral("唐诗-静夜思") + QString(47, u' ')});
    }

    void clickShowsDetails_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("style");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain") << 0 << 0 << "白蛇传" << "民间故事" << "http://127.0.0.1:9/1.swf";
        QTest::newRow("title with a dash") << 1 << 0 << "水浒传-第一回" << "四大名著"
                                           << "http://127.0.0.1:9/4.swf";
        QTest::newRow("category with a dash") << 2 << 0 << "丑小鸭" << "外国-童话"
                                              << "http://127.0.0.1:9/5.swf";
    }

    void clickShowsDetails()
    {
        QFETCH(int, category);
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(QString, style);
        QFETCH(QString, url);
        selectCategory(category);
        click(m_main->List2, row);
        QCOMPARE(details().Label2->text(), name);
        QCOMPARE(details().FLCAP->text(), style);
        QCOMPARE(menus().GmName, name);
        QCOMPARE(menus().GmStyle, style);
        QCOMPARE(menus().GmFlashUrl, url);
        QCOMPARE(m_main->FlashUrlLsSL, url);
        QCOMPARE(m_main->GameNameSL, name);
        // The resource joins the history once, however often it is opened.
        click(m_main->List2, row);
        QList<FavoriteRecord> history;
        QVERIFY(MeWgd::ReadHistory(history));
        QCOMPARE(history.size(), 1);
        QCOMPARE(history.at(0).name.trimmed(), name);
        QCOMPARE(history.at(0).style.trimmed(), style.left(10));
    }

    void detailsOfAFullEntry()
    {
        click(m_main->List2, 0);
        QCOMPARE(details().Label3->text(), QStringLiteral("12.50MB"));
        QCOMPARE(details().jianjie->toPlainText(), QStringLiteral("白娘子"));
        QCOMPARE(details().Label1.at(1)->text(), QStringLiteral("点击播放"));
        QCOMPARE(details().Text4->toPlainText(), QStringLiteral("http://127.0.0.1:9/p/1.html"));
        QCOMPARE(player().GamejsLab->toPlainText(), QStringLiteral("白娘子"));
        QCOMPARE(menus().GmId, std::int16_t(1));
        QCOMPARE(menus().GmImage, QStringLiteral("covers/1.png"));
        QCOMPARE(CoverAddress(menus().GmImage), QStringLiteral("http://127.0.0.1:8765/covers/1.png"));
    }

    void searchPrompt()
    {
        QLineEdit *box = m_main->Text4;
        const QColor grey(170, 170, 170);
        QCOMPARE(box->text(), QStringLiteral("请输入您要搜索的内容"));
        QCOMPARE(box->palette().color(QPalette::Text), grey);
        DialogRecorder dialogs;
        m_main->SerImg_Click();
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral("搜索的关键字不能为空，请输入您想要搜索的内容！")});
        QCOMPARE(dialogs.requests().at(0).icon, Dialogs::Icon::None);

        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(box->text(), QString());
        QCOMPARE(box->palette().color(QPalette::Text), QColor(0, 0, 0));
        box->insert(QStringLiteral("传")); // typed
        QTest::keyClick(box, Qt::Key_Return); // no key starts a search
        QCOMPARE(texts(m_main->List2), (QStringList{"白蛇传", "孟姜女", "三个和尚"}));
        m_main->List1->setFocus();
        QTRY_VERIFY(!box->hasFocus());
        QCOMPARE(box->text(), QStringLiteral("传")); // typed text stays
        box->clear();
        box->setFocus();
        m_main->List1->setFocus();
        QTRY_COMPARE(box->text(), QStringLiteral("请输入您要搜索的内容"));
        QCOMPARE(box->palette().color(QPalette::Text), grey);
    }

    void searchHitsFindTheirOwnResource()
    {
        m_main->ScList_Click();
        search(QStringLiteral("传"));
        QVERIFY(m_main->YxList->Value()); // switched back to the categories
        QVERIFY(m_main->GamelistFrm->isVisible());
        QCOMPARE(texts(m_main->List2), (QStringList{"民间故事-白蛇传", "四大名著-水浒传-第一回"}));
        QCOMPARE(m_main->List1->ListIndex(), 0);
        QCOMPARE(m_main->分类暂存, QStringLiteral("民间故事"));
        click(m_main->List2, 1);
        QCOMPARE(details().Label2->text(), QStringLiteral("水浒传-第一回"));
        QCOMPARE(details().FLCAP->text(), QStringLiteral("四大名著"));
        QCOMPARE(menus().GmFlashUrl, QStringLiteral("http://127.0.0.1:9/4.swf"));

        search(QStringLiteral("丑"));
        QCOMPARE(texts(m_main->List2), QStringList{"外国-童话-丑小鸭"});
        click(m_main->List2, 0);
        QCOMPARE(details().FLCAP->text(), QStringLiteral("外国-童话"));
        QCOMPARE(menus().GmName, QStringLiteral("丑小鸭"));

        search(QStringLiteral("没有的书"));
        QCOMPARE(m_main->List2->ListCount(), 0);
    }

    void randomList()
    {
        const QSet<QString> all = {"民间故事-白蛇传", "民间故事-孟姜女", "民间故事-三个和尚",
                                   "四大名著-水浒传-第一回", "外国-童话-丑小鸭"};
        m_main->SbpLAY_Click();
        const QStringList first = texts(m_main->ListSB);
        QCOMPARE(first.size(), 30);
        for (const QString &line : first)
            QVERIFY2(all.contains(line), qPrintable(line));

        const int historyRowsBefore = [] {
            QList<FavoriteRecord> rows;
            return MeWgd::ReadHistory(rows) ? int(rows.size()) : 0;
        }();
        const int row = int(first.indexOf(QStringLiteral("四大名著-水浒传-第一回")));
        if (row >= 0 && row < 19) { // rows below the frame's bottom are off screen
            click(m_main->ListSB, row);
            QCOMPARE(details().Label2->text(), QStringLiteral("水浒传-第一回"));
            QCOMPARE(details().FLCAP->text(), QStringLiteral("四大名著"));
        }
        click(m_main->ListSB, 0);
        const QString line = first.at(0);
        QVERIFY(line.startsWith(details().FLCAP->text() + u'-'));
        QCOMPARE(details().FLCAP->text() + u'-' + details().Label2->text(), line);
        QCOMPARE(menus().GmStyle + u'-' + menus().GmName, line);
        QList<FavoriteRecord> rows;
        QCOMPARE(MeWgd::ReadHistory(rows) ? int(rows.size()) : 0, historyRowsBefore);

        // A list with a chosen line stays; the menu's reload draws anew.
        m_main->SbpLAY_Click();
        QCOMPARE(texts(m_main->ListSB), first);
        menus().CzLbSB_Click();
        QCOMPARE(m_main->ListSB->ListCount(), 30);
        QCOMPARE(m_main->ListSB->ListIndex(), -1);
    }

    void qtListItems()
    {
        // n + 1 "精彩推荐", n + 2 "我听过的", n + 3 "更多资源"
        const QStringList before = texts(m_main->List2);
        click(m_main->QtList, 1); // empty history: List2 keeps its lines
        QCOMPARE(texts(m_main->List2), before);
        click(m_main->QtList, 0);
        click(m_main->QtList, 2);
        QCOMPARE(m_opened, (QList<QUrl>{QUrl("http://127.0.0.1:8765/"), QUrl("http://127.0.0.1:8765/")}));

        click(m_main->List2, 0);
        selectCategory(1);
        click(m_main->List2, 0);
        click(m_main->QtList, 1);
        QCOMPARE(texts(m_main->List2), (QStringList{"民间故事 < 白蛇传", "四大名著 < 水浒传-第一回"}));
        QCOMPARE(m_main->list2Kind(), FormMain::List2Kind::History);
        click(m_main->List2, 1);
        QCOMPARE(details().Label2->text().trimmed(), QStringLiteral("水浒传-第一回"));
        QCOMPARE(details().FLCAP->text(), QStringLiteral("四大名著"));
        QCOMPARE(menus().GmDelGameName.trimmed(), QStringLiteral("水浒传-第一回"));
        QList<FavoriteRecord> rows;
        QVERIFY(MeWgd::ReadHistory(rows));
        QCOMPARE(rows.size(), 2); // showing a history line adds nothing
    }

    void playRoutines_data()
    {
        // how: what the listener does; then what the player shows.
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("playingName");
        QTest::addColumn<QString>("playingStyle");
        QTest::addColumn<QStringList>("messages");
        const QString idle = QStringLiteral("欢迎使用Aurilo");
        auto playing = [](const QString &name) { return "您当前正在收听的是：《" + name + "》"; };
        QTest::newRow("category line") << "category 0 row 0" << "http://127.0.0.1:9/1.swf"
                                       << playing("白蛇传") << "白蛇传" << "民间故事" << QStringList{};
        QTest::newRow("empty link") << "category 0 row 1" << "about:blank" << idle << "" << ""
                                    << QStringList{};
        QTest::newRow("no ://") << "category 0 row 2" << "about:blank" << idle << "" << ""
                                << QStringList{kBrokenLink};
        QTest::newRow("title with a dash") << "category 1 row 0" << "http://127.0.0.1:9/4.swf"
                                           << playing("水浒传-第一回") << "水浒传-第一回"
                                           << "四大名著" << QStringList{};
        QTest::newRow("search hit") << "search 丑" << "http://127.0.0.1:9/5.swf" << playing("丑小鸭")
                                    << "丑小鸭" << "外国-童话" << QStringList{};
        QTest::newRow("random line keeps the record") << "random" << "random" << "random" << ""
                                                      << "" << QStringList{};
        QTest::newRow("favourite") << "favourite http://h/9.swf" << "http://h/9.swf"
                                   << playing("收藏的书") << "收藏的书" << "收藏" << QStringList{};
        QTest::newRow("favourite without ://")
            << "favourite h/9.swf" << "about:blank" << playing("收藏的书") << "收藏的书" << "收藏"
            << QStringList{kBrokenFavorite};
        QTest::newRow("history line plays its own record")
            << "history" << "http://127.0.0.1:9/4.swf" << playing("水浒传-第一回")
            << "水浒传-第一回" << "四大名著" << QStringList{};
    }

    void playRoutines()
    {
        QFETCH(QString, how);
        QFETCH(QString, address);
        QFETCH(QString, caption);
        QFETCH(QString, playingName);
        QFETCH(QString, playingStyle);
        QFETCH(QStringList, messages);
        QVERIFY(!player().isVisible());
        QString randomLine;
        if (how.startsWith(u"history")) {
            selectCategory(1);
            click(m_main->List2, 0);
            selectCategory(0); // the history's first line is not this category's first line
            click(m_main->QtList, 1);
        } else if (how.startsWith(u"favourite")) {
            QVERIFY(FavoriteModule::AddFavorite(
                record(QStringLiteral("收藏"), QStringLiteral("收藏的书"), how.section(u' ', 1))));
            m_main->ScList_Click();
        } else if (how.startsWith(u"search")) {
            search(how.section(u' ', 1));
        } else if (how == u"random") {
            m_main->SbpLAY_Click();
            // A line with a working link, on screen.
            for (int i = 0; i < 19 && randomLine.isEmpty(); ++i) {
                const QString line = m_main->ListSB->List(i);
                if (!line.endsWith(u"孟姜女") && !line.endsWith(u"三个和尚"))
                    randomLine = line;
            }
            QVERIFY(!randomLine.isEmpty());
        } else {
            selectCategory(how.section(u' ', 1, 1).toInt());
        }
        DialogRecorder dialogs;
        ListBoxEx *list = how.startsWith(u"favourite") ? m_main->List4
                          : how == u"random"           ? m_main->ListSB
                                                       : m_main->List2;
        const int row = how.startsWith(u"category") ? how.section(u' ', 3, 3).toInt()
                        : how == u"random"          ? texts(list).indexOf(randomLine)
                                                    : 0;
        doubleClick(list, row);

        if (how == u"random") {
            QCOMPARE(player().windowTitle(),
                     "您当前正在收听的是：《" + details().Label2->text() + "》");
            QVERIFY(randomLine.endsWith(u'-' + details().Label2->text()));
            QVERIFY(player().Flash1->LocationURL().startsWith(u"http://127.0.0.1:9/"));
        } else {
            QCOMPARE(player().Flash1->LocationURL(), address);
            QCOMPARE(player().windowTitle(), caption);
        }
        QCOMPARE(player().QuendaName.trimmed(), playingName);
        QCOMPARE(player().QuendaStyle, playingStyle);
        QCOMPARE(dialogs.texts(), messages);
        for (const auto &request : dialogs.requests())
            QCOMPARE(request.icon, Dialogs::Icon::Information);
        // The player opened at the main window's right edge for the request.
        QVERIFY(player().isVisible());
        QTRY_COMPARE(player().pos(), m_main->pos() + QPoint(m_main->width(), 0));
        QVERIFY(m_main->GameFrmButton->Value());
    }

    // The line in the player plays on, untouched, while it loads and once it
    // has loaded; a line whose movie could not be fetched loads again.
    void playingTheSameLineAgain_data()
    {
        QTest::addColumn<QString>("path"); // on the test server; empty: the catalog's line
        QTest::addColumn<bool>("waitForTheEnd");
        QTest::addColumn<bool>("failed");
        QTest::newRow("while loading") << "/_fault/stall/movie.swf" << false << false;
        QTest::newRow("loaded") << "/movie.swf" << true << false;
        QTest::newRow("not found") << "/_fault/404/movie.swf" << true << true;
        QTest::newRow("server unreachable") << "" << true << true;
    }

    void playingTheSameLineAgain()
    {
        QFETCH(QString, path);
        QFETCH(bool, waitForTheEnd);
        QFETCH(bool, failed);
        ListBoxEx *list = m_main->List2;
        QString address = QStringLiteral("http://127.0.0.1:9/1.swf"); // nothing listens there
        QString name = QStringLiteral("白蛇传");
        if (!path.isEmpty()) {
            address = m_server->url(path);
            name = QStringLiteral("收藏的书");
            QVERIFY(FavoriteModule::AddFavorite(record(QStringLiteral("收藏"), name, address)));
            m_main->ScList_Click();
            list = m_main->List4;
        }
        BrowserHost *browser = player().Flash1;
        QSignalSpy progress(browser, &BrowserHost::ProgressChange);
        const auto ended = [&progress] {
            return std::any_of(progress.cbegin(), progress.cend(), [](const QList<QVariant> &pair) {
                return pair.at(0) == pair.at(1);
            });
        };
        doubleClick(list, 0);
        QCOMPARE(browser->LocationURL(), address);
        if (waitForTheEnd)
            QTRY_VERIFY_WITH_TIMEOUT(ended(), 45000);
        QCOMPARE(browser->lastLoadFailed(), failed);

        player().setWindowTitle(QStringLiteral("marker"));
        player().QuendaName.clear();
        progress.clear();
        DialogRecorder dialogs;
        doubleClick(list, 0);
        QVERIFY(dialogs.requests().isEmpty());
        QCOMPARE(browser->LocationURL(), address);
        if (!failed) {
            QCOMPARE(player().windowTitle(), QStringLiteral("marker"));
            QCOMPARE(player().QuendaName, QString());
            return;
        }
        // Played as the first time, and fetched anew.
        QCOMPARE(player().windowTitle(), "您当前正在收听的是：《" + name + "》");
        QCOMPARE(player().QuendaName.trimmed(), name);
        QVERIFY(!browser->lastLoadFailed());
        QTRY_VERIFY_WITH_TIMEOUT(ended(), 45000);
        QVERIFY(browser->lastLoadFailed());
        if (!path.isEmpty())
            QCOMPARE(m_server->statuses(path).size(), 2);
    }

    void randomPlayKeepsThePreviousRecord()
    {
        doubleClick(m_main->List2, 0);
        m_main->SbpLAY_Click();
        int row = 0;
        while (m_main->ListSB->List(row).endsWith(u"白蛇传") ||
               m_main->ListSB->List(row).endsWith(u"孟姜女") ||
               m_main->ListSB->List(row).endsWith(u"三个和尚"))
            ++row; // another resource than the one playing, with a working link
        QVERIFY(row < 19);
        doubleClick(m_main->ListSB, row);
        QVERIFY(player().Flash1->LocationURL() != QStringLiteral("http://127.0.0.1:9/1.swf"));
        QCOMPARE(player().QuendaName, QStringLiteral("白蛇传"));
    }

    // After a favourite or a history line, the menus' commands and the
    // details window act on that line, not on the catalog line before it.
    void commandsActOnTheLinePicked_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("command");
        for (const char *source : {"favourite", "history"}) {
            for (const char *command :
                 {"添加收藏", "分享给好友", "details 开始收听", "details 添加收藏"})
                QTest::addRow("%s, %s", source, command) << source << command;
        }
    }

    void commandsActOnTheLinePicked()
    {
        QFETCH(QString, source);
        QFETCH(QString, command);
        QStringList copied;
        Clipboard::setWriter([&copied](const QString &text) { copied.append(text); });
        QString name, style, address;
        if (source == u"favourite") {
            QVERIFY(FavoriteModule::AddFavorite(record(QStringLiteral("收藏"),
                                                       QStringLiteral("收藏的书"),
                                                       QStringLiteral("http://h/9.swf"))));
            click(m_main->List2, 0); // 白蛇传, a catalog line
            m_main->ScList_Click();
            click(m_main->List4, 0);
            name = QStringLiteral("收藏的书");
            style = QStringLiteral("收藏");
            address = QStringLiteral("http://h/9.swf");
        } else {
            selectCategory(1);
            click(m_main->List2, 0); // 水浒传-第一回 joins the history
            selectCategory(0);
            click(m_main->List2, 0); // 白蛇传, a catalog line
            click(m_main->QtList, 1);
            click(m_main->List2, 0); // the history's 水浒传-第一回
            name = QStringLiteral("水浒传-第一回");
            style = QStringLiteral("四大名著");
            address = QStringLiteral("http://127.0.0.1:9/4.swf");
        }
        QCOMPARE(menus().GmName.trimmed(), name);
        QCOMPARE(menus().GmStyle, style);
        QCOMPARE(menus().GmPageUrl, QString()); // stored records have no page address
        QCOMPARE(menus().GmZtid, QString());
        QCOMPARE(menus().GmOnclick, QString());

        DialogRecorder dialogs;
        const QString added = u'《' + style + u'-' + name +
                              QStringLiteral("》已经成功添加至收藏列表！请到收藏列表中查看！");
        const QString known = QStringLiteral("该游戏已经存在于收藏列表了，请勿重复添加！");
        if (command.endsWith(u"添加收藏")) {
            if (command.startsWith(u"details"))
                details().Label4_Click(0);
            else
                menus().Tjsc_Click();
            QCOMPARE(dialogs.texts(), QStringList{source == u"favourite" ? known : added});
            QList<FavoriteRecord> stored;
            QVERIFY(FavoriteModule::ReadFavorites(stored));
            QCOMPARE(stored.size(), 1); // the favourite itself, or the history line added
            QCOMPARE(stored.last().name.trimmed(), name);
            QCOMPARE(stored.last().flashurl.trimmed(), address);
        } else if (command == u"分享给好友") {
            menus().FxGame_Click();
            QCOMPARE(copied.size(), 1);
            QVERIFY2(copied.at(0).contains(u'《' + name + QStringLiteral("》-") + name +
                                           QStringLiteral("的简介")) ||
                         copied.at(0).contains(u'《' + name + QStringLiteral("》-洪太尉")),
                     qPrintable(copied.at(0)));
        } else {
            details().Label5_Click();
            QCOMPARE(player().Flash1->LocationURL(), address);
            QCOMPARE(player().windowTitle(), "您当前正在收听的是：《" + name + "》");
        }
    }

    // A click below the last category leaves everything as it was: List2's
    // lines still find their own resources, and no blank history is written.
    void clickBelowTheCategoriesChangesNothing_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QString>("detailsName");
        QTest::newRow("category lines") << "category" << Qt::LeftButton << "水浒传-第一回";
        QTest::newRow("search hits") << "search" << Qt::LeftButton << "丑小鸭";
        QTest::newRow("history lines") << "history" << Qt::LeftButton << "白蛇传";
        QTest::newRow("history lines, right button") << "history" << Qt::RightButton << "白蛇传";
    }

    void clickBelowTheCategoriesChangesNothing()
    {
        QFETCH(QString, shown);
        QFETCH(Qt::MouseButton, button);
        QFETCH(QString, detailsName);
        if (shown == u"category") {
            selectCategory(1);
        } else if (shown == u"search") {
            search(QStringLiteral("丑"));
        } else {
            click(m_main->List2, 0); // 白蛇传 joins the history
            click(m_main->QtList, 1);
        }
        const QStringList lines = texts(m_main->List2);
        const auto kind = m_main->list2Kind();
        const int category = m_main->List1->ListIndex();
        const int historyRows = [] {
            QList<FavoriteRecord> rows;
            return MeWgd::ReadHistory(rows) ? int(rows.size()) : 0;
        }();

        // Far below the categories and the three items that continue them.
        const int below = m_main->List1->ListCount() + 5;
        QVERIFY(rowPoint(m_main->List1, below).y() < m_main->List1->lstMain->height());
        QTest::mouseClick(m_main->List1->lstMain, button, {}, rowPoint(m_main->List1, below));
        QCOMPARE(m_main->List1->ListIndex(), category);
        QCOMPARE(texts(m_main->List2), lines);
        QCOMPARE(m_main->list2Kind(), kind);

        click(m_main->List2, 0);
        QCOMPARE(details().Label2->text().trimmed(), detailsName);
        QVERIFY(!FormMain::get().FlashUrlLsSL.trimmed().isEmpty());
        QList<FavoriteRecord> rows;
        QVERIFY(MeWgd::ReadHistory(rows));
        for (const FavoriteRecord &row : rows)
            QVERIFY(!row.name.trimmed().isEmpty());
        QCOMPARE(int(rows.size()), historyRows + (shown == u"history" ? 0 : 1));
    }

    void rightButtonChoosesTheLineAndOpensItsMenu_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("menu");
        QTest::newRow("resources") << "List2" << "GameListMuen";
        QTest::newRow("favourites") << "List4" << "ScListMuen";
        QTest::newRow("random") << "ListSB" << "SbListMuen";
    }

    void rightButtonChoosesTheLineAndOpensItsMenu()
    {
        QFETCH(QString, list);
        QFETCH(QString, menu);
        QVERIFY(FavoriteModule::AddFavorite(
            record(QStringLiteral("甲"), QStringLiteral("第一本"), QStringLiteral("http://h/1.swf"))));
        QVERIFY(FavoriteModule::AddFavorite(
            record(QStringLiteral("乙"), QStringLiteral("第二本"), QStringLiteral("http://h/2.swf"))));
        if (list == u"List4")
            m_main->ScList_Click();
        else if (list == u"ListSB")
            m_main->SbpLAY_Click();
        ListBoxEx *box = m_main->findChild<ListBoxEx *>(list);
        QMenu *popup = menus().menuNamed(menu);
        QVERIFY(box && popup);

        // Below the last row nothing is chosen: no details, no menu.
        const int below = box->ListCount() < 19 ? box->ListCount() + 1 : -1;
        if (below > 0) {
            QTest::mousePress(box->lstMain, Qt::RightButton, {}, rowPoint(box, below));
            QCOMPARE(box->ListIndex(), -1);
            QVERIFY(!popup->isVisible());
            QCOMPARE(details().Label2->text(), QStringLiteral("您尚未选择数据"));
            QTest::mouseRelease(box->lstMain, Qt::RightButton, {}, rowPoint(box, below));
        }

        QTest::mousePress(box->lstMain, Qt::RightButton, {}, rowPoint(box, 1));
        QCOMPARE(box->ListIndex(), 1);
        const QString line = box->List(1);
        // The line's own single-click handler ran: the details show it.
        QVERIFY2(line.contains(details().Label2->text().trimmed()), qPrintable(line));
        QVERIFY(!details().Label2->text().isEmpty());
        QTRY_VERIFY(popup->isVisible());
        QTest::mouseRelease(box->lstMain, Qt::RightButton, {}, rowPoint(box, 1));
        popup->close();
    }
};

AURILO_FORM_TEST_MAIN(TestListFlow)
#include "tst_listflow.moc"
