// The time from a system-wide hot-key press to the sound server's new volume
// (goal: under 30 ms). Ctrl+Alt+F10 is grabbed with GlobalHotKey and turns the
// master volume up through SystemVolume, as the settings window's "volume up"
// key does. Each press is sent through XTEST to an X server of the benchmark's
// own (Xvfb); the volume belongs to a PulseAudio server of its own with a null
// sink and is read back with pactl; both servers end with the benchmark. The
// X server's own keys are turned off on its keyboard map ("srvrkeys:none"), as
// on a desktop that leaves Ctrl+Alt+F1..F12 to programs: otherwise the server
// takes Ctrl+Alt+F10 as a switch to the tenth console and no grab sees it.
//
// Needs Xvfb, setxkbmap, pulseaudio and pactl installed.
#include "globalhotkey.h"
#include "owndisplay.h"
#include "ownsoundserver.h"
#include "systemvolume.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#define XK_MISCELLANY
#include <X11/keysymdef.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kPresses = 20;
constexpr double kGoalMs = 30.0;
constexpr std::uint32_t kVkF10 = 0x79;
constexpr int kStartPercent = 50;
constexpr int kExpectedPercent = 52; // one step up
constexpr int kWaitMs = 20000;

// The X server's own keys off on a display's keyboard map, so that
// Ctrl+Alt+F10 reaches programs.
bool leaveServerKeysToPrograms(const QString &display)
{
    QProcess keymap;
    keymap.start(QStringLiteral("setxkbmap"),
                 {QStringLiteral("-display"), display, QStringLiteral("-option"),
                  QStringLiteral("srvrkeys:none")});
    return keymap.waitForFinished(kWaitMs) && keymap.exitStatus() == QProcess::NormalExit &&
           keymap.exitCode() == 0;
}

// Whether every channel of the sink is at this percentage.
bool volumeIs(const OwnSoundServer &sound, int percent)
{
    const QList<int> channels = sound.volume();
    return !channels.isEmpty() &&
           std::all_of(channels.begin(), channels.end(), [percent](int c) { return c == percent; });
}

// Key presses and releases through XTEST, on a connection of its own: the
// server handles them as if they came from the keyboard, so passive grabs
// see them.
class FakeKeyboard
{
public:
    FakeKeyboard() : m_c(xcb_connect(nullptr, nullptr)) {}
    ~FakeKeyboard() { xcb_disconnect(m_c); }

    bool open()
    {
        if (xcb_connection_has_error(m_c))
            return false;
        const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(m_c, &xcb_test_id);
        if (!xtest || !xtest->present)
            return false;
        const xcb_setup_t *setup = xcb_get_setup(m_c);
        m_root = xcb_setup_roots_iterator(setup).data->root;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto *mapping = xcb_get_keyboard_mapping_reply(
            m_c, xcb_get_keyboard_mapping(m_c, setup->min_keycode, count), nullptr);
        if (!mapping)
            return false;
        const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping);
        const int length = xcb_get_keyboard_mapping_keysyms_length(mapping);
        auto keycodeOf = [&](xcb_keysym_t keysym) -> xcb_keycode_t {
            for (int i = 0; i < length; ++i) {
                if (symbols[i] == keysym)
                    return xcb_keycode_t(setup->min_keycode + i / mapping->keysyms_per_keycode);
            }
            return 0;
        };
        control = keycodeOf(XK_Control_L);
        alt = keycodeOf(XK_Alt_L);
        f10 = keycodeOf(XK_F10);
        std::free(mapping);
        return control && alt && f10;
    }

    void press(xcb_keycode_t key) { fake(XCB_KEY_PRESS, key); }
    void release(xcb_keycode_t key) { fake(XCB_KEY_RELEASE, key); }
    void flush() { xcb_flush(m_c); }

    xcb_keycode_t control = 0, alt = 0, f10 = 0;

private:
    void fake(std::uint8_t type, xcb_keycode_t key)
    {
        xcb_test_fake_input(m_c, type, key, XCB_CURRENT_TIME, m_root, 0, 0, 0);
    }

    xcb_connection_t *m_c;
    xcb_window_t m_root = 0;
};

int fail(const char *message)
{
    std::fprintf(stderr, "bench_hotkey: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // Declared before the application, so that they outlive it and end
    // with the benchmark whichever way it returns.
    OwnDisplay display;
    const QString displayName = display.start();
    if (displayName.size() < 2)
        return fail("Xvfb did not start");
    if (!leaveServerKeysToPrograms(displayName))
        return fail("setxkbmap failed on the benchmark's display");
    OwnSoundServer sound(QStringLiteral("hotkey_bench"));
    if (!sound.start())
        return fail("pulseaudio did not start");

    qputenv("DISPLAY", displayName.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("PULSE_SERVER", sound.address().toLocal8Bit());
    QGuiApplication app(argc, argv);

    GlobalHotKey hotKey;
    if (!hotKey.grab(kVkF10, GlobalHotKey::Control | GlobalHotKey::Alt))
        return fail("could not grab Ctrl+Alt+F10");
    QObject::connect(&hotKey, &GlobalHotKey::pressed,
                     [] { SystemVolume::instance().run(SystemVolume::VolumeUp); });

    FakeKeyboard keyboard;
    if (!keyboard.open())
        return fail("no XTEST, or no Control_L, Alt_L or F10 on the keyboard map");

    std::vector<double> times;
    for (int i = 0; i < kPresses; ++i) {
        sound.setVolume({kStartPercent});
        if (!volumeIs(sound, kStartPercent))
            return fail("could not set the start volume with pactl");

        QEventLoop loop;
        QElapsedTimer timer;
        double ms = -1;
        QObject::connect(&SystemVolume::instance(), &SystemVolume::applied, &loop, [&](bool done) {
            if (done)
                ms = double(timer.nsecsElapsed()) / 1e6;
            loop.quit();
        });
        QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
        keyboard.press(keyboard.control);
        keyboard.press(keyboard.alt);
        timer.start();
        keyboard.press(keyboard.f10);
        keyboard.release(keyboard.f10);
        keyboard.release(keyboard.alt);
        keyboard.release(keyboard.control);
        keyboard.flush();
        loop.exec();
        if (ms < 0)
            return fail("a press brought no new volume");
        times.push_back(ms);
    }

    // The figure is of a real change: the last press took the sink one step up.
    if (!volumeIs(sound, kExpectedPercent)) {
        QString seen;
        for (int v : sound.volume())
            seen += QString::number(v) + QStringLiteral("% ");
        std::fprintf(stderr, "bench_hotkey: the sink is at %s, not %d%%, after the last press\n",
                     qPrintable(seen.trimmed()), kExpectedPercent);
        return 1;
    }

    std::sort(times.begin(), times.end());
    const double median = (times[(kPresses - 1) / 2] + times[kPresses / 2]) / 2;
    std::printf("hot key -> new sink volume: median %.1f ms (min %.1f, max %.1f) over %d presses; "
                "goal < %.0f ms\n",
                median, times.front(), times.back(), kPresses, kGoalMs);
    return 0;
}
