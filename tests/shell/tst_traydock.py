"""Minimising, the tray and the docked player, in the real program under a
real window manager (openbox), without and then with a notification area.

Without a tray host, minimising must not hide the main window for good: it
is minimised to the task bar, and the window manager brings it back. Once a
tray host runs, minimising hides the window in the tray and the icon brings
it back. Either way the docked player window leaves with the main window and
comes back at its docked place, its button pressed throughout.
"""

import subprocess
import unittest

import aurilo_e2e as e


def wm_state(window_id):
    """The window manager's state of a window: "Normal", "Iconic", or None
    (withdrawn: the program hid it)."""
    out = e.run("xprop", "-id", window_id, "WM_STATE")
    for state in ("Normal", "Iconic", "Withdrawn"):
        if "window state: " + state in out:
            return None if state == "Withdrawn" else state
    return None


def main_window_id():
    for window_id in e.x_windows("^Aurilo$", only_visible=False):
        if e.x_geometry(window_id)[2] > 100:
            return window_id
    return None


def player_window_id():
    ids = e.x_windows("^(欢迎使用Aurilo|您当前正在收听的是)", only_visible=False)
    return ids[0] if ids else None


class TestTrayDock(unittest.TestCase):
    def setUp(self):
        self.buses = e.Buses()
        self.addCleanup(self.buses.close)
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(lambda: e.stop_session(self.wm, self.wm.pid, "the window manager"))
        e.wait_for(lambda: "window id" in e.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                   "the window manager")
        self.site = e.DemoSite()
        self.addCleanup(self.site.close)
        self.program = e.Program(self.site)
        self.addCleanup(self.program.close)

    def start_tray_host(self):
        trayer = subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "48",
             "--heighttype", "pixel", "--height", "24"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(lambda: e.stop_session(trayer, trayer.pid, "the tray host"))
        # The panel first maps at the screen's corner, then the window manager
        # puts it at the bottom edge asked for: the icon is there once it is
        # in the panel's strip.
        screen_height = int(e.run("xdotool", "getdisplaygeometry").split()[1])

        def placed_icon():
            at = e.tray_icon()
            return at if at and at[1] >= screen_height - 24 else None

        return e.wait_for(placed_icon, "the icon in the tray host at the bottom edge")

    def pressed(self, node):
        return node.getState().contains(e.atspi().STATE_PRESSED)

    def test_minimise_without_and_with_tray(self):
        # The player window opens with the program, docked at the main window.
        with open(self.program.file("Config.dll"), "wb") as config:
            config.write("[用户设置]\r\n开启启动=1\r\n".encode("gbk"))
        self.program.start(["Yes"])
        app = e.application(self.program)
        main = e.wait_window(app, "Aurilo")
        e.wait_window(app, "播放窗口")
        player_button = e.wait_find(main, "push button", "播放窗口")
        minimise = e.wait_find(main, "push button", "最小化")
        main_id = e.wait_for(main_window_id, "the main window's X window")
        player_id = e.wait_for(player_window_id, "the player's X window")
        e.wait_for(lambda: wm_state(player_id) == "Normal", "the player managed")
        docked_at = e.x_geometry(player_id)[:2]
        main_at = e.x_geometry(main_id)
        self.assertTrue(self.pressed(player_button))

        # No notification area: minimised to the task bar, not hidden.
        e.click(e.centre(minimise))

        e.wait_for(lambda: wm_state(main_id) == "Iconic", "the main window minimised")
        e.wait_for(lambda: not e.window(app, "播放窗口"), "the player to leave with it")
        self.assertTrue(self.pressed(player_button))
        e.run("xdotool", "windowactivate", main_id)  # as the task bar does
        e.wait_for(lambda: e.window(app, "Aurilo"), "the main window back")
        e.wait_for(lambda: e.window(app, "播放窗口"), "the player back")
        e.wait_for(lambda: e.x_geometry(player_id)[:2] == docked_at, "the player at its docked place")
        self.assertEqual(e.x_geometry(main_id), main_at)
        self.assertTrue(self.pressed(player_button))

        # A tray host starts: minimising hides the window in the tray.
        icon = self.start_tray_host()
        e.click(e.centre(minimise))
        e.wait_for(lambda: not e.window(app, "Aurilo"), "the main window hidden")
        e.wait_for(lambda: wm_state(main_id) is None, "the main window withdrawn")
        e.wait_for(lambda: not e.window(app, "播放窗口"), "the player to leave with it")
        self.assertTrue(self.pressed(player_button))
        e.click(icon)
        e.wait_for(lambda: e.window(app, "Aurilo"), "the main window back from the tray")
        e.wait_for(lambda: e.window(app, "播放窗口"), "the player back")
        e.wait_for(lambda: e.x_geometry(player_id)[:2] == docked_at, "the player at its docked place")
        self.assertTrue(self.pressed(player_button))


if __name__ == "__main__":
    unittest.main(verbosity=2)
