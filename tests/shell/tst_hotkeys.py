"""The volume hot key, system-wide, in the real program.

The settings file turns the "volume up" hot key on (Ctrl+Alt+F10). The
program is put away in the tray, its settings window stays hidden, and the
key is pressed on the X server itself (XTEST), where no window of the
program has the focus: every press raises the volume of the default output
of a sound server of the test's own by two points. Nothing else acts on that
server, so what its sink shows is the program's doing alone.

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


class TestHotKeys(unittest.TestCase):
    def setUp(self):
        leave_server_keys_to_programs(self)
        self.buses = e.Buses()
        self.addCleanup(self.buses.close)
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
        with open(self.program.file("Config.dll"), "wb") as config:
            config.write("".join(line + "\r\n" for line in CONFIG).encode("gbk"))
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

    def test_volume_up_key_in_the_tray(self):
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
