// The hot-key control on an X server of the test's own: key capture in its
// text box, the stored combination, and the combination held for the whole
// desktop (presses from xdotool).
#include "ansicodec.h"
#include "dialogrecorder.h"
#include "globalhotkey.h"
#include "modini.h"
#include "owndisplay.h"
#include "programfolder.h"
#include "rkhotkey.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

constexpr int kWaitMs = 20000;
constexpr std::uint32_t kKeyA = 0x41;
constexpr std::uint32_t kCtrlAlt = GlobalHotKey::Control | GlobalHotKey::Alt;

void xdotoolKey(const QString &combination)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), {QStringLiteral("key"), combination});
    process.waitForFinished(kWaitMs);
}

// One key going down or up in the box.
struct Stroke
{
    bool down;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

Stroke down(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    return {true, key, modifiers};
}

Stroke up(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    return {false, key, modifiers};
}

} // namespace

Q_DECLARE_METATYPE(QList<Stroke>)

class TstRKHotKey : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void capture_data();
    void capture();
    void keyDownMayChangeTheKey();
    void windowsKeysByTheirSymbols_data();
    void windowsKeysByTheirSymbols();
    void windowsKeyLetGoElsewhere();
    void tabLeavesTheBox();
    void noContextMenu();
    void storedValues_data();
    void storedValues();
    void saveWritesThePathSetLast();
    void designTimePropertiesWhileRunning();
    void settingsStoreRoundTrip();
    void switchedOnItFiresFromAnywhere();
    void noKeyChosen();
    void twoControlsOneCombination();
    void editingLetsGo();
    void destroyingLetsGo();

private:
    // A running control named HK1 in the test's folder.
    std::unique_ptr<RKHotKey> control(const QString &name = QStringLiteral("HK1"),
                                      const RKHotKey::Properties &properties = {});
    void writeConfig(const QByteArray &bytes);
    QByteArray readConfig() const;
    // Captures Ctrl+Alt+A in the control's box.
    static void pressCtrlAltA(RKHotKey &hotKey);
    // Whether another hot key of this program could take the combination now.
    static bool isFree(std::uint32_t key, std::uint32_t modifiers);

    std::unique_ptr<QTemporaryDir> m_folder;
};

void TstRKHotKey::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    ProgramFolder::setPath(m_folder->path());
}

void TstRKHotKey::cleanup()
{
    ProgramFolder::setPath(QString());
    m_folder.reset();
}

std::unique_ptr<RKHotKey> TstRKHotKey::control(const QString &name,
                                               const RKHotKey::Properties &properties)
{
    auto hotKey = std::make_unique<RKHotKey>();
    hotKey->setObjectName(name);
    hotKey->ReadProperties(properties);
    return hotKey;
}

void TstRKHotKey::writeConfig(const QByteArray &bytes)
{
    QFile file(m_folder->filePath(QStringLiteral("Config.dll")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TstRKHotKey::readConfig() const
{
    QFile file(m_folder->filePath(QStringLiteral("Config.dll")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TstRKHotKey::pressCtrlAltA(RKHotKey &hotKey)
{
    const auto mods = Qt::ControlModifier | Qt::AltModifier;
    QTest::keyPress(hotKey.txtHotKey, Qt::Key_A, mods);
    QTest::keyRelease(hotKey.txtHotKey, Qt::Key_A, mods);
}

bool TstRKHotKey::isFree(std::uint32_t key, std::uint32_t modifiers)
{
    GlobalHotKey probe;
    return probe.grab(key, modifiers);
}

void TstRKHotKey::capture_data()
{
    QTest::addColumn<QList<Stroke>>("strokes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("keyCode");
    QTest::addColumn<uint>("modKeyCode");
    const auto ctrl = Qt::ControlModifier, alt = Qt::AltModifier, shift = Qt::ShiftModifier;

    QTest::newRow("Ctrl alone") << QList<Stroke>{down(Qt::Key_Control), up(Qt::Key_Control, ctrl)}
                                << "无" << 0u << 0u;
    QTest::newRow("Ctrl held shows while down")
        << QList<Stroke>{down(Qt::Key_Control)} << "Ctrl + " << 0u << 2u;
    QTest::newRow("Ctrl Alt Shift F5")
        << QList<Stroke>{down(Qt::Key_Control), down(Qt::Key_Alt, ctrl),
                         down(Qt::Key_Shift, ctrl | alt), down(Qt::Key_F5, ctrl | alt | shift),
                         up(Qt::Key_F5, ctrl | alt | shift)}
        << "Ctrl + Alt + Shift + F5" << 0x74u << 7u;
    QTest::newRow("modifiers in their order whatever the pressing order")
        << QList<Stroke>{down(Qt::Key_Shift), down(Qt::Key_Alt, shift),
                         down(Qt::Key_Q, shift | alt)}
        << "Alt + Shift + Q" << 0x51u << 5u;
    QTest::newRow("left Windows key and a letter")
        << QList<Stroke>{down(Qt::Key_Super_L), down(Qt::Key_S, shift), up(Qt::Key_S, shift)}
        << "Win + Shift + S" << 0x53u << 12u;
    QTest::newRow("Win let go before the letter")
        << QList<Stroke>{down(Qt::Key_Super_L), up(Qt::Key_Super_L), down(Qt::Key_S)} << "S"
        << 0x53u << 0u;
    QTest::newRow("right Windows key is a key")
        << QList<Stroke>{down(Qt::Key_Super_R), up(Qt::Key_Super_R)} << "Right Windows" << 0x5Cu
        << 0u;
    QTest::newRow("Applications key ignored")
        << QList<Stroke>{down(Qt::Key_F9, ctrl), up(Qt::Key_F9, ctrl), down(Qt::Key_Menu)}
        << "Ctrl + F9" << 0x78u << 2u;
    QTest::newRow("keypad digit") << QList<Stroke>{down(Qt::Key_1, ctrl | Qt::KeypadModifier)}
                                  << "Ctrl + Num 1" << 0x61u << 2u;
    QTest::newRow("navigation key by its own name")
        << QList<Stroke>{down(Qt::Key_PageUp, alt)} << "Alt + Page Up" << 0x21u << 1u;
    QTest::newRow("a typed character is not typed")
        << QList<Stroke>{down(Qt::Key_K), up(Qt::Key_K)} << "K" << 0x4Bu << 0u;
    QTest::newRow("Esc and Enter are keys")
        << QList<Stroke>{down(Qt::Key_Escape), down(Qt::Key_Return, ctrl)} << "Ctrl + Enter"
        << 0x0Du << 2u;
}

void TstRKHotKey::capture()
{
    QFETCH(QList<Stroke>, strokes);
    QFETCH(QString, text);
    QFETCH(uint, keyCode);
    QFETCH(uint, modKeyCode);
    auto hotKey = control();
    for (const Stroke &s : strokes) {
        if (s.down)
            QTest::keyPress(hotKey->txtHotKey, s.key, s.modifiers);
        else
            QTest::keyRelease(hotKey->txtHotKey, s.key, s.modifiers);
    }
    QCOMPARE(hotKey->Text(), text);
    QCOMPARE(hotKey->KeyCode(), keyCode);
    QCOMPARE(hotKey->ModKeyCode(), modKeyCode);
    QCOMPARE(hotKey->txtHotKey->cursorPosition(), int(text.size()));
}

void TstRKHotKey::keyDownMayChangeTheKey()
{
    auto hotKey = control();
    QList<short> seen;
    connect(hotKey.get(), &RKHotKey::KeyDown, this, [&](short &keyCode, short &shift) {
        seen << keyCode << shift;
        keyCode = 0x42; // B
        shift = 0;
    });
    QTest::keyPress(hotKey->txtHotKey, Qt::Key_A, Qt::ControlModifier); // Ctrl goes down first
    QCOMPARE(seen, (QList<short>{0x11, 2, 0x41, 2}));
    QCOMPARE(hotKey->Text(), QStringLiteral("B"));
    QCOMPARE(hotKey->KeyCode(), 0x42u);
    QCOMPARE(hotKey->ModKeyCode(), 0u);
}

void TstRKHotKey::windowsKeysByTheirSymbols_data()
{
    // On X11 both Windows keys come as Meta, told apart by their key symbol.
    QTest::addColumn<quint32>("keySymbol");
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("keyCode");
    QTest::addColumn<uint>("modKeyCode");
    QTest::newRow("left: a modifier") << quint32(0xffeb) << "Win + F8" << 0x77u << 8u;
    QTest::newRow("right: a key") << quint32(0xffec) << "Right Windows" << 0x5Cu << 0u;
}

void TstRKHotKey::windowsKeysByTheirSymbols()
{
    QFETCH(quint32, keySymbol);
    QFETCH(QString, text);
    QFETCH(uint, keyCode);
    QFETCH(uint, modKeyCode);
    auto hotKey = control();
    QKeyEvent meta(QEvent::KeyPress, Qt::Key_Meta, Qt::MetaModifier, 0, keySymbol, 0);
    QApplication::sendEvent(hotKey->txtHotKey, &meta);
    if (keySymbol == 0xffeb)
        QTest::keyPress(hotKey->txtHotKey, Qt::Key_F8, Qt::MetaModifier);
    QCOMPARE(hotKey->Text(), text);
    QCOMPARE(hotKey->KeyCode(), keyCode);
    QCOMPARE(hotKey->ModKeyCode(), modKeyCode);
}

void TstRKHotKey::windowsKeyLetGoElsewhere()
{
    auto hotKey = control();
    QTest::keyPress(hotKey->txtHotKey, Qt::Key_Super_L);
    QCOMPARE(hotKey->Text(), QStringLiteral("Win + "));
    // The focus leaves while the key is down; it is let go elsewhere.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(hotKey->txtHotKey, &out);
    QTest::keyPress(hotKey->txtHotKey, Qt::Key_F8);
    QCOMPARE(hotKey->Text(), QStringLiteral("F8"));
    QCOMPARE(hotKey->ModKeyCode(), 0u);
}

void TstRKHotKey::tabLeavesTheBox()
{
    QWidget window;
    auto *hotKey = new RKHotKey(&window);
    hotKey->setObjectName(QStringLiteral("HK1"));
    hotKey->ReadProperties({});
    auto *next = new QLineEdit(&window);
    next->move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    hotKey->setFocus();
    QCOMPARE(window.focusWidget(), hotKey->txtHotKey);
    QTest::keyClick(hotKey->txtHotKey, Qt::Key_Tab);
    QCOMPARE(window.focusWidget(), next);
    QCOMPARE(hotKey->Text(), QStringLiteral("无"));
    QTest::keyClick(next, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(window.focusWidget(), hotKey->txtHotKey);
    QCOMPARE(hotKey->Text(), QStringLiteral("无"));
}

void TstRKHotKey::noContextMenu()
{
    auto hotKey = control();
    hotKey->show();
    QVERIFY(QTest::qWaitForWindowExposed(hotKey.get()));
    // Were a menu to open, it would run its own loop: close it from there.
    bool menuShown = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    closer.start(10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            hotKey->txtHotKey->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(hotKey->txtHotKey, &event);
    QCoreApplication::processEvents();
    QVERIFY(!menuShown);
    QVERIFY(!QApplication::activePopupWidget());
}

void TstRKHotKey::storedValues_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no Config.dll
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("keyCode");
    QTest::addColumn<uint>("modKeyCode");
    const QByteArray head = "[RKHotKey]\r\nHK1Text=Ctrl + Alt + F10\r\n";
    QTest::newRow("no file") << QByteArray() << "无" << 0u << 0u;
    QTest::newRow("a combination") << head + "HK1KeyCode=121\r\nHK1ModKeyCode=3\r\n"
                                   << "Ctrl + Alt + F10" << 121u << 3u;
    QTest::newRow("blanks around the numbers")
        << head + "HK1KeyCode=  121 \r\nHK1ModKeyCode=\t3\r\n"
        << "Ctrl + Alt + F10" << 121u << 3u;
    QTest::newRow("no section of its own")
        << QByteArray("[用户设置]\r\nHK1KeyCode=121\r\n") << "无" << 0u << 0u;
    QTest::newRow("largest key and mask")
        << QByteArray("[RKHotKey]\r\nHK1Text=x\r\nHK1KeyCode=254\r\nHK1ModKeyCode=15\r\n") << "x"
        << 254u << 15u;
    for (const char *bad : {"12a", "-1", "0x79", "1e2", "+5", "255", "99999999999999", ""}) {
        QTest::addRow("key code \"%s\"", bad)
            << head + "HK1KeyCode=" + bad + "\r\nHK1ModKeyCode=3\r\n"
            << "无" << 0u << 0u;
    }
    QTest::newRow("mask above 15") << head + "HK1KeyCode=121\r\nHK1ModKeyCode=16\r\n"
                                   << "无" << 0u << 0u;
    QTest::newRow("full-width digits")
        << head + "HK1KeyCode=" + Ansi::encode(u"１２１") + "\r\nHK1ModKeyCode=3\r\n"
        << "无" << 0u << 0u;
    // As the Windows program wrote it: GBK, any case, another key's text.
    QTest::newRow("GBK file of the Windows program")
        << Ansi::encode(u"[用户设置]\r\n增加音量=1\r\n[rkhotkey]\r\nhk1text=无\r\n"
                        u"HK1KEYCODE=0\r\nHK1ModKeyCode=0\r\n")
        << "无" << 0u << 0u;
}

void TstRKHotKey::storedValues()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, text);
    QFETCH(uint, keyCode);
    QFETCH(uint, modKeyCode);
    if (!file.isEmpty())
        writeConfig(file);
    auto hotKey = control();
    QCOMPARE(hotKey->Text(), text);
    QCOMPARE(hotKey->KeyCode(), keyCode);
    QCOMPARE(hotKey->ModKeyCode(), modKeyCode);
    QVERIFY(!hotKey->HotKeyEnabled()); // loading never switches it on
}

void TstRKHotKey::saveWritesThePathSetLast()
{
    auto first = control(QStringLiteral("HK1"));
    RKHotKey::Properties other;
    other.INIFileName = QStringLiteral("Other.ini");
    auto second = control(QStringLiteral("HK2"), other);
    QTest::keyPress(first->txtHotKey, Qt::Key_F10, Qt::ControlModifier | Qt::AltModifier);
    first->SaveSettings();
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("Config.dll"))));
    QFile file(m_folder->filePath(QStringLiteral("Other.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("[RKHotKey]\r\nHK1Text=Ctrl + Alt + F10\r\nHK1KeyCode=121\r\n"
                        "HK1ModKeyCode=3\r\n"));
}

void TstRKHotKey::designTimePropertiesWhileRunning()
{
    RKHotKey placed; // not running yet: the properties take
    QCOMPARE(placed.Text(), QStringLiteral("无"));
    QCOMPARE(placed.setINIFileName(QStringLiteral("Keys.ini")), 0);
    QCOMPARE(placed.setSettingLocation(0), 0);
    QCOMPARE(placed.setRegKeyName(QStringLiteral("Keys")), 0);
    QCOMPARE(ModIni::IniFileName(), m_folder->filePath(QStringLiteral("Keys.ini")));

    auto running = control();
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("INIFileName: error 382")));
    QCOMPARE(running->setINIFileName(QStringLiteral("Else.ini")), 382);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("SettingLocation: error 382")));
    QCOMPARE(running->setSettingLocation(1), 382);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("RegKeyName: error 382")));
    QCOMPARE(running->setRegKeyName(QStringLiteral("Else")), 382);
    QCOMPARE(running->INIFileName(), QStringLiteral("Config.dll"));
    QCOMPARE(running->SettingLocation(), 0);
    QCOMPARE(running->RegKeyName(), QStringLiteral("RKHotKey"));
    QCOMPARE(ModIni::IniFileName(), m_folder->filePath(QStringLiteral("Config.dll")));
}

void TstRKHotKey::settingsStoreRoundTrip()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    RKHotKey::Properties store;
    store.SettingLocation = 1;
    store.RegKeyName = QStringLiteral("RKRoundTrip");
    {
        auto hotKey = control(QStringLiteral("HK2"), store);
        QCOMPARE(hotKey->Text(), QStringLiteral("无"));
        QTest::keyPress(hotKey->txtHotKey, Qt::Key_Down, Qt::ShiftModifier);
        hotKey->SaveSettings();
    }
    auto again = control(QStringLiteral("HK2"), store);
    QCOMPARE(again->Text(), QStringLiteral("Shift + Down"));
    QCOMPARE(again->KeyCode(), 0x28u);
    QCOMPARE(again->ModKeyCode(), 4u);
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("Config.dll"))));
    qunsetenv("XDG_CONFIG_HOME");
}

void TstRKHotKey::switchedOnItFiresFromAnywhere()
{
    auto hotKey = control();
    pressCtrlAltA(*hotKey);
    DialogRecorder dialogs;
    hotKey->setHotKeyEnabled(true);
    QVERIFY(hotKey->HotKeyEnabled());
    QVERIFY(dialogs.requests().isEmpty());
    QVERIFY(!isFree(kKeyA, kCtrlAlt));

    QSignalSpy pressed(hotKey.get(), &RKHotKey::HotKeyPressed);
    xdotoolKey(QStringLiteral("ctrl+alt+a"));
    QVERIFY(pressed.wait(kWaitMs));
    xdotoolKey(QStringLiteral("ctrl+alt+a"));
    QTRY_COMPARE_WITH_TIMEOUT(pressed.size(), 2, kWaitMs);

    hotKey->setHotKeyEnabled(false);
    QVERIFY(!hotKey->HotKeyEnabled());
    QVERIFY(isFree(kKeyA, kCtrlAlt));
}

void TstRKHotKey::noKeyChosen()
{
    auto hotKey = control();
    DialogRecorder dialogs;
    hotKey->setHotKeyEnabled(true);
    QVERIFY(!hotKey->HotKeyEnabled());
    QCOMPARE(dialogs.requests().size(), 1);
    QCOMPARE(dialogs.requests().at(0).text, QStringLiteral("未设置热键"));
    QCOMPARE(dialogs.requests().at(0).title, QStringLiteral("错误"));
    QCOMPARE(dialogs.requests().at(0).icon, Dialogs::Icon::Stop);
    QCOMPARE(dialogs.requests().at(0).buttons, Dialogs::Buttons::Ok);
}

void TstRKHotKey::twoControlsOneCombination()
{
    auto first = control(QStringLiteral("HK1"));
    auto second = control(QStringLiteral("HK2"));
    pressCtrlAltA(*first);
    pressCtrlAltA(*second);
    DialogRecorder dialogs;
    first->setHotKeyEnabled(true);
    second->setHotKeyEnabled(true);
    QVERIFY(first->HotKeyEnabled());
    QVERIFY(!second->HotKeyEnabled());
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("热键冲突，请换一个热键。")});
    QCOMPARE(dialogs.requests().at(0).title, QStringLiteral("错误"));
    QCOMPARE(dialogs.requests().at(0).icon, Dialogs::Icon::Stop);
    QCOMPARE(second->Text(), QStringLiteral("无"));
    QCOMPARE(second->KeyCode(), 0u);
    QCOMPARE(second->ModKeyCode(), 0u);
    // The first one still fires, once a press.
    QSignalSpy firstPressed(first.get(), &RKHotKey::HotKeyPressed);
    QSignalSpy secondPressed(second.get(), &RKHotKey::HotKeyPressed);
    xdotoolKey(QStringLiteral("ctrl+alt+a"));
    QVERIFY(firstPressed.wait(kWaitMs));
    QCOMPARE(secondPressed.size(), 0);
}

void TstRKHotKey::editingLetsGo()
{
    auto hotKey = control();
    pressCtrlAltA(*hotKey);
    hotKey->setHotKeyEnabled(true);
    QVERIFY(hotKey->HotKeyEnabled());
    QTest::keyPress(hotKey->txtHotKey, Qt::Key_Control); // the first key of a new combination
    QVERIFY(!hotKey->HotKeyEnabled());
    QVERIFY(isFree(kKeyA, kCtrlAlt));
}

void TstRKHotKey::destroyingLetsGo()
{
    auto hotKey = control();
    pressCtrlAltA(*hotKey);
    hotKey->setHotKeyEnabled(true);
    QVERIFY(!isFree(kKeyA, kCtrlAlt));
    hotKey.reset();
    QVERIFY(isFree(kKeyA, kCtrlAlt));
}

int main(int argc, char *argv[])
{
    OwnDisplay display;
    if (!display.startAndUse())
        return 1;
    QApplication app(argc, argv);
    TstRKHotKey test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_rkhotkey.moc"
