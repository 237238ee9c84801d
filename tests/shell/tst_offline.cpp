// Runs inside a network namespace that has only the loopback interface (the
// test is registered under `unshare -n`): the real network test decides.
#include "formtestmain.h"
#include "ansicodec.h"
#include "buttonex.h"
#include "listboxex.h"
#include "dialogrecorder.h"
#include "formmain.h"
#include "modsl.h"
#include "programfolder.h"
#include "quotes.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

class TestOffline : public QObject
{
    Q_OBJECT

private slots:
    void noNetworkIsSeen()
    {
        QVERIFY(!ModSl::IsOnline());
    }

    void startsOfflineOnYes()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile catalog(folder.filePath(QStringLiteral("LDsend.Dll")));
        QVERIFY(catalog.open(QIODevice::WriteOnly));
        catalog.write(Ansi::encode(Q("<category name='成语故事'><data id='9' title='愚公移山'/></category>")));
        catalog.close();
        ProgramFolder::setPath(folder.path());

        DialogRecorder dialogs({Dialogs::Answer::Yes});
        FormMain main;
        QVERIFY(main.Form_Load());
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral("您当前网络可能异常，如果继续运行本程序可能会有部分功能无法正常使用，是否继续？")});
        QCOMPARE(dialogs.requests().at(0).buttons, Dialogs::Buttons::YesNo);
        QVERIFY(main.isOffline());
        QVERIFY(!main.DJ->isHidden());
        QVERIFY(!main.Text4->isEnabled());
        QCOMPARE(main.Text4->text(), QStringLiteral("您当前未联网，无法进行搜索！"));
        QVERIFY(!main.SerImg->isEnabled());
        QVERIFY(!main.YxList->isEnabled() && !main.ScList->isEnabled() && !main.SbpLAY->isEnabled());
        QVERIFY(main.GfZyLjLabel->isHidden());
        QCOMPARE(main.List2->List(0), QStringLiteral("愚公移山"));
        ProgramFolder::setPath(QString());
    }
};

AURILO_FORM_TEST_MAIN(TestOffline)
#include "tst_offline.moc"
