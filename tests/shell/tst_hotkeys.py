"""The volume hot keys, system-wide, in the real program.

In the first test the settings file turns the "volume up" hot key on
(Ctrl+Alt+F10). The program is put away in the tray, its settings window
stays hidden, and the key is pressed on the X server itself (XTEST), where no
window of the program has the focus: every press raises the volume of the
default output of a sound server of the test's own by two points. Nothing
else acts on that server, so what its sink shows is the program's doing
alone.

In the second a listener sets the "volume down" key from scratch: presses a
combination in its box in the settings window, ticks the row, saves, closes
the window, and the combination lowers the volume.

An X server's usual keyboard map keeps Ctrl+Alt+F1..F12 for itself (they
switch virtual terminals) and hands them to no program, grab or not. For the
test the server's keys are off (the option "srvrkeys:none"); the display's
own map is made again at the end.
"""

import ctypes
import os
import re
import subprocess
import unittest

import aurilo_e2e as e

# The settings file as the program keeps it: code page 936, CRLF. Only the
# "volume up" key is on, on Ctrl+Alt+F10 (virtual key 121, mask 1 Alt + 2 Ctrl).
CONFIG = [
    "[用户设置]",
    "版本自动更新=0",
    "开启启动=0",
    "欢迎动画=0",
    "自检测=0",
    "增加音量=1",
    "减少音量=0",
    "禁音=0",
    "[RKHotKey]",
    "HK1Text=Ctrl + Alt + F10",
    "HK1KeyCode=121",
    "HK1ModKeyCode=3",
]

# Xlib's modifier masks, and the error of a grab another client holds.
SHIFT_MASK = 1 << 0
CONTROL_MASK = 1 << 2
BAD_ACCESS = 10


class XErrorEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("display", ctypes.c_void_p), ("resourceid", ctypes.c_ulong),
                ("serial", ctypes.c_ulong), ("error_code", ctypes.c_ubyte),
                ("request_code", ctypes.c_ubyte), ("minor_code", ctypes.c_ubyte)]


X_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.POINTER(XErrorEvent))


class Keyboard:
    """Key presses made by the X server's test extension, by key code: the
    server handles them as it handles a real keyboard's, passive grabs
    included. (xdotool types a function key on Xvfb through a spare key code
    mapped for the moment, which a grab of the real key never sees.)"""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x11.XStringToKeysym.restype = ctypes.c_ulong
        self.x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
        self.x11.XKeysymToKeycode.restype = ctypes.c_ubyte
        self.x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.x11.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x11.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong,
                                      ctypes.c_int, ctypes.c_int, ctypes.c_int]
        self.x11.XUngrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong]
        self.x11.XSetErrorHandler.restype = ctypes.c_void_p
        self.x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]
        self.xtst.XTestQueryExtension.restype = ctypes.c_int
        self.xtst.XTestQueryExtension.argtypes = [ctypes.c_void_p] + [ctypes.POINTER(ctypes.c_int)] * 4
        self.xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                                ctypes.c_ulong]
        self.display = self.x11.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("no X display")
        numbers = [ctypes.c_int() for _ in range(4)]
        if not self.xtst.XTestQueryExtension(self.display, *(ctypes.byref(n) for n in numbers)):
            self.close()
            raise RuntimeError("the X server has no XTEST extension")

    def keycode(self, name):
        code = self.x11.XKeysymToKeycode(self.display, self.x11.XStringToKeysym(name.encode()))
        if not code:
            raise AssertionError("no key for %s on this display" % name)
        return code

    def press(self, *names):
        """Holds the keys down in order and lets them go in reverse order."""
        codes = [self.keycode(name) for name in names]
        for code in codes:
            self.xtst.XTestFakeKeyEvent(self.display, code, True, 0)
        for code in reversed(codes):
            self.xtst.XTestFakeKeyEvent(self.display, code, False, 0)
        self.x11.XFlush(self.display)
        # Back from the server: it has handled every event sent.
        self.x11.XSync(self.display, False)

    def can_grab(self, name, modifiers):
        """Whether this client may have the key with exactly these modifiers
        for the whole desktop, that is whether no other client holds it; a
        grab it gets is let go at once."""
        errors = []

        def record(display, error):
            errors.append(error.contents.error_code)
            return 0

        handler = X_ERROR_HANDLER(record)
        previous = self.x11.XSetErrorHandler(ctypes.cast(handler, ctypes.c_void_p))
        try:
            code = self.keycode(name)
            root = self.x11.XDefaultRootWindow(self.display)
            self.x11.XGrabKey(self.display, code, modifiers, root, True, 1, 1)  # GrabModeAsync
            self.x11.XSync(self.display, False)
            if not errors:
                self.x11.XUngrabKey(self.display, code, modifiers, root)
                self.x11.XSync(self.display, False)
        finally:
            self.x11.XSetErrorHandler(previous)
        if errors and errors != [BAD_ACCESS]:
            raise AssertionError("the grab of %s failed with X errors %s" % (name, errors))
        return not errors

    def close(self):
        if self.display:
            self.x11.XCloseDisplay(self.display)
            self.display = None


def leave_server_keys_to_programs(test):
    """Gives the display a keyboard map without the X server's own Ctrl+Alt
    keys until the test's end, when the map is made again from the rules,
    layout and options it was made from."""
    query = e.run("setxkbmap", "-query")
    options = re.search(r"^options:[ \t]*(\S+)", query, re.M)
    restore = ["setxkbmap", "-option", ""] + (["-option", options.group(1)] if options else [])
    test.addCleanup(subprocess.run, restore, check=True, timeout=e.TIMEOUT)
    subprocess.run(["setxkbmap", "-option", "srvrkeys:none"], check=True, timeout=e.TIMEOUT)


def has_state(node, state):
    try:
        return node.getState().contains(state)
    except Exception:  # the node went away while it was read
        return False


def toggle(node):
    """Runs a check box's toggle action, as a screen reader's user would."""
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "toggle":
            action.doAction(i)
            return
    raise AssertionError("%r has no toggle action" % e.name_of(node))


class TestHotKeys(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # One pair of buses for the class: the accessibility library keeps
        # the bus it first connected to for the rest of the process.
        cls.buses = e.Buses()
        cls.addClassCleanup(cls.buses.close)

    def setUp(self):
        leave_server_keys_to_programs(self)
        self.sound = e.SoundServer()
        self.addCleanup(self.sound.close)
        self.site = e.DemoSite()
        self.addCleanup(self.site.close)
        # A notification area for the program to be put away in.
        tray = subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "48",
             "--heighttype", "pixel", "--height", "24"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(lambda: e.stop_session(tray, tray.pid, "the tray host"))
        self.program = e.Program(self.site, self.sound.environment())
        self.addCleanup(self.program.close)
        self.keyboard = Keyboard()
        self.addCleanup(self.keyboard.close)

    def pactl(self, *arguments):
        done = subprocess.run(["pactl"] + list(arguments), env=self.sound.environment(os.environ),
                              capture_output=True, text=True, timeout=e.TIMEOUT, check=True)
        return done.stdout

    def volume(self):
        """The null sink's volume, a percentage per channel."""
        out = self.pactl("get-sink-volume", e.SoundServer.SINK)
        line = next(line for line in out.split("\n") if line.startswith("Volume:"))
        return [int(percent) for percent in re.findall(r"(\d+)%", line)]

    def wait_volume(self, percent):
        seen = []

        def reached():
            seen[:] = self.volume()
            return seen and all(channel == percent for channel in seen)

        try:
            e.wait_for(reached, "the volume at %d%%" % percent)
        except AssertionError as error:
            raise AssertionError("%s; it stays at %s" % (error, seen)) from None

    def config(self):
        """Config.dll as the program wrote it, or None while it is not there
        or not whole."""
        try:
            with open(self.program.file("Config.dll"), "rb") as config:
                return config.read().decode("gbk")
        except (FileNotFoundError, UnicodeDecodeError):
            return None

    def wait_config(self, lines):
        """Waits until Config.dll has all these lines."""
        def written():
            text = self.config()
            return text is not None and set(lines) <= set(text.split("\r\n"))

        try:
            e.wait_for(written, "the lines %s in Config.dll" % lines)
        except AssertionError as error:
            raise AssertionError("%s; it reads %r" % (error, self.config())) from None

    def test_volume_up_key_in_the_tray(self):
        with open(self.program.file("Config.dll"), "wb") as config:
            config.write("".join(line + "\r\n" for line in CONFIG).encode("gbk"))
        self.pactl("set-sink-volume", e.SoundServer.SINK, "50%")
        self.program.start(["Yes"])  # download the catalog at the first start
        app = e.application(self.program)
        main = e.wait_window(app, "Aurilo")
        # A key the program cannot take is told at start-up, before the window.
        self.assertEqual([line for line in self.program.dialogs() if "热键" in line], [])
        e.wait_for(e.tray_icon, "the program's icon in the tray")
        e.press(e.wait_find(main, "push button", "最小化"))
        e.wait_for(lambda: not e.window(app, "Aurilo"), "the main window put away in the tray")
        self.assertIsNone(e.window(app, "Aurilo设置"), "the settings window is shown")
        # Starting, reading the settings and taking the keys leave the volume alone.
        self.assertEqual(self.volume(), [50, 50])

        self.keyboard.press("Control_L", "Alt_L", "F10")
        self.wait_volume(52)
        self.keyboard.press("Control_L", "Alt_L", "F10")
        self.wait_volume(54)
        self.assertTrue(self.program.running())
        self.assertIsNone(e.window(app, "Aurilo设置"), "the settings window came up")
        self.assertIsNone(e.window(app, "Aurilo"), "the main window came back")

    def test_volume_down_key_set_by_the_listener(self):
        atspi = e.atspi()
        self.pactl("set-sink-volume", e.SoundServer.SINK, "50%")
        self.program.start(["Yes"])  # download the catalog at the first start
        app = e.application(self.program)
        main = e.wait_window(app, "Aurilo")
        # The catalog in: the download's windows have come and gone.
        resources = e.wait_find(main, "list", "List2")
        e.wait_for(lambda: e.rows(resources), "the resources of the new catalog")

        e.press(e.wait_find(main, "push button", "设置"))
        settings = e.wait_window(app, "Aurilo设置")
        box = e.wait_find(settings, "text", "减少音量热键")
        row = e.wait_find(settings, "check box", "减少音量")
        save = e.wait_find(settings, "push button", "保存")
        self.assertEqual(e.text_of(box), "无")
        self.assertFalse(has_state(row, atspi.STATE_CHECKED))
        self.assertTrue(self.keyboard.can_grab("F7", CONTROL_MASK | SHIFT_MASK))

        # The keys go to the box that has the keyboard focus.
        e.click(e.centre(box))
        e.wait_for(lambda: has_state(box, atspi.STATE_FOCUSED), "the keyboard focus in the box")
        self.keyboard.press("Control_L", "Shift_L", "F7")
        e.wait_for(lambda: e.text_of(box) == "Ctrl + Shift + F7", "the combination in the box")
        # A key pressed next is another combination; nothing is typed.
        self.keyboard.press("q")
        e.wait_for(lambda: e.text_of(box) == "Q", "the letter alone in the box")
        self.keyboard.press("Control_L", "Shift_L", "F7")
        e.wait_for(lambda: e.text_of(box) == "Ctrl + Shift + F7", "the combination in the box again")

        toggle(row)
        e.wait_for(lambda: has_state(row, atspi.STATE_CHECKED), "the row ticked")
        e.press(save)
        # F7 is virtual key 118; the mask is 2 Ctrl + 4 Shift.
        self.wait_config(["减少音量=1", "HK2Text=Ctrl + Shift + F7", "HK2KeyCode=118",
                          "HK2ModKeyCode=6"])
        self.assertNotIn("\n", self.config().replace("\r\n", ""), "a line not ended by CRLF")

        # Away from the box, where a press would be a new combination: Esc
        # on the button hides the window.
        save.queryComponent().grabFocus()
        e.wait_for(lambda: has_state(save, atspi.STATE_FOCUSED), "the keyboard focus on the button")
        self.keyboard.press("Escape")
        e.wait_for(lambda: not e.window(app, "Aurilo设置"), "the settings window to hide")
        self.assertEqual(self.volume(), [50, 50])

        self.keyboard.press("Control_L", "Shift_L", "F7")
        self.wait_volume(48)
        self.assertEqual(e.text_of(box), "Ctrl + Shift + F7")
        self.assertEqual([line for line in self.program.dialogs() if "热键" in line], [])

        # Unticked, the row lets go of the combination for the desktop.
        self.assertFalse(self.keyboard.can_grab("F7", CONTROL_MASK | SHIFT_MASK))
        e.press(e.wait_find(main, "push button", "设置"))
        e.wait_window(app, "Aurilo设置")
        toggle(row)
        e.wait_for(lambda: not has_state(row, atspi.STATE_CHECKED), "the row unticked")
        e.wait_for(lambda: self.keyboard.can_grab("F7", CONTROL_MASK | SHIFT_MASK),
                   "the combination free for other programs")
        self.assertTrue(self.program.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
