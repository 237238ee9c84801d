// Sharing a resource: the recommendation text, the six services' share
// addresses, the clipboard, and the player's share panel that uses them.

#include "formtestmain.h"

#include "buttonex.h"
#include "clipboardservice.h"
#include "desktopservices.h"
#include "dialogrecorder.h"
#include "favoriterecord.h"
#include "flashfrm.h"
#include "quendasz.h"
#include "sharing.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QUrlQuery>

using Items = QList<QPair<QString, QString>>;

namespace {

// A name and a page address that break a naively built query: "&" starts a
// new key, "#" a fragment, "+" reads as a blank, and the blanks around them
// must be trimmed where the services get the trimmed values.
const QString kName = QStringLiteral("  三国 & 演义 #1 + 2  ");
const QString kTrimmedName = QStringLiteral("三国 & 演义 #1 + 2");
const QString kPage = QStringLiteral(" http://h/p.html?a=1&b=2 ");
const QString kTrimmedPage = QStringLiteral("http://h/p.html?a=1&b=2");
// The page as stored, less the blanks that pad it at the end.
const QString kUnpaddedPage = QStringLiteral(" http://h/p.html?a=1&b=2");
const QString kSay = QStringLiteral("一个 & 故事 #完");

QString praise(const char *service)
{
    return QStringLiteral("是很好听的一本书籍，不敢独乐。分享给") + QString::fromUtf8(service);
}

struct Opened
{
    QUrl url;
    DesktopServices::Show show;
};

} // namespace

class TestSharing : public QObject
{
    Q_OBJECT

private:
    QList<Opened> m_opened;
    QStringList m_copied;

    // A player that has played a resource, its share panel open.
    FlashFrm &playing()
    {
        FlashFrm &player = FlashFrm::get();
        player.QuendaName = kName;
        player.QuendaPageUrl = kPage;
        player.QuendaFlashSay = QStringLiteral("  ") + kSay + QStringLiteral("  ");
        player.QuendaFlashUrl = QStringLiteral(" http://h/1.swf ");
        player.setWindowTitle(QStringLiteral("您当前正在收听的是：《三国》"));
        player.FlashFXYX_Click();
        return player;
    }

private slots:
    void init()
    {
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
        DesktopServices::setOpener({});
        Clipboard::setWriter({});
    }

    void recommendationText()
    {
        QCOMPARE(Sharing::RecommendationText(QStringLiteral("红楼梦"), QStringLiteral("一部名著"),
                                             QStringLiteral("http://h/p.html")),
                 QStringLiteral("我在Sonavel上面发现了一本很好听的书籍，名字叫《红楼梦》-"
                                "一部名著地址是：http://h/p.html"));
        // The texts go in as given; trimming is the caller's choice.
        QCOMPARE(Sharing::RecommendationText(QStringLiteral(" N "), QStringLiteral(""),
                                             QStringLiteral(" P")),
                 QStringLiteral("我在Sonavel上面发现了一本很好听的书籍，名字叫《 N 》-地址是： P"));
    }

    void shareAddress_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");
        QTest::addColumn<Items>("items");
        const QString N = kTrimmedName;
        QTest::newRow("1 QQ空间") << 1 << "sns.qzone.qq.com"
                                  << "/cgi-bin/qzshare/cgi_qzshare_onekey"
                                  << Items{{"url", kTrimmedPage},
                                           {"title", N + praise("QQ空间的友友!")},
                                           {"desc", kSay + "..."}};
        QTest::newRow("2 开心网: the name twice, the page unpadded at the end")
            << 2 << "www.kaixin001.com"
            << "/repaste/share.php"
            << Items{{"rtitle", N + praise("开心网的友友!!")},
                     {"rurl", ""},
                     {"rcontent", N + praise("开心网的友友!!") + kUnpaddedPage}};
        QTest::newRow("3 人人网") << 3 << "share.renren.com"
                                  << "/share/sharer"
                                  << Items{{"url", kTrimmedPage},
                                           {"title", N + praise("人人网的友友!")}};
        QTest::newRow("4 51网") << 4 << "share.51.com"
                                << "/share/share.php"
                                << Items{{"type", "8"},
                                         {"title", N + praise("51网的友友!")},
                                         {"vaddr", kTrimmedPage}};
        QTest::newRow("5 新浪微博: the page unpadded")
            << 5 << "v.t.sina.com.cn"
            << "/share/share.php"
            << Items{{"title", N + praise("新浪微博的友友!!")}, {"url", kUnpaddedPage}};
        QTest::newRow("6 豆瓣") << 6 << "www.douban.com"
                                << "/recommend/" << Items{{"url", kTrimmedPage}};
    }

    void shareAddress()
    {
        QFETCH(int, index);
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(Items, items);
        const QUrl url = Sharing::ShareAddress(index, kName, kPage, kSay);
        QVERIFY2(url.isValid(), qPrintable(url.errorString()));
        QCOMPARE(url.scheme(), QStringLiteral("http"));
        QCOMPARE(url.host(), host);
        QCOMPARE(url.path(), path);
        // "#" in a value must not have cut the address into a fragment.
        QVERIFY(!url.hasFragment());
        // Every value arrives whole, in the services' order of keys.
        QCOMPARE(QUrlQuery(url).queryItems(QUrl::FullyDecoded), items);
        // Services that read "+" as a blank must still see the plus sign.
        QVERIFY(!url.query(QUrl::FullyEncoded).contains(u'+'));
    }

    // A history record's page address comes padded to its field's 100
    // characters; no service's link may end in those blanks.
    void paddedPageAddressEndsAtItsLastCharacter_data()
    {
        QTest::addColumn<int>("index");
        for (int index = 1; index <= 6; ++index)
            QTest::newRow(qPrintable(Sharing::PanelCaption(index))) << index;
    }

    void paddedPageAddressEndsAtItsLastCharacter()
    {
        QFETCH(int, index);
        const QString page = QStringLiteral("http://h/p/7.html");
        const QString padded = FavoriteRecord::fixedWidth(page, FavoriteRecord::kPageUrlWidth);
        const QUrl url = Sharing::ShareAddress(index, kName, padded, kSay);
        QVERIFY(url.isValid());
        QVERIFY2(!url.toEncoded().endsWith("%20"), url.toEncoded().constData());
        bool carriesPage = false;
        for (const auto &item : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            QVERIFY2(!item.second.endsWith(u' '), qPrintable(item.first));
            carriesPage = carriesPage || item.second.endsWith(page);
        }
        QVERIFY(carriesPage);
    }

    void noAddressOutsideTheServices_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("the clipboard entry") << 0;
        QTest::newRow("past the last service") << 7;
        QTest::newRow("negative") << -1;
    }

    void noAddressOutsideTheServices()
    {
        QFETCH(int, index);
        QVERIFY(Sharing::ShareAddress(index, kName, kPage, kSay).isEmpty());
    }

    void descriptionCut_data()
    {
        QTest::addColumn<QString>("say");
        QTest::addColumn<QString>("desc");
        const QString eighty = QString(40, u'书') + QString(40, u'a');
        QTest::newRow("81 characters: the first 80") << eighty + u'z' << eighty + "...";
        QTest::newRow("exactly 80") << eighty << eighty + "...";
        QTest::newRow("shorter, as it is, blanks kept") << " 短 "
                                                        << " 短 ...";
        QTest::newRow("empty") << ""
                               << "...";
        // U+1F4D6 takes two UTF-16 units; a cut between them would leave half a character.
        const QString book = QString::fromUtf8("\xF0\x9F\x93\x96");
        QTest::newRow("a pair at the cut stays whole")
            << QString(79, u'x') + book + "tail" << QString(79, u'x') + "...";
    }

    void descriptionCut()
    {
        QFETCH(QString, say);
        QFETCH(QString, desc);
        const QUrlQuery query(Sharing::ShareAddress(1, kName, kPage, say));
        QCOMPARE(query.queryItemValue(QStringLiteral("desc"), QUrl::FullyDecoded), desc);
    }

    void clipboardReplacesEverything()
    {
        Clipboard::setWriter({});
        auto *rich = new QMimeData;
        rich->setHtml(QStringLiteral("<b>旧的</b>"));
        rich->setText(QStringLiteral("旧的"));
        QGuiApplication::clipboard()->setMimeData(rich);
        Clipboard::setText(QStringLiteral("新的 text"));
        QCOMPARE(Clipboard::text(), QStringLiteral("新的 text"));
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    }

    void panelLabels_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("design"); // twips / 15
        QTest::newRow("0") << 0 << "分享给QQ/MSN好友" << QRect(35, 17, 96, 12);
        QTest::newRow("1") << 1 << "QQ空间" << QRect(35, 57, 36, 12);
        QTest::newRow("2") << 2 << "开心网" << QRect(34, 83, 36, 12);
        QTest::newRow("3") << 3 << "人人网" << QRect(34, 109, 36, 12);
        QTest::newRow("4") << 4 << "51.com" << QRect(114, 57, 36, 12);
        QTest::newRow("5") << 5 << "新浪微博" << QRect(114, 83, 48, 12);
        QTest::newRow("6") << 6 << "豆瓣" << QRect(115, 109, 24, 12);
    }

    void panelLabels()
    {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(QRect, design);
        FlashFrm &player = FlashFrm::get();
        QCOMPARE(player.Fx.size(), 7);
        QLabel *label = player.Fx.at(index);
        QCOMPARE(label->parentWidget(), player.FxFm);
        QCOMPARE(label->objectName(), QStringLiteral("Fx(%1)").arg(index));
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->accessibleName(), caption);
        // At the design's place: its left edge, around its row's middle.
        QCOMPARE(label->x(), design.x());
        QVERIFY(qAbs(label->geometry().center().y() - design.center().y()) <= 1);
        // Never smaller than designed, and the whole text shows, inside the panel.
        QVERIFY(label->width() >= design.width() && label->height() >= design.height());
        QVERIFY(label->width() >= label->sizeHint().width());
        QVERIFY(label->height() >= label->sizeHint().height());
        QVERIFY(player.FxFm->rect().contains(label->geometry()));
        QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
    }

    void localResourceRefused_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i <= 6; ++i)
            QTest::addRow("%d", i) << i;
    }

    void localResourceRefused()
    {
        QFETCH(int, index);
        FlashFrm &player = playing();
        player.setWindowTitle(QStringLiteral("您当前正在收听的是：《本地书》"));
        DialogRecorder dialogs;
        player.Fx_Click(index);
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("对不起，暂不支持本地游戏的分享！")});
        QCOMPARE(dialogs.requests().first().icon, Dialogs::Icon::Information);
        QVERIFY(m_copied.isEmpty());
        QVERIFY(m_opened.isEmpty());
    }

    void notListeningYet_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("flashUrl");
        for (int i = 0; i <= 6; ++i)
            QTest::addRow("%d, nothing played", i) << i << "";
        QTest::newRow("blanks only count as nothing") << 3 << "   ";
    }

    void notListeningYet()
    {
        QFETCH(int, index);
        QFETCH(QString, flashUrl);
        FlashFrm &player = playing();
        player.QuendaFlashUrl = flashUrl;
        DialogRecorder dialogs;
        player.Fx_Click(index);
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral(
                     "您当前还未开始收听，不能进行此操作，您可以选择一个书籍之后再点击分享！")});
        QCOMPARE(dialogs.requests().first().icon, Dialogs::Icon::None);
        QVERIFY(m_copied.isEmpty());
        QVERIFY(m_opened.isEmpty());
    }

    void clipboardEntryCopiesTrimmedTexts()
    {
        FlashFrm &player = playing();
        DialogRecorder dialogs;
        player.Fx_Click(0);
        QCOMPARE(m_copied,
                 QStringList{QStringLiteral("我在Sonavel上面发现了一本很好听的书籍，名字叫《") +
                             kTrimmedName + QStringLiteral("》-") + kSay +
                             QStringLiteral("地址是：") + kTrimmedPage});
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral("复制信息成功，请通过Ctrl + V键复制给您的好友！")});
        QCOMPARE(dialogs.requests().first().icon, Dialogs::Icon::None);
        QVERIFY(m_opened.isEmpty());
    }

    void serviceEntryOpensTheSharePage()
    {
        FlashFrm &player = playing();
        DialogRecorder dialogs;
        player.Fx_Click(3);
        QVERIFY(dialogs.texts().isEmpty());
        QVERIFY(m_copied.isEmpty());
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.first().show, DesktopServices::Show::Maximized);
        const QUrl &url = m_opened.first().url;
        QCOMPARE(url.host(), QStringLiteral("share.renren.com"));
        QCOMPARE(QUrlQuery(url).queryItems(QUrl::FullyDecoded),
                 (Items{{"url", kTrimmedPage}, {"title", kTrimmedName + praise("人人网的友友!")}}));
        // Sent encoded: the raw "&" and "#" of the name are not in the address.
        QVERIFY(url.toEncoded().contains("%26%20%E6%BC%94%E4%B9%89%20%231%20%2B%202"));
        QVERIFY(!player.FxFm->isHidden()); // the panel stays open
    }

    void hoverColours()
    {
        FlashFrm &player = playing();
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        const auto colour = [&](int i) {
            return player.Fx.at(i)->palette().color(QPalette::WindowText);
        };
        const auto centre = [&](int i) { return player.Fx.at(i)->rect().center(); };
        for (int i = 0; i < 7; ++i)
            QCOMPARE(colour(i), QColor(Qt::black));

        QTest::mouseMove(player.Fx.at(2), centre(2));
        QTRY_COMPARE(colour(2), QColor(255, 101, 1));
        QTest::mouseMove(player.Fx.at(5), centre(5));
        QTRY_COMPARE(colour(5), QColor(255, 101, 1));
        QCOMPARE(colour(2), QColor(255, 101, 1)); // moving onto another label keeps it

        QTest::mousePress(player.Fx.at(5), Qt::LeftButton, {}, centre(5));
        QCOMPARE(colour(5), QColor(Qt::black));
        QCOMPARE(colour(2), QColor(255, 101, 1));
        {
            DialogRecorder dialogs; // the release is a click
            QTest::mouseRelease(player.Fx.at(5), Qt::LeftButton, {}, centre(5));
            QCOMPARE(m_opened.size(), 1);
        }

        // Over the panel's own background everything turns black again.
        const QPoint background(player.FxFm->width() - 8, player.FxFm->height() - 8);
        QCOMPARE(player.FxFm->childAt(background), nullptr);
        QTest::mouseMove(player.FxFm, background);
        QTRY_COMPARE(colour(2), QColor(Qt::black));
        for (int i = 0; i < 7; ++i)
            QCOMPARE(colour(i), QColor(Qt::black));
    }

    void keyboardShares_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }

    void keyboardShares()
    {
        QFETCH(int, key);
        FlashFrm &player = playing();
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        QLabel *douban = player.Fx.at(6);
        QCOMPARE(douban->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
        douban->setFocus(Qt::TabFocusReason);
        QTest::keyClick(douban, Qt::Key(key));
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.first().url.host(), QStringLiteral("www.douban.com"));
    }
};

AURILO_FORM_TEST_MAIN(TestSharing)
#include "tst_sharing.moc"
