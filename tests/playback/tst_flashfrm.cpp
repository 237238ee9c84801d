#include "formtestmain.h"

#include "browserhost.h"
#include "flashfrm.h"
#include "buttonex.h"
#include "dialogrecorder.h"
#include "favoritemodule.h"
#include "formmain.h"
#include "programfolder.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

using ProgressPairs = QList<QPair<int, int>>;

class TestFlashFrm : public QObject
{
    Q_OBJECT

private slots:
    void progress_data()
    {
        QTest::addColumn<ProgressPairs>("pairs");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("cover");
        QTest::addColumn<bool>("labels");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<int>("bar");
        QTest::newRow("(-1, 0) changes nothing") << ProgressPairs{{-1, 0}} << "about:blank" << true
                                                 << true << "0%" << 0;
        QTest::newRow("a quarter") << ProgressPairs{{250, 1000}} << "http://h/1.swf" << true << true
                                   << "25%" << 25;
        QTest::newRow("rounded") << ProgressPairs{{2, 3}} << "http://h/1.swf" << true << true << "67%"
                                 << 67;
        QTest::newRow("below one shows an empty bar") << ProgressPairs{{0, 1000}} << "http://h/1.swf"
                                                      << true << true << "0%" << 0;
        QTest::newRow("no total keeps the last values")
            << ProgressPairs{{500, 1000}, {700, 0}} << "http://h/1.swf" << true << true << "50%" << 50;
        QTest::newRow("complete hides the cover of a real address")
            << ProgressPairs{{500, 1000}, {1000, 1000}} << "http://h/1.swf" << false << false << "50%"
            << 50;
        QTest::newRow("complete on about:blank keeps the cover")
            << ProgressPairs{{100, 100}} << "about:blank" << true << false << "0%" << 0;
    }

    void progress()
    {
        QFETCH(ProgressPairs, pairs);
        QFETCH(QString, address);
        QFETCH(bool, cover);
        QFETCH(bool, labels);
        QFETCH(QString, percent);
        QFETCH(int, bar);
        FlashFrm player;
        player.show();
        if (address != u"about:blank")
            player.Flash1->Navigate(address);
        QCOMPARE(player.Flash1->LocationURL(), address);
        for (const auto &[progress, max] : pairs)
            player.Flash1_ProgressChange(progress, max);
        QCOMPARE(player.Picture1->isVisible(), cover);
        QCOMPARE(player.Label2->isVisible(), labels);
        QCOMPARE(player.Label3->isVisible(), labels);
        QCOMPARE(player.ProgressBar1->isVisible(), labels);
        QCOMPARE(player.Label3->text(), percent);
        QCOMPARE(player.ProgressBar1->value(), bar);
    }

    void catalogDownloadProgress()
    {
        FormMain main;
        FlashFrm &player = FlashFrm::get();
        main.UpdateSLing_AsyncReadProgress(500000, 2000000);
        QCOMPARE(player.Label2->text(), QStringLiteral("请稍后，正在为您准备列表数据："));
        QCOMPARE(player.Label3->text(), QStringLiteral("25%"));
        QCOMPARE(player.ProgressBar1->value(), 25);
        main.UpdateSLing_AsyncReadProgress(900000, 0); // size unknown: unchanged
        QCOMPARE(player.Label3->text(), QStringLiteral("25%"));
        delete &player;
    }

    void layoutFollowsTheSize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design") << FlashFrm::kDesignSize;
        QTest::newRow("taller") << QSize(552, 700);
        QTest::newRow("wider") << QSize(800, 539);
    }

    void layoutFollowsTheSize()
    {
        QFETCH(QSize, size);
        const FlashFrmLayout l = FlashFrmLayout::forSize(size.width() * 15, size.height() * 15);
        const int W = size.width() * 15;
        const int H = size.height() * 15;
        QCOMPARE(l.HeadrImg.width(), W);
        QCOMPARE(l.FootImg.top(), H - 435 - 435);
        QCOMPARE(l.GameXX.bottom() + 1, l.FootImg.top()); // the strip sits on the footer
        QCOMPARE(l.Picture1.top(), 405);
        QCOMPARE(l.Picture1.bottom() + 1, l.GameXX.top());
        QCOMPARE(l.WEbZhe.width(), W);
        // The browser overhangs its frame by 600 to the right and 150 below.
        QCOMPARE(l.Flash1.topLeft(), QPoint(-30, -30));
        QCOMPARE(l.Flash1.width(), l.WEbZhe.width() + 600);
        QCOMPARE(l.Flash1.height(), l.WEbZhe.height() + 150);
        QCOMPARE(l.lblMsg, QPoint(105, l.FootImg.top() + 165));
    }

    // The table counts a frame of 60 x 435 twips in the window's size; laid
    // out from the client area alone, a band was left blank under the footer
    // and the cover stopped short of the right edge.
    void layoutFillsTheClientArea_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("design") << FlashFrm::kDesignSize;
        QTest::newRow("as tall as the main window") << QSize(552, 620);
        QTest::newRow("wider") << QSize(800, 539);
        QTest::newRow("smaller") << QSize(420, 480);
        QTest::newRow("odd sizes") << QSize(601, 577);
    }

    void layoutFillsTheClientArea()
    {
        QFETCH(QSize, size);
        FlashFrm player;
        player.show();
        player.resize(size);
        QCOMPARE(player.size(), size);
        const QRect client = player.rect();
        const QRect foot = player.FootImg->geometry();
        const QRect strip = player.GameXX->geometry();
        const QRect cover = player.Picture1->geometry();
        const QRect frame = player.WEbZhe->geometry();

        // The footer ends at the bottom edge, the strip sits on it, the cover
        // and the browser's frame fill the space between header and strip.
        QCOMPARE(foot.bottom(), client.bottom());
        QCOMPARE(foot.height(), 29);
        QVERIFY(foot.left() <= 0 && foot.right() >= client.right());
        QCOMPARE(strip.bottom() + 1, foot.top());
        QCOMPARE(cover.topLeft(), QPoint(0, player.HeadrImg->height()));
        QCOMPARE(cover.right(), client.right());
        QCOMPARE(cover.bottom() + 1, strip.top());
        QCOMPARE(strip.left(), 0);
        QCOMPARE(strip.right(), client.right());
        QCOMPARE(frame.top(), cover.top());
        QCOMPARE(frame.height(), cover.height());
        QVERIFY(frame.left() <= 0 && frame.right() >= client.right());
        QCOMPARE(player.lblMsg->y(), foot.top() + 11);

        // The browser overhangs its frame; the part that shows is the frame's
        // inside the window, and that is what the player page is given.
        QCOMPARE(player.Flash1->geometry(), QRect(-2, -2, frame.width() + 40, frame.height() + 10));
        QCOMPARE(player.Flash1->visibleArea(), QRect(2, 2, client.width(), frame.height()));
    }

    void startsIdle()
    {
        FlashFrm player;
        QCOMPARE(player.windowTitle(), QStringLiteral("欢迎使用Aurilo"));
        QCOMPARE(player.Flash1->LocationURL(), QStringLiteral("about:blank"));
        QVERIFY(player.FxFm->isHidden());
        QCOMPARE(player.GamejsLab->toPlainText(), QStringLiteral("内容简介\n"));
        player.FlashFXYX_Click();
        QVERIFY(!player.FxFm->isHidden());
        QVERIFY(player.FlashFXYX->Value());
        player.FlashFXYX_Click();
        QVERIFY(player.FxFm->isHidden());
        QVERIFY(!player.FlashFXYX->Value());
    }

    void addPlayingToFavourites_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("icons");
        QTest::addColumn<int>("rows");
        const QString added = QStringLiteral("《民间故事-白蛇传》已经成功添加至收藏列表！请到收藏列表中查看！");
        QTest::newRow("nothing playing") << "欢迎使用Aurilo" << ""
                                         << QStringList{"您还没有开始收听呢!"} << QList<int>{0} << 0;
        QTest::newRow("local data") << "您当前正在收听的是：《本地白蛇传》" << "本地白蛇传"
                                    << QStringList{"本地的数据是不能添加进收藏的!"} << QList<int>{64}
                                    << 0;
        QTest::newRow("added, then refused")
            << "您当前正在收听的是：《白蛇传》" << "白蛇传"
            << QStringList{added, "该资源已经存在于收藏列表了，请勿重复添加！"} << QList<int>{32, 16}
            << 1;
    }

    void addPlayingToFavourites()
    {
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QFETCH(QStringList, messages);
        QFETCH(QList<int>, icons);
        QFETCH(int, rows);
        QTemporaryDir folder;
        ProgramFolder::setPath(folder.path());
        FlashFrm player;
        player.setWindowTitle(caption);
        player.QuendaName = name;
        player.QuendaStyle = QStringLiteral(" 民间故事 ");
        player.QuendaFlashUrl = QStringLiteral("http://h/1.swf");
        player.QuendaPageUrl = QStringLiteral("http://h/p/1.html");
        player.QuendaId = 9;
        DialogRecorder dialogs;
        for (int i = 0; i < messages.size(); ++i) {
            QTest::mouseClick(player.FlashSC, Qt::LeftButton);
            QVERIFY(!player.FlashSC->Value()); // pressed and released at once
        }
        QCOMPARE(dialogs.texts(), messages);
        for (int i = 0; i < icons.size(); ++i)
            QCOMPARE(int(dialogs.requests().at(i).icon), icons.at(i));
        QList<FavoriteRecord> stored;
        QCOMPARE(FavoriteModule::ReadFavorites(stored), rows > 0);
        QCOMPARE(int(stored.size()), rows);
        if (rows > 0) {
            QCOMPARE(stored.at(0).style.trimmed(), QStringLiteral("民间故事"));
            QCOMPARE(stored.at(0).flashurl.trimmed(), QStringLiteral("http://h/1.swf"));
            QCOMPARE(stored.at(0).id, std::int16_t(9));
        }
        ProgramFolder::setPath(QString());
    }
};

AURILO_FORM_TEST_MAIN(TestFlashFrm)
#include "tst_flashfrm.moc"
