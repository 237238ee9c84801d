#include "formtestmain.h"
#include "ansicodec.h"
#include "buttonex.h"
#include "listboxex.h"
#include "desktopservices.h"
#include "dialogrecorder.h"
#include "flashfrm.h"
#include "frmxf.h"
#include "formmain.h"
#include "muenfrm.h"
#include "networkstate.h"
#include "programfolder.h"
#include "quendasz.h"
#include "quotes.h"
#include "tray.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const char *const kCatalog = "<root><category name='民间故事'><data id='1' title='白蛇传'/>"
                             "<data id='2' title='孟姜女'/></category>"
                             "<category name='唐诗'><data id='3' title='静夜思'/></category></root>";

const QString kNoCatalogQuestion = QStringLiteral(
    "本地的数据缓存文件不存在，需要重新到服务器上面下载数据缓存文件，这个等待的时间可能较长，是否继续？");
const QString kOfflineQuestion = QStringLiteral(
    "您当前网络可能异常，如果继续运行本程序可能会有部分功能无法正常使用，是否继续？");

QStringList texts(const ListBoxEx *list)
{
    QStringList out;
    for (int i = 0; i < list->ListCount(); ++i)
        out.append(list->List(i));
    return out;
}
} // namespace

class TestFormMain : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    FormMain *m_main = nullptr;

    void writeCatalog()
    {
        QFile file(m_folder->filePath(QStringLiteral("LDsend.Dll")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Ansi::encode(Q(kCatalog)));
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        ProgramFolder::setPath(m_folder->path());
        NetworkState::setProbe([] { return true; });
        m_main = new FormMain;
    }

    void cleanup()
    {
        Tray::setAvailabilityProbe({});
        delete m_main;
        delete MuenFrm::existing();
        delete QuendaSz::existing(); // it holds the settings of this test's folder
        delete FlashFrm::existing(); // its dock hook belongs to this test's main window
        NetworkState::setProbe({});
        ProgramFolder::setPath(QString());
        m_folder.reset();
    }

    void startsWithCatalog()
    {
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        QCOMPARE(dialogs.requests().size(), 0);
        QCOMPARE(texts(m_main->List1), (QStringList{"民间故事", "唐诗"}));
        QCOMPARE(texts(m_main->List2), (QStringList{"白蛇传", "孟姜女"}));
        QCOMPARE(texts(m_main->QtList), (QStringList{"3. 精彩推荐", "4. 我听过的", "5. 更多资源"}));
        QCOMPARE(m_main->QtList->y(), m_main->List1->y() + 2 * 21);
        QCOMPARE(m_main->分类暂存, QStringLiteral("民间故事"));
        QVERIFY(m_main->TP->isShown());
        QVERIFY(QDir(m_folder->filePath(QStringLiteral("Path"))).exists());
        QVERIFY(!m_main->isOffline());
        QVERIFY(m_main->Text4->isEnabled());
        QVERIFY(m_main->DJ->isHidden());
    }

    void clickingACategoryShowsItsEntries()
    {
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        // The second row of the categories, 21 pixels a row inside the list's frame.
        const QPoint row(20, 1 + 21 + 10);
        QTest::mouseClick(m_main->List1->lstMain, Qt::LeftButton, {}, row);
        QCOMPARE(texts(m_main->List2), QStringList{"静夜思"});
        QCOMPARE(m_main->分类暂存, QStringLiteral("唐诗"));
    }

    void missingCatalogDeclinedEnds()
    {
        DialogRecorder dialogs({Dialogs::Answer::No});
        m_main->show();
        QVERIFY(!m_main->Form_Load());
        QCOMPARE(dialogs.texts(), QStringList{kNoCatalogQuestion});
        QCOMPARE(dialogs.requests().at(0).buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(dialogs.requests().at(0).icon, Dialogs::Icon::None);
        QVERIFY(!m_main->isVisible()); // ExitProgram closed it
        QVERIFY(!m_main->TP->isShown());
    }

    void missingCatalogAcceptedGoesOn()
    {
        DialogRecorder dialogs({Dialogs::Answer::Yes});
        QVERIFY(m_main->Form_Load());
        QCOMPARE(dialogs.texts(), QStringList{kNoCatalogQuestion});
        QCOMPARE(m_main->List1->ListCount(), 0);
        QVERIFY(m_main->TP->isShown());
    }

    void offlineModeOnYes()
    {
        writeCatalog();
        NetworkState::setProbe([] { return false; });
        DialogRecorder dialogs({Dialogs::Answer::Yes});
        QVERIFY(m_main->Form_Load());
        QCOMPARE(dialogs.texts(), QStringList{kOfflineQuestion});
        QCOMPARE(dialogs.requests().at(0).icon, Dialogs::Icon::None);
        QVERIFY(m_main->isOffline());
        QVERIFY(!m_main->DJ->isHidden());
        QVERIFY(!m_main->SerImg->isEnabled());
        QVERIFY(!m_main->Text4->isEnabled());
        QCOMPARE(m_main->Text4->text(), QStringLiteral("您当前未联网，无法进行搜索！"));
        QVERIFY(!m_main->SbpLAY->isEnabled());
        QVERIFY(!m_main->YxList->isEnabled());
        QVERIFY(!m_main->ScList->isEnabled());
        QVERIFY(m_main->GfZyLjLabel->isHidden());
        // The catalog still loads offline.
        QCOMPARE(texts(m_main->List1), (QStringList{"民间故事", "唐诗"}));
    }

    void minimiseHidesAndTrayClickRestores()
    {
        Tray::setAvailabilityProbe([] { return true; });
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        const QPoint place = m_main->pos();
        QTest::mouseClick(m_main->ZuiXH, Qt::LeftButton);
        QVERIFY(!m_main->isVisible());
        emit m_main->TP->Click();
        QVERIFY(m_main->isVisible());
        QVERIFY(!m_main->isMinimized());
        QCOMPARE(m_main->pos(), place);
        // A click while visible changes nothing.
        emit m_main->TP->Click();
        QVERIFY(m_main->isVisible());
        QVERIFY(!m_main->isMinimized());
    }

    // Without a notification area a hidden window could never come back: it
    // stays in the task bar. Once a tray host runs, minimising hides again.
    void withoutTrayMinimiseKeepsTheWindow()
    {
        bool trayHost = false;
        Tray::setAvailabilityProbe([&trayHost] { return trayHost; });
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        QTest::mouseClick(m_main->ZuiXH, Qt::LeftButton);
        QVERIFY(m_main->isMinimized());
        QVERIFY(m_main->isVisible());

        m_main->setWindowState(Qt::WindowNoState); // restored from the task bar
        trayHost = true;
        QTest::mouseClick(m_main->ZuiXH, Qt::LeftButton);
        QCOMPARE(m_main->WindowState(), 1);
        QVERIFY(!m_main->isVisible());
        emit m_main->TP->Click();
        QVERIFY(m_main->isVisible());
        QCOMPARE(m_main->WindowState(), 0);
    }

    // A docked player leaves with the main window, however it goes, and comes
    // back at its docked place; its button stays pressed all along. A player
    // that is not docked stays.
    void dockedPlayerGoesAndComesWithTheMainWindow_data()
    {
        QTest::addColumn<QString>("away");
        QTest::addColumn<QString>("back");
        QTest::addColumn<bool>("trayHost");
        QTest::addColumn<bool>("docked");
        QTest::newRow("minimise button, tray icon") << "ZuiXH"
                                                    << "TP_Click" << true << true;
        QTest::newRow("隐藏, 显示") << "隐藏"
                                    << "显示" << true << true;
        QTest::newRow("minimised by the window manager, tray icon") << "minimise"
                                                                    << "TP_Click" << true << true;
        QTest::newRow("no tray: minimised, restored from the task bar")
            << "ZuiXH"
            << "restore" << false << true;
        QTest::newRow("player not docked stays") << "ZuiXH"
                                                 << "TP_Click" << true << false;
    }

    void dockedPlayerGoesAndComesWithTheMainWindow()
    {
        QFETCH(QString, away);
        QFETCH(QString, back);
        QFETCH(bool, trayHost);
        QFETCH(bool, docked);
        Tray::setAvailabilityProbe([trayHost] { return trayHost; });
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->move(50, 40);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        m_main->GameFrmButton_OnMouseDown();
        FlashFrm *player = FlashFrm::existing();
        QVERIFY(player && player->isVisible());
        const QPoint dockedAt(m_main->x() + m_main->width(), m_main->y());
        QTRY_COMPARE(player->pos(), dockedAt);
        const QPoint loose = dockedAt + QPoint(200, 100);
        if (!docked) {
            player->move(loose);
            QTRY_COMPARE(player->pos(), loose);
        }

        MuenFrm &menus = MuenFrm::get();
        if (away == u"ZuiXH")
            QTest::mouseClick(m_main->ZuiXH, Qt::LeftButton);
        else if (away == u"隐藏")
            menus.Window1->trigger();
        else
            m_main->setWindowState(Qt::WindowMinimized);
        QCOMPARE(m_main->WindowState(), 1);
        QCOMPARE(player->isVisible(), !docked);
        QVERIFY(m_main->GameFrmButton->Value());

        if (back == u"TP_Click")
            emit m_main->TP->Click();
        else if (back == u"显示")
            menus.FrmQcShow->trigger();
        else
            m_main->setWindowState(Qt::WindowNoState);
        QVERIFY(m_main->isVisible());
        QVERIFY(player->isVisible());
        QTRY_COMPARE(player->pos(), docked ? dockedAt : loose);
        QVERIFY(m_main->GameFrmButton->Value());
    }

    // A window manager that withdraws the icon of a window hidden in the
    // tray may report the window normal, and Qt then sends the hidden window
    // a show event. It stays in the tray, minimised to the listener, its
    // docked player with it; "显示" brings both back.
    void windowManagerNewsWhileInTheTray()
    {
        Tray::setAvailabilityProbe([] { return true; });
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        m_main->GameFrmButton_OnMouseDown();
        FlashFrm *player = FlashFrm::existing();
        QVERIFY(player);
        QTRY_COMPARE(player->pos(), QPoint(m_main->x() + m_main->width(), m_main->y()));
        QTest::mouseClick(m_main->ZuiXH, Qt::LeftButton);
        QVERIFY(!m_main->isVisible());
        QVERIFY(!player->isVisible());

        m_main->setWindowState(Qt::WindowNoState); // the window manager's news
        QVERIFY(!m_main->isVisible());
        QVERIFY(!player->isVisible());
        QCOMPARE(m_main->WindowState(), 1);

        MuenFrm::get().FrmQcShow->trigger();
        QVERIFY(m_main->isVisible());
        QVERIFY(player->isVisible());
        QCOMPARE(m_main->WindowState(), 0);
    }

    void settingsBarMenuOpensEveryTime()
    {
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        QMenu *menu = MuenFrm::get().SzLan;
        const QPoint centre = m_main->XlMune->rect().center();
        // A press opens it; the menu takes the release.
        QTest::mousePress(m_main->XlMune, Qt::LeftButton, {}, centre);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        // Clicked again at once: the second press of a double click, which
        // raises no OnMouseDown, then its release.
        QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(centre),
                          m_main->XlMune->mapToGlobal(QPointF(centre)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_main->XlMune, &twice);
        QTest::mouseRelease(m_main->XlMune, Qt::LeftButton, {}, centre);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        // The keyboard's click opens it too.
        m_main->XlMune->click();
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }

    void trayMenuCommands()
    {
        Tray::setAvailabilityProbe([] { return true; });
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->show();
        MuenFrm &menus = MuenFrm::get();
        QCOMPARE(menus.TP->title(), QStringLiteral("托盘选项"));
        QStringList captions;
        for (QAction *action : menus.TP->actions())
            captions.append(action->text());
        QCOMPARE(captions, (QStringList{"显示", "隐藏", "退出"}));

        // "显示" on a window that is hidden but not minimised does nothing.
        m_main->hide();
        menus.FrmQcShow->trigger();
        QVERIFY(!m_main->isVisible());
        m_main->show();

        menus.Window1->trigger(); // normal: minimise and hide
        QVERIFY(!m_main->isVisible());
        QCOMPARE(m_main->WindowState(), 1);
        menus.Window1->trigger(); // minimised: nothing
        QVERIFY(!m_main->isVisible());
        menus.FrmQcShow->trigger(); // minimised: back to normal
        QVERIFY(m_main->isVisible());
        QCOMPARE(m_main->WindowState(), 0);

        // The program ends with the settings window, before the main window
        // is closed: it goes with the process.
        menus.UnloadEndFrm->trigger();
        QVERIFY(!m_main->TP->isShown());
    }

    void homePageFromServerIni()
    {
        writeCatalog();
        QFile ini(m_folder->filePath(QStringLiteral("server.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[server]\r\nbaseurl = http://127.0.0.1:9999/ \r\n");
        ini.close();
        QList<QUrl> opened;
        DesktopServices::setOpener([&opened](const QUrl &url, DesktopServices::Show show) {
            QCOMPARE(show, DesktopServices::Show::Maximized);
            opened.append(url);
        });
        m_main->show();
        QTest::mouseClick(m_main->FkButton, Qt::LeftButton);
        QTest::mouseClick(m_main->GfZyLjLabel, Qt::LeftButton);
        MuenFrm::get().Jrzy->trigger();
        DesktopServices::setOpener({});
        QCOMPARE(opened, QList<QUrl>(3, QUrl(QStringLiteral("http://127.0.0.1:9999/"))));
    }

    void backgroundIsCutOut()
    {
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        const QRegion shape = m_main->mask();
        QVERIFY(!shape.isEmpty());
        // The rounded corner is key colour, so it is cut out; the body stays.
        QVERIFY(!shape.contains(QPoint(0, 0)));
        QVERIFY(!shape.contains(QPoint(m_main->width() - 1, m_main->height() - 1)));
        QVERIFY(shape.contains(QPoint(m_main->width() / 2, m_main->height() / 2)));
        QVERIFY(shape.contains(m_main->Guanbi->geometry().center()));
    }

    void playerWindowButtonAndDocking()
    {
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->move(50, 40);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        FlashFrm *player = FlashFrm::existing();
        QVERIFY(player);
        QVERIFY(!player->isVisible());

        // Any button on GameFrmButton opens the player at the right edge, pressed.
        QTest::mousePress(m_main->GameFrmButton, Qt::RightButton);
        QTest::mouseRelease(m_main->GameFrmButton, Qt::RightButton);
        QVERIFY(player->isVisible());
        QVERIFY(m_main->GameFrmButton->Value());
        QCOMPARE(player->pos(), QPoint(m_main->x() + m_main->width(), m_main->y()));

        // Docked on the right side: it follows the main window.
        m_main->move(80, 60);
        QTRY_COMPARE(player->pos(), QPoint(80 + m_main->width(), 60));

        QTest::mouseClick(m_main->GameFrmButton, Qt::LeftButton);
        QVERIFY(!player->isVisible());
        QVERIFY(!m_main->GameFrmButton->Value());
    }

    void playerOpensAtStartWhenTicked_data()
    {
        QTest::addColumn<QByteArray>("config"); // empty: no Config.dll
        QTest::addColumn<bool>("opens");
        QTest::newRow("no Config.dll") << QByteArray() << false;
        QTest::newRow("ticked") << QByteArray("[用户设置]\r\n开启启动=1\r\n") << true;
        QTest::newRow("unticked") << QByteArray("[用户设置]\r\n开启启动=0\r\n") << false;
        QTest::newRow("key missing ticks") << QByteArray("[用户设置]\r\n禁音=0\r\n") << true;
    }

    void playerOpensAtStartWhenTicked()
    {
        QFETCH(QByteArray, config);
        QFETCH(bool, opens);
        writeCatalog();
        if (!config.isEmpty()) {
            QFile file(m_folder->filePath(QStringLiteral("Config.dll")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(Ansi::encode(QString::fromUtf8(config)));
        }
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        FlashFrm *player = FlashFrm::existing();
        QVERIFY(player);
        QCOMPARE(player->isVisible(), opens);
        QCOMPARE(m_main->GameFrmButton->Value(), opens);
        if (opens)
            QCOMPARE(player->pos(), QPoint(m_main->x() + m_main->width(), m_main->y()));
    }

    void draggedByItsBackground()
    {
        m_main->move(100, 100);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        const QPoint background(120, 600); // between the bottom buttons and the link
        QCOMPARE(m_main->childAt(background), nullptr);
        QTest::mousePress(m_main, Qt::LeftButton, {}, background);
        QTest::mouseMove(m_main, background + QPoint(40, 30));
        QTest::mouseRelease(m_main, Qt::LeftButton, {}, background + QPoint(40, 30));
        QCOMPARE(m_main->pos(), QPoint(140, 130));
        // A right button press drags nothing.
        QTest::mousePress(m_main, Qt::RightButton, {}, background);
        QTest::mouseMove(m_main, background + QPoint(10, 10));
        QTest::mouseRelease(m_main, Qt::RightButton, {}, background + QPoint(10, 10));
        QCOMPARE(m_main->pos(), QPoint(140, 130));
    }

    void listRowsAreReadableByScreenReaders()
    {
        writeCatalog();
        DialogRecorder dialogs;
        QVERIFY(m_main->Form_Load());
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(m_main->List2->lstMain);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("List2"));
        QStringList rows;
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface *row = list->child(i);
            if (row->role() == QAccessible::ListItem)
                rows.append(row->text(QAccessible::Name));
        }
        QCOMPARE(rows, (QStringList{"白蛇传", "孟姜女"}));
    }

    void everyControlIsNamedForAssistiveTechnology()
    {
        const auto children = m_main->findChildren<QWidget *>();
        QVERIFY(children.size() > 15);
        for (QWidget *child : children) {
            if (child->objectName().isEmpty() || child->objectName().startsWith(u"qt_"))
                continue; // Qt's own inner parts (scroll bars, viewports)
            QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(child->objectName()));
        }
        for (const char *name : {"List1", "List2", "QtList", "Guanbi", "ZuiXH", "Text4", "SerImg",
                                 "YxList", "ScList", "SbpLAY", "GameFrmButton", "DJ"})
            QVERIFY2(m_main->findChild<QWidget *>(QString::fromLatin1(name)), name);
    }
};

AURILO_FORM_TEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
