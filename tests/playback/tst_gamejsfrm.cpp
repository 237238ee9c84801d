// The details window: its tabs, the play control, the link labels and their
// colours under the mouse.

#include "formtestmain.h"

#include "browserhost.h"
#include "buttonex.h"
#include "clipboardservice.h"
#include "desktopservices.h"
#include "dialogrecorder.h"
#include "favoritemodule.h"
#include "flashfrm.h"
#include "gamejsfrm.h"
#include "muenfrm.h"
#include "netpicture.h"
#include "programfolder.h"
#include "quendasz.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QColor kOrange(255, 101, 1);
const QColor kBlack(Qt::black);

QColor colourOf(const QLabel *label)
{
    return label->palette().color(QPalette::WindowText);
}

} // namespace

class TestGameJsFrm : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QList<QPair<QUrl, DesktopServices::Show>> m_opened;
    QStringList m_copied;

    GameJsFrm &details() { return GameJsFrm::get(); }

    // Which of the three boxes shows, and which tab is pressed, as "box/tab".
    QString openTab()
    {
        QStringList shown;
        if (!details().jianjie->isHidden())
            shown << "jianjie";
        if (!details().Label1.at(1)->isHidden())
            shown << "Label1(1)";
        if (!details().Text4->isHidden())
            shown << "Text4";
        QStringList pressed;
        for (ButtonEx *tab :
             {details().GameJSButtoncommand, details().CCFFButton, details().FlashUrlButton})
            if (tab->Value())
                pressed << tab->objectName();
        return shown.join(u',') + u'/' + pressed.join(u',');
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        ProgramFolder::setPath(m_folder->path());
        m_opened.clear();
        m_copied.clear();
        DesktopServices::setOpener([this](const QUrl &url, DesktopServices::Show show) {
            m_opened.append({url, show});
        });
        Clipboard::setWriter([this](const QString &text) { m_copied.append(text); });
    }

    void cleanup()
    {
        delete QuendaSz::existing();
        delete FlashFrm::existing();
        delete MuenFrm::existing();
        delete GameJsFrm::existing();
        DesktopServices::setOpener({});
        Clipboard::setWriter({});
        ProgramFolder::setPath(QString());
        m_folder.reset();
    }

    void startsHiddenAndEmpty()
    {
        GameJsFrm &window = details();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("详细介绍 "));
        QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(window.Label2->text(), QStringLiteral("您尚未选择数据"));
        QCOMPARE(window.jianjie->toPlainText(), QStringLiteral("内容简介\n"));
        QVERIFY(window.jianjie->isReadOnly());
        QCOMPARE(window.Label1.size(), 2);
        QCOMPARE(window.Label1.at(0)->text(), QStringLiteral("您尚未选择游戏"));
        QCOMPARE(window.Label1.at(1)->text(), QStringLiteral("您尚未选择游戏"));
        QCOMPARE(window.Text4->toPlainText(), QStringLiteral("您尚未选择游戏\n"));
        QVERIFY(window.Text4->isReadOnly());
        QCOMPARE(openTab(), QStringLiteral("jianjie/GameJSButtoncommand"));
        QCOMPARE(window.Label4.size(), 3);
        QCOMPARE(window.Label4.at(0)->text(), QStringLiteral("添加收藏"));
        QCOMPARE(window.Label4.at(1)->text(), QStringLiteral("分享"));
        QCOMPARE(window.Label4.at(2)->text(), QStringLiteral("提交错误"));
        // A screen reader has a name for every part of the window.
        for (QWidget *child : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!child->objectName().isEmpty(), child->metaObject()->className());
            QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(child->objectName()));
        }
    }

    void tabs_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("open");
        QTest::newRow("the pressed description tab changes nothing")
            << QStringList{"GameJSButtoncommand"} << "jianjie/GameJSButtoncommand";
        QTest::newRow("play method") << QStringList{"CCFFButton"} << "Label1(1)/CCFFButton";
        QTest::newRow("page address") << QStringList{"FlashUrlButton"} << "Text4/FlashUrlButton";
        QTest::newRow("back to the description")
            << QStringList{"FlashUrlButton", "GameJSButtoncommand"}
            << "jianjie/GameJSButtoncommand";
        QTest::newRow("the pressed play-method tab again")
            << QStringList{"CCFFButton", "CCFFButton"} << "Label1(1)/CCFFButton";
        QTest::newRow("all three in turn")
            << QStringList{"CCFFButton", "FlashUrlButton", "CCFFButton"} << "Label1(1)/CCFFButton";
    }

    void tabs()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, open);
        for (const QString &name : clicks) {
            auto *tab = details().findChild<ButtonEx *>(name);
            QVERIFY2(tab, qPrintable(name));
            tab->click(); // as the mouse, the keyboard or a screen reader would
        }
        QCOMPARE(openTab(), open);
    }

    void pressedTabLeavesBoxesAsTheyAre()
    {
        // Someone else changed a box; the pressed tab's click must not repair it.
        details().Text4->show();
        details().GameJSButtoncommand->click();
        QVERIFY(!details().Text4->isHidden());
        QVERIFY(!details().jianjie->isHidden());
    }

    void addToFavourites_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("refused");
        QTest::newRow("drive path") << "C:\\书\\三国.swf" << true;
        QTest::newRow("drive path inside the text") << "见 D:\\book\\a.html\n" << true;
        QTest::newRow("web page") << "http://h/p.html" << false;
        QTest::newRow("a colon and a slash, no drive") << "http://h/a:/b" << false;
    }

    void addToFavourites()
    {
        QFETCH(QString, page);
        QFETCH(bool, refused);
        // The selection describes a catalog resource either way.
        MuenFrm &menus = MuenFrm::get();
        menus.GmStyle = QStringLiteral("名著");
        menus.GmName = QStringLiteral("三国");
        menus.GmFlashUrl = QStringLiteral("http://h/1.swf");
        details().Text4->setPlainText(page);
        DialogRecorder dialogs;
        details().Label4_Click(0);
        bool stored = false; // stays false when there is no favourites file at all
        FavoriteModule::FavoriteExists(QStringLiteral("三国"), stored);
        QCOMPARE(stored, !refused);
        const QString refusal = QStringLiteral("本地的资源是不能添加进收藏的!");
        if (refused) {
            QCOMPARE(dialogs.texts(), QStringList{refusal});
            QCOMPARE(dialogs.requests().first().icon, Dialogs::Icon::Information);
        } else {
            QVERIFY(!dialogs.texts().contains(refusal));
        }
    }

    void shareCopiesTheTextsAsShown()
    {
        details().Label2->setText(QStringLiteral(" 三国 "));
        details().jianjie->setPlainText(QStringLiteral("简介 "));
        details().Text4->setPlainText(QStringLiteral(" http://h/p.html\n"));
        DialogRecorder dialogs;
        details().Label4_Click(1);
        QCOMPARE(m_copied,
                 QStringList{QStringLiteral("我在Sonavel上面发现了一本很好听的书籍，名字叫《 三国 "
                                            "》-简介 地址是： http://h/p.html\n")});
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral("复制信息成功，请通过Ctrl + V键复制给您的好友！")});
        QCOMPARE(dialogs.requests().first().icon, Dialogs::Icon::None);
    }

    void shareWithoutANameDoesNothing()
    {
        Clipboard::setWriter({});
        Clipboard::setText(QStringLiteral("earlier copy"));
        details().Label2->setText(QString());
        DialogRecorder dialogs;
        details().Label4_Click(1);
        QCOMPARE(Clipboard::text(), QStringLiteral("earlier copy"));
        QVERIFY(dialogs.texts().isEmpty());
    }

    void reportAnErrorOpensTheHomePage()
    {
        QFile ini(ProgramFolder::file(QStringLiteral("Server.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Server]\r\nBaseUrl=http://books.example:8080\r\n");
        ini.close();
        DialogRecorder dialogs;
        details().Label4_Click(2);
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.first().first, QUrl(QStringLiteral("http://books.example:8080/")));
        QCOMPARE(m_opened.first().second, DesktopServices::Show::Maximized);
        QVERIFY(dialogs.texts().isEmpty());
    }

    void playRefusals_data()
    {
        QTest::addColumn<QString>("flashUrl");
        QTest::addColumn<QString>("message");
        QTest::newRow("no address") << ""
                                    << "《三国》这个资源的数据已经丢失！";
        QTest::newRow("no scheme") << "h/1.swf"
                                   << "您当前的资源链接可能已经损坏，请联系管理员处理!";
    }

    void playRefusals()
    {
        QFETCH(QString, flashUrl);
        QFETCH(QString, message);
        MuenFrm::get().GmFlashUrl = flashUrl;
        details().Label2->setText(QStringLiteral("三国"));
        details().show();
        FlashFrm &player = FlashFrm::get();
        const QString caption = player.windowTitle();
        DialogRecorder dialogs;
        details().Label5_Click();
        QCOMPARE(dialogs.texts(), QStringList{message});
        QCOMPARE(dialogs.requests().first().icon, Dialogs::Icon::Information);
        QCOMPARE(player.Flash1->LocationURL(), QStringLiteral("about:blank"));
        QCOMPARE(player.windowTitle(), caption);
        QVERIFY(details().isVisible());
    }

    void playLoadsTheHiddenPlayer()
    {
        // A port nothing listens on: the fetch fails, the address is what counts.
        const QString address = QStringLiteral("http://127.0.0.1:9/三国.swf");
        MuenFrm::get().GmFlashUrl = address;
        details().Label2->setText(QStringLiteral("三国"));
        details().show();
        FlashFrm &player = FlashFrm::get();
        QVERIFY(!player.isVisible());
        QVERIFY(!player.Picture1->isHidden()); // the idle cover
        DialogRecorder dialogs;
        details().Label5->click();
        QVERIFY(dialogs.texts().isEmpty());
        QCOMPARE(player.Flash1->LocationURL(), address);
        QCOMPARE(player.windowTitle(), QStringLiteral("您当前正在收听的是：《三国》"));
        QVERIFY(player.Picture1->isHidden());
        QVERIFY(!player.isVisible());
        QVERIFY(!details().isVisible());
    }

    void closeHides()
    {
        details().show();
        details().OverFrmMeSL->click();
        QVERIFY(!details().isVisible());
        QCOMPARE(GameJsFrm::existing(), &details()); // hidden, not destroyed
    }

    void linkColoursFollowTheMouse()
    {
        GameJsFrm &window = details();
        window.Label2->setText(QString()); // the share click below does nothing
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QList<QLabel *> links = window.Label4;
        for (QLabel *link : links) {
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(colourOf(link), kBlack);
        }

        QTest::mouseMove(links[1], links[1]->rect().center());
        QTRY_COMPARE(colourOf(links[1]), kOrange);
        QTest::mouseMove(links[2], links[2]->rect().center());
        QTRY_COMPARE(colourOf(links[2]), kOrange);
        QCOMPARE(colourOf(links[1]), kOrange); // only the background turns them black
        QCOMPARE(colourOf(links[0]), kBlack);

        QTest::mousePress(links[1], Qt::LeftButton, {}, links[1]->rect().center());
        QCOMPARE(colourOf(links[1]), kBlack);
        QCOMPARE(colourOf(links[2]), kOrange);
        QTest::mouseRelease(links[1], Qt::LeftButton, {}, links[1]->rect().center());

        const QPoint background(300, 180); // right of the play control
        QCOMPARE(window.childAt(background), nullptr);
        QTest::mouseMove(&window, background);
        QTRY_COMPARE(colourOf(links[2]), kBlack);
        for (QLabel *link : links)
            QCOMPARE(colourOf(link), kBlack);
    }

    void linksWorkFromTheKeyboard()
    {
        GameJsFrm &window = details();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QLabel *report = window.Label4.at(2);
        report->setFocus(Qt::TabFocusReason);
        QCOMPARE(colourOf(report), kOrange); // focus shows as the mouse's hover does
        QTest::keyClick(report, Qt::Key_Return);
        QTest::keyClick(report, Qt::Key_Space);
        QCOMPARE(m_opened.size(), 2);
    }

    void draggedByItsBackground()
    {
        GameJsFrm &window = details();
        window.move(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint background(300, 180);
        QCOMPARE(window.childAt(background), nullptr);
        QTest::mousePress(&window, Qt::LeftButton, {}, background);
        QTest::mouseMove(&window, background + QPoint(40, 30));
        QTest::mouseRelease(&window, Qt::LeftButton, {}, background + QPoint(40, 30));
        QCOMPARE(window.pos(), QPoint(140, 130));
    }

    void shapedByItsBackground()
    {
        GameJsFrm &window = details();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The rounded corners are cut out; the body and the controls stay.
        QVERIFY(!window.mask().isEmpty());
        QVERIFY(!window.mask().contains(QPoint(0, 0)));
        QVERIFY(!window.mask().contains(QPoint(window.width() - 1, window.height() - 1)));
        QVERIFY(window.mask().contains(QPoint(300, 180)));
        QVERIFY(window.mask().contains(window.NetPicture1->geometry().center()));
    }
};

AURILO_FORM_TEST_MAIN(TestGameJsFrm)
#include "tst_gamejsfrm.moc"
