// System-wide hot keys on an X server of the test's own (Xvfb -noreset, so
// that the lock state survives between clients): presses come from xdotool,
// another program holding a combination is this test run again as a helper.
#include "globalhotkey.h"
#include "owndisplay.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// Letters: xdotool types a function key on Xvfb through a spare key code it
// maps for the moment, which no grab of the real key sees.
constexpr std::uint32_t kKeyA = 0x41, kKeyB = 0x42;
constexpr std::uint32_t kCtrlAlt = GlobalHotKey::Control | GlobalHotKey::Alt;
constexpr int kWaitMs = 20000;

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(kWaitMs);
    return QString::fromUtf8(process.readAllStandardOutput());
}

void key(const QString &combination)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), combination});
}

// Whether a lock is on: the modifier state the server reports with the
// pointer (Lock for Caps Lock, Mod2 for Num Lock on the default map).
bool lockOn(const QString &name)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_query_pointer_reply_t *reply =
        xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr);
    const std::uint16_t mask = reply ? reply->mask : 0;
    std::free(reply);
    xcb_disconnect(c);
    return mask & (name == QLatin1String("Caps Lock") ? XCB_MOD_MASK_LOCK : XCB_MOD_MASK_2);
}

void setLock(const QString &name, const QString &keyName, bool on)
{
    if (lockOn(name) != on)
        key(keyName);
}

// --- the helper: another X client -----------------------------------------

// Grabs A with Ctrl and Mod1 (Alt) on the root window, in the given lock
// variants ("0", "lock", "mod2", "lock+mod2"), prints "taken" or "refused"
// and holds what it took until its input closes.
int holdHelper(const QStringList &variants)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 2;
    const xcb_setup_t *setup = xcb_get_setup(c);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto *mapping = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr);
    xcb_keycode_t keyA = 0;
    const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    for (int i = 0; i < xcb_get_keyboard_mapping_keysyms_length(mapping); ++i) {
        if (symbols[i] == 0x61) { // XK_a
            keyA = xcb_keycode_t(setup->min_keycode + i / mapping->keysyms_per_keycode);
            break;
        }
    }
    std::free(mapping);
    bool refused = false;
    for (const QString &variant : variants) {
        std::uint16_t mods = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
        if (variant.contains(QLatin1String("lock")))
            mods |= XCB_MOD_MASK_LOCK;
        if (variant.contains(QLatin1String("mod2")))
            mods |= XCB_MOD_MASK_2;
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(c, 1, root, mods, keyA, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    std::cout << (refused ? "refused" : "taken") << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    xcb_disconnect(c);
    return 0;
}

// The helper run as a child: started, its answer read, kept until stop().
class OtherClient
{
public:
    ~OtherClient() { stop(); }

    QString hold(const QStringList &variants)
    {
        m_process.start(QCoreApplication::applicationFilePath(),
                        QStringList{QStringLiteral("--hold")} + variants);
        if (!m_process.waitForStarted(kWaitMs))
            return {};
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(kWaitMs))
                return {};
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(kWaitMs))
            m_process.kill();
        m_process.waitForFinished(kWaitMs);
    }

private:
    QProcess m_process;
};

const QStringList kAllVariants{QStringLiteral("0"), QStringLiteral("lock"), QStringLiteral("mod2"),
                               QStringLiteral("lock+mod2")};

} // namespace

class TstGlobalHotKey : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firesOnceWhateverTheLocks_data();
    void firesOnceWhateverTheLocks();
    void anotherModifierIsAnotherCombination();
    void heldByAnotherProgram();
    void twoKeysOfThisProgram();
    void lettingGoFreesEveryVariant();
    void noSuchKey();

private:
    // Presses the sentinel (Ctrl+Alt+B) and waits for it: every press sent
    // before it has been delivered by then.
    bool sentinel();

    GlobalHotKey *m_sentinel = nullptr;
};

void TstGlobalHotKey::init()
{
    m_sentinel = new GlobalHotKey(this);
    QVERIFY(m_sentinel->grab(kKeyB, kCtrlAlt));
}

void TstGlobalHotKey::cleanup()
{
    delete m_sentinel;
    m_sentinel = nullptr;
    // The display is the test's own, but the next row starts clean.
    setLock(QStringLiteral("Num Lock"), QStringLiteral("Num_Lock"), false);
    setLock(QStringLiteral("Caps Lock"), QStringLiteral("Caps_Lock"), false);
}

bool TstGlobalHotKey::sentinel()
{
    QSignalSpy spy(m_sentinel, &GlobalHotKey::pressed);
    key(QStringLiteral("ctrl+alt+b"));
    return spy.wait(kWaitMs) && spy.size() == 1;
}

void TstGlobalHotKey::firesOnceWhateverTheLocks_data()
{
    QTest::addColumn<bool>("numLock");
    QTest::addColumn<bool>("capsLock");
    QTest::newRow("no lock") << false << false;
    QTest::newRow("Num Lock") << true << false;
    QTest::newRow("Caps Lock") << false << true;
    QTest::newRow("both") << true << true;
}

void TstGlobalHotKey::firesOnceWhateverTheLocks()
{
    QFETCH(bool, numLock);
    QFETCH(bool, capsLock);
    setLock(QStringLiteral("Num Lock"), QStringLiteral("Num_Lock"), numLock);
    setLock(QStringLiteral("Caps Lock"), QStringLiteral("Caps_Lock"), capsLock);
    QCOMPARE(lockOn(QStringLiteral("Num Lock")), numLock);
    QCOMPARE(lockOn(QStringLiteral("Caps Lock")), capsLock);

    GlobalHotKey hotKey;
    QVERIFY(hotKey.grab(kKeyA, kCtrlAlt));
    QVERIFY(hotKey.isGrabbed());
    QSignalSpy pressed(&hotKey, &GlobalHotKey::pressed);
    key(QStringLiteral("ctrl+alt+a"));
    QVERIFY(pressed.wait(kWaitMs));
    QVERIFY(sentinel());
    QCOMPARE(pressed.size(), 1);
}

void TstGlobalHotKey::anotherModifierIsAnotherCombination()
{
    GlobalHotKey hotKey;
    QVERIFY(hotKey.grab(kKeyA, kCtrlAlt));
    QSignalSpy pressed(&hotKey, &GlobalHotKey::pressed);
    key(QStringLiteral("ctrl+alt+shift+a"));
    key(QStringLiteral("ctrl+a"));
    QVERIFY(sentinel());
    QCOMPARE(pressed.size(), 0);
}

void TstGlobalHotKey::heldByAnotherProgram()
{
    // The other program holds one variant only: Num Lock on.
    OtherClient other;
    QCOMPARE(other.hold({QStringLiteral("mod2")}), QStringLiteral("taken"));
    GlobalHotKey hotKey;
    QVERIFY(!hotKey.grab(kKeyA, kCtrlAlt));
    QVERIFY(!hotKey.isGrabbed());
    other.stop();

    // Nothing of the refused grab stays: another program gets every variant.
    OtherClient next;
    QCOMPARE(next.hold(kAllVariants), QStringLiteral("taken"));
    next.stop();
    QVERIFY(hotKey.grab(kKeyA, kCtrlAlt));
}

void TstGlobalHotKey::twoKeysOfThisProgram()
{
    GlobalHotKey first, second;
    QVERIFY(first.grab(kKeyA, kCtrlAlt));
    QVERIFY(!second.grab(kKeyA, kCtrlAlt));
    QVERIFY(first.isGrabbed());
    QVERIFY(!second.isGrabbed());

    first.ungrab();
    QVERIFY(second.grab(kKeyA, kCtrlAlt));
    QSignalSpy pressedFirst(&first, &GlobalHotKey::pressed);
    QSignalSpy pressedSecond(&second, &GlobalHotKey::pressed);
    key(QStringLiteral("ctrl+alt+a"));
    QVERIFY(pressedSecond.wait(kWaitMs));
    QVERIFY(sentinel());
    QCOMPARE(pressedFirst.size(), 0);
    QCOMPARE(pressedSecond.size(), 1);
}

void TstGlobalHotKey::lettingGoFreesEveryVariant()
{
    {
        GlobalHotKey hotKey;
        QVERIFY(hotKey.grab(kKeyA, kCtrlAlt));
        OtherClient other;
        QCOMPARE(other.hold(kAllVariants), QStringLiteral("refused"));
    }
    // Gone with its object.
    OtherClient other;
    QCOMPARE(other.hold(kAllVariants), QStringLiteral("taken"));
}

void TstGlobalHotKey::noSuchKey()
{
    GlobalHotKey hotKey;
    QVERIFY(!hotKey.grab(0, kCtrlAlt));
    QVERIFY(!hotKey.grab(0xFF, 0));
    QVERIFY(!hotKey.isGrabbed());
}

int main(int argc, char *argv[])
{
    if (argc > 1 && std::string(argv[1]) == "--hold") {
        QStringList variants;
        for (int i = 2; i < argc; ++i)
            variants.append(QString::fromLocal8Bit(argv[i]));
        return holdHelper(variants);
    }
    OwnDisplay display;
    if (!display.startAndUse())
        return 1;
    QGuiApplication app(argc, argv);
    TstGlobalHotKey test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_globalhotkey.moc"
