"""The pop-up menus as a screen reader meets them, in the real program.

Each of the five menus, opened the way a listener opens it (the right button
over a line of the three lists, a press on the settings-bar button, the right
button on the tray icon), is in the accessibility tree while it is open, with
its caption, its items' captions and their press actions; an item chosen
through its press action, or with the keyboard, runs its command.
"""

import subprocess
import unittest

import aurilo_e2e as e

GAME_LIST = ["开始收听" + " " * 11, "添加收藏", "查看介绍", "分享给好友"]
FAVOURITES = ["开始收听", "移除收藏", "清空收藏", "查看介绍"]
RANDOM = ["开始收听", "添加收藏", "分享", "重载列表", "查看介绍"]
SETTINGS = ["访问主页", "设置", "退出"]
TRAY = ["显示", "隐藏", "退出"]

COPIED = "0|OK|复制信息成功，请通过Ctrl + V键复制给您的好友！ => OK"


class TestMenus(unittest.TestCase):
    def setUp(self):
        self.buses = e.Buses()
        self.addCleanup(self.buses.close)
        # A notification area, for the tray icon's menu.
        self.trayer = subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "48",
             "--heighttype", "pixel", "--height", "24", "--SetDockType", "false"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(lambda: e.stop_session(self.trayer, self.trayer.pid, "the tray host"))
        self.site = e.DemoSite()
        self.addCleanup(self.site.close)
        self.program = e.Program(self.site)
        self.addCleanup(self.program.close)

    def open_over_row(self, list_node, text, caption):
        """The right button over a line: the line is chosen, its menu opens."""
        line = e.wait_row(list_node, text)
        e.press_button(e.centre(line), 3)
        e.release_button(3)
        return e.wait_menu(self.app, caption)

    def check_items(self, menu, captions):
        items = [node for node in e.children(menu) if e.role_of(node) == "menu item"]
        self.assertEqual([e.name_of(item) for item in items], captions)
        for item in items:
            self.assertIn("Press", e.actions(item), e.name_of(item))
        return {e.name_of(item): item for item in items}

    def choose(self, menu, caption, captions):
        e.press(self.check_items(menu, captions)[caption])
        e.wait_for(lambda: not e.is_showing(menu), "the menu to close")

    def test_every_menu_is_read_and_chosen(self):
        program = self.program
        program.start(["Yes"])  # download the catalog at the first start
        self.app = e.application(program)
        main = e.wait_window(self.app, "Aurilo")
        resources = e.wait_find(main, "list", "List2")
        lines = e.wait_for(lambda: e.rows(resources), "the resources of the new catalog")
        category = e.rows(e.wait_find(main, "list", "List1"))[0]

        # The resource list's menu: "添加收藏" keeps the line the button was over.
        menu = self.open_over_row(resources, lines[1], "列表右键菜单")
        self.choose(menu, "添加收藏", GAME_LIST)
        program.wait_dialog("32|OK|《%s-%s》已经成功添加至收藏列表！请到收藏列表中查看！ => OK"
                            % (category, lines[1]))

        # The favourites' menu: "查看介绍" opens the details window.
        e.press(e.wait_find(main, "push button", "我的收藏"))
        favourites = e.wait_find(main, "list", "List4")
        favourite = e.wait_for(lambda: e.rows(favourites), "the favourite")[0]
        menu = self.open_over_row(favourites, favourite, "收藏列表右键菜单")
        self.choose(menu, "查看介绍", FAVOURITES)
        details = e.wait_window(self.app, "详细介绍")
        e.press(e.wait_find(details, "push button", "关闭"))
        e.wait_for(lambda: not e.window(self.app, "详细介绍"), "the details window to close")

        # The random list's menu: "分享" by its press action, then "查看介绍"
        # with the keyboard (the last item, one step up from the top).
        e.press(e.wait_find(main, "push button", "随便听听"))
        random_list = e.wait_find(main, "list", "ListSB")
        drawn = e.wait_for(lambda: e.rows(random_list), "the random list")
        menu = self.open_over_row(random_list, drawn[0], "随便听听")
        self.choose(menu, "分享", RANDOM)
        program.wait_dialog(COPIED)
        menu = self.open_over_row(random_list, drawn[0], "随便听听")
        e.wait_for(lambda: menu.getState().contains(e.atspi().STATE_SHOWING), "the menu shown")
        e.run("xdotool", "key", "Up", "Return")
        e.wait_window(self.app, "详细介绍")

        # The tray icon's menu: "隐藏" hides the main window, "显示" brings it back.
        icon = e.wait_for(e.tray_icon, "the icon in the tray host")
        e.click(icon, 3)
        self.choose(e.wait_menu(self.app, "托盘选项"), "隐藏", TRAY)
        e.wait_for(lambda: not e.window(self.app, "Aurilo"), "the main window to hide")
        # Another point of the icon: a second click at the same point so soon
        # after the first is a double click, which opens no menu.
        e.click((icon[0] + 7, icon[1]), 3)
        self.choose(e.wait_menu(self.app, "托盘选项"), "显示", TRAY)
        main = e.wait_window(self.app, "Aurilo")

        # The settings bar's menu, under its button: "设置" shows the settings
        # window, "退出" ends the program.
        button = e.wait_find(main, "push button", "设置栏")
        e.press_button(e.centre(button), 1)
        e.release_button(1)
        self.choose(e.wait_menu(self.app, "设置栏"), "设置", SETTINGS)
        e.wait_window(self.app, "Aurilo设置")
        # It opens in front, with the focus; Esc puts it away again.
        e.run("xdotool", "key", "Escape")
        e.wait_for(lambda: not e.window(self.app, "Aurilo设置"), "the settings window to hide")
        e.press_button(e.centre(button), 1)
        e.release_button(1)
        self.choose(e.wait_menu(self.app, "设置栏"), "退出", SETTINGS)
        self.assertEqual(program.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
