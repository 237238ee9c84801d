// The settings window on an X server of the test's own: Config.dll read and
// written, the volume rows' hot keys following their boxes, and how the
// window closes.
#include "ansicodec.h"
#include "dialogrecorder.h"
#include "globalhotkey.h"
#include "modsl.h"
#include "owndisplay.h"
#include "programfolder.h"
#include "quendasz.h"
#include "rkhotkey.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int kWaitMs = 20000;
constexpr std::uint32_t kKeyA = 0x41;
constexpr std::uint32_t kCtrlAlt = GlobalHotKey::Control | GlobalHotKey::Alt;

// The seven boxes in their file order, and HK1 holding Ctrl + Alt + A.
QByteArray config(const QString &boxes)
{
    return Ansi::encode(QStringLiteral("[用户设置]\r\n") + boxes +
                        QStringLiteral("[RKHotKey]\r\nHK1Text=Ctrl + Alt + A\r\nHK1KeyCode=65\r\n"
                                       "HK1ModKeyCode=3\r\n"));
}

bool isFree(std::uint32_t key, std::uint32_t modifiers)
{
    GlobalHotKey probe;
    return probe.grab(key, modifiers);
}

// What the window manager sends when the user clicks a window's close box,
// sent by the server on the program's own connection.
void closeBox(QWidget *window)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11->connection();
    auto atom = [c](const char *name) {
        auto *reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window->winId());
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

} // namespace

class TstQuendaSz : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void boxesFromConfig_data();
    void boxesFromConfig();
    void captionsAndNames();
    void hotKeyRowsAtStart_data();
    void hotKeyRowsAtStart();
    void reloadingLeavesKeysAsTheyAre();
    void saveWritesInOrder();
    void saveKeepsTheRestOfTheFile();
    void userToggleSwitchesTheKey_data();
    void userToggleSwitchesTheKey();
    void closeBoxOnlyHides();
    void closedByTheProgramItEndsAtOnce();

private:
    void writeConfig(const QByteArray &bytes);
    QByteArray readConfig() const;

    std::unique_ptr<QTemporaryDir> m_folder;
};

void TstQuendaSz::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    ProgramFolder::setPath(m_folder->path());
}

void TstQuendaSz::cleanup()
{
    delete QuendaSz::existing();
    ProgramFolder::setPath(QString());
    m_folder.reset();
}

void TstQuendaSz::writeConfig(const QByteArray &bytes)
{
    QFile file(m_folder->filePath(QStringLiteral("Config.dll")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TstQuendaSz::readConfig() const
{
    QFile file(m_folder->filePath(QStringLiteral("Config.dll")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TstQuendaSz::boxesFromConfig_data()
{
    // The boxes as 0/1 in the file order: 版本自动更新, 开启启动, 欢迎动画,
    // 自检测, 增加音量, 减少音量, 禁音 (the hot-key rows stay 0 here: no key).
    QTest::addColumn<QByteArray>("file"); // empty: no Config.dll
    QTest::addColumn<QString>("ticked");
    QTest::addColumn<int>("noKeyMessages"); // ticked hot-key rows without a key
    QTest::newRow("no file") << QByteArray() << "0000000" << 0;
    QTest::newRow("a section without keys") << Ansi::encode(u"[用户设置]\r\n") << "1111000" << 3;
    QTest::newRow("only 0 unticks")
        << Ansi::encode(u"[用户设置]\r\n版本自动更新=0\r\n开启启动=1\r\n欢迎动画=\r\n自检测=no\r\n"
                        u"增加音量=0\r\n减少音量=0\r\n禁音=0\r\n")
        << "0111000" << 0;
    QTest::newRow("blanks and quotes around 0")
        << Ansi::encode(u"[用户设置]\r\n版本自动更新 = 0 \r\n开启启动=\"0\"\r\n欢迎动画=00\r\n"
                        u"自检测=0\r\n增加音量=0\r\n减少音量=0\r\n禁音=0\r\n")
        << "0010000" << 0;
    QTest::newRow("GBK file of the Windows program, keys in another order")
        << Ansi::encode(u"; Aurilo\r\n[用户设置]\r\n禁音=0\r\n减少音量=0\r\n增加音量=0\r\n"
                        u"自检测=1\r\n欢迎动画=0\r\n开启启动=0\r\n版本自动更新=1\r\n")
        << "1001000" << 0;
    QTest::newRow("an unreadable file reads as empty")
        << QByteArray("\xff\xfe\x00\x01", 4) << "1111000" << 3;
}

void TstQuendaSz::boxesFromConfig()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, ticked);
    QFETCH(int, noKeyMessages);
    if (!file.isEmpty())
        writeConfig(file);
    DialogRecorder dialogs; // a ticked hot-key row without a key would say so
    QuendaSz &settings = QuendaSz::get();
    const QList<QCheckBox *> boxes{settings.版本自动更新, settings.开启启动, settings.欢迎动画,
                                   settings.自检测,       settings.增加音量, settings.减少音量,
                                   settings.禁音};
    QString seen;
    for (QCheckBox *box : boxes)
        seen += box->isChecked() ? u'1' : u'0';
    QCOMPARE(seen, ticked);
    QVERIFY(settings.isHidden()); // created hidden
    QCOMPARE(dialogs.texts(), QStringList(noKeyMessages, QStringLiteral("未设置热键")));
}

void TstQuendaSz::captionsAndNames()
{
    QuendaSz &settings = QuendaSz::get();
    QCOMPARE(settings.windowTitle(), QStringLiteral("Aurilo设置"));
    QCOMPARE(settings.HotKey->title(), QStringLiteral("热键设置："));
    QCOMPARE(settings.禁音->text(), QStringLiteral("静音"));
    QCOMPARE(settings.禁音->objectName(), QStringLiteral("禁音"));
    QCOMPARE(settings.开启启动->text(), QStringLiteral("软件启动时播放窗口跟随启动"));
    QCOMPARE(settings.保存设置->text(), QStringLiteral("保存"));
    QVERIFY(!settings.HeadrImges->pixmap().isNull()); // the picture is built in
    for (RKHotKey *hotKey : {settings.HK1, settings.HK2, settings.HK3}) {
        QVERIFY(!hotKey->txtHotKey->accessibleName().isEmpty());
        QCOMPARE(hotKey->Text(), QStringLiteral("无"));
        QCOMPARE(hotKey->font().pointSize(), 9);
    }
}

void TstQuendaSz::hotKeyRowsAtStart_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("ticked with a key")
        << config(QStringLiteral("增加音量=1\r\n减少音量=0\r\n禁音=0\r\n")) << true
        << QStringList();
    QTest::newRow("unticked") << config(QStringLiteral("增加音量=0\r\n减少音量=0\r\n禁音=0\r\n"))
                              << false << QStringList();
    // HK2 and HK3 have no key: their ticked boxes are unticked with a message each.
    QTest::newRow("ticked without a key") << config(QStringLiteral("增加音量=0\r\n")) << false
                                          << QStringList{"未设置热键", "未设置热键"};
}

void TstQuendaSz::hotKeyRowsAtStart()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, on);
    QFETCH(QStringList, messages);
    writeConfig(file);
    DialogRecorder dialogs;
    QuendaSz &settings = QuendaSz::get();
    QCOMPARE(dialogs.texts(), messages);
    QCOMPARE(settings.HK1->HotKeyEnabled(), on);
    QCOMPARE(settings.增加音量->isChecked(), on);
    QVERIFY(!settings.减少音量->isChecked());
    QVERIFY(!settings.禁音->isChecked());
    QCOMPARE(isFree(kKeyA, kCtrlAlt), !on);
}

void TstQuendaSz::reloadingLeavesKeysAsTheyAre()
{
    writeConfig(config(QStringLiteral("增加音量=1\r\n减少音量=0\r\n禁音=0\r\n")));
    QuendaSz &settings = QuendaSz::get();
    QVERIFY(settings.HK1->HotKeyEnabled());
    // Unticked in the file since: the box follows, the key stays on.
    writeConfig(config(QStringLiteral("增加音量=0\r\n减少音量=0\r\n禁音=0\r\n")));
    settings.加载热键事件();
    settings.加载热键属性();
    QVERIFY(!settings.增加音量->isChecked());
    QVERIFY(settings.HK1->HotKeyEnabled());
}

void TstQuendaSz::saveWritesInOrder()
{
    DialogRecorder dialogs;
    QuendaSz &settings = QuendaSz::get(); // no file: everything unticked
    settings.开启启动->setChecked(true);
    settings.自检测->setChecked(true);
    QTest::keyPress(settings.HK1->txtHotKey, Qt::Key_F10, Qt::ControlModifier | Qt::AltModifier);
    settings.增加音量->setChecked(true);
    settings.保存设置->click();
    const QByteArray expected =
        Ansi::encode(u"[用户设置]\r\n版本自动更新=0\r\n开启启动=1\r\n欢迎动画=0\r\n自检测=1\r\n"
                     u"增加音量=1\r\n减少音量=0\r\n禁音=0\r\n"
                     u"[RKHotKey]\r\nHK1Text=Ctrl + Alt + F10\r\nHK1KeyCode=121\r\n"
                     u"HK1ModKeyCode=3\r\nHK2Text=无\r\nHK2KeyCode=0\r\nHK2ModKeyCode=0\r\n"
                     u"HK3Text=无\r\nHK3KeyCode=0\r\nHK3ModKeyCode=0\r\n");
    QCOMPARE(readConfig(), expected);
    // Saving applies the rows: HK1 is on now.
    QVERIFY(settings.HK1->HotKeyEnabled());
    QVERIFY(dialogs.requests().isEmpty());
    QVERIFY(settings.isHidden()); // no message, nothing shown
}

void TstQuendaSz::saveKeepsTheRestOfTheFile()
{
    const QByteArray before = Ansi::encode(u"; 用户的注释\r\n[其他]\r\n甲=乙\r\n[用户设置]\r\n"
                                           u"版本自动更新=1\r\n开启启动=0\r\n");
    writeConfig(before);
    DialogRecorder dialogs;
    QuendaSz &settings = QuendaSz::get();
    settings.保存设置_Click();
    QCOMPARE(readConfig(),
             Ansi::encode(u"; 用户的注释\r\n[其他]\r\n甲=乙\r\n[用户设置]\r\n版本自动更新=1\r\n"
                          u"开启启动=0\r\n欢迎动画=1\r\n自检测=1\r\n增加音量=0\r\n减少音量=0\r\n"
                          u"禁音=0\r\n[RKHotKey]\r\nHK1Text=无\r\nHK1KeyCode=0\r\n"
                          u"HK1ModKeyCode=0\r\nHK2Text=无\r\nHK2KeyCode=0\r\nHK2ModKeyCode=0\r\n"
                          u"HK3Text=无\r\nHK3KeyCode=0\r\nHK3ModKeyCode=0\r\n"));
    // The hot-key rows of a file without keys were ticked, had no key, and
    // were unticked with a message at start-up; saving wrote them unticked.
    QCOMPARE(dialogs.texts(), QStringList(3, QStringLiteral("未设置热键")));
}

void TstQuendaSz::userToggleSwitchesTheKey_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("mouse") << "mouse";
    QTest::newRow("space bar") << "space";
    QTest::newRow("screen reader") << "accessibility";
}

void TstQuendaSz::userToggleSwitchesTheKey()
{
    QFETCH(QString, how);
    writeConfig(config(QStringLiteral("增加音量=1\r\n减少音量=0\r\n禁音=0\r\n")));
    QuendaSz &settings = QuendaSz::get();
    settings.showModeless();
    QVERIFY(QTest::qWaitForWindowExposed(&settings));
    QCheckBox *box = settings.增加音量;
    auto toggle = [&] {
        if (how == QLatin1String("mouse")) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        } else if (how == QLatin1String("space")) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Space);
        } else {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(box);
            QVERIFY(a && a->actionInterface());
            const QStringList actions = a->actionInterface()->actionNames();
            const QString action = actions.contains(QAccessibleActionInterface::toggleAction())
                                       ? QAccessibleActionInterface::toggleAction()
                                       : QAccessibleActionInterface::pressAction();
            const bool was = box->isChecked();
            a->actionInterface()->doAction(action);
            QTRY_VERIFY_WITH_TIMEOUT(box->isChecked() != was, kWaitMs);
        }
    };
    QVERIFY(settings.HK1->HotKeyEnabled());
    toggle();
    QVERIFY(!box->isChecked());
    QVERIFY(!settings.HK1->HotKeyEnabled());
    QVERIFY(isFree(kKeyA, kCtrlAlt));
    toggle();
    QVERIFY(box->isChecked());
    QVERIFY(settings.HK1->HotKeyEnabled());
    QVERIFY(!isFree(kKeyA, kCtrlAlt));
}

void TstQuendaSz::closeBoxOnlyHides()
{
    writeConfig(config(QStringLiteral("增加音量=1\r\n减少音量=0\r\n禁音=0\r\n")));
    DialogRecorder dialogs;
    QuendaSz &settings = QuendaSz::get();
    QCOMPARE(dialogs.texts(), QStringList());
    settings.showModeless();
    QVERIFY(QTest::qWaitForWindowExposed(&settings));
    closeBox(&settings);
    QTRY_VERIFY_WITH_TIMEOUT(settings.isHidden(), kWaitMs);
    QCOMPARE(QuendaSz::existing(), &settings);
    // The hot key still works from anywhere.
    QSignalSpy pressed(settings.HK1, &RKHotKey::HotKeyPressed);
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("key"), QStringLiteral("ctrl+alt+a")});
    QVERIFY(pressed.wait(kWaitMs));
    QCOMPARE(dialogs.texts(), QStringList());
}

void TstQuendaSz::closedByTheProgramItEndsAtOnce()
{
    QStringList closed;
    std::vector<std::unique_ptr<QWidget>> windows;
    for (const QString &name : {QStringLiteral("GyQuenda"), QStringLiteral("ADFrm")}) {
        windows.push_back(std::make_unique<QWidget>());
        windows.back()->setObjectName(name);
        windows.back()->show();
    }
    QuendaSz &settings = QuendaSz::get();
    settings.showModeless();
    // ExitProgram from inside the event loop, which must end with it.
    QTimer::singleShot(0, this, [] { ModSl::ExitProgram(); });
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    guard.start(kWaitMs);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!windows.at(0)->isVisible()); // closed before the settings window
    QVERIFY(settings.isHidden());
    QVERIFY(windows.at(1)->isVisible()); // after it: left to the process's end
}

int main(int argc, char *argv[])
{
    OwnDisplay display;
    if (!display.startAndUse())
        return 1;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    TstQuendaSz test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_quendasz.moc"
