"""A listener's evening with the real program on the demo site.

Choose a category, open two resources, read the details from the list's
menu, play one and keep it among the favourites; then start the program again
and find both in the history and the favourite in the favourites, each
playing. Controls are found in the accessibility tree and clicked with real
X input; every step waits for what it needs to see.
"""

import os
import sqlite3
import unittest

import aurilo_e2e as e


def playing(name):
    return "您当前正在收听的是：《" + name + "》"


def player_title():
    """The player window's caption, as the window system shows it."""
    for window_id in e.x_windows("^(欢迎使用Aurilo|您当前正在收听的是)"):
        # The window system's title carries the program's name after the caption.
        return e.x_name(window_id).removesuffix(" — Aurilo")
    return None


def wait_playing(name):
    e.wait_for(lambda: player_title() == playing(name), "the player to play " + name)


def stored_names(path):
    """The names of a store's rows, in their order, without their padding."""
    with sqlite3.connect("file:%s?mode=ro" % path, uri=True) as db:
        return [row[0].rstrip(" ") for row in db.execute("select name from Favorite order by rowid")]


def selected(row):
    return row.getState().contains(e.atspi().STATE_SELECTED)


def choose(list_node, text):
    """Clicks a row and waits until the list has it chosen."""
    row = e.wait_row(list_node, text)
    e.click(e.centre(row))
    e.wait_for(lambda: selected(row), "the row %r to be chosen" % text)
    return row


class TestListener(unittest.TestCase):
    def setUp(self):
        self.buses = e.Buses()
        self.addCleanup(self.buses.close)
        self.site = e.DemoSite()
        self.addCleanup(self.site.close)
        self.program = e.Program(self.site)
        self.addCleanup(self.program.close)

    def main_window(self):
        self.app = e.application(self.program)
        return e.wait_window(self.app, "Aurilo")

    def test_an_evening(self):
        program = self.program
        program.start(["Yes"])  # download the catalog at the first start
        main = self.main_window()
        categories = e.wait_find(main, "list", "List1")
        resources = e.wait_find(main, "list", "List2")
        e.wait_for(lambda: len(e.rows(categories)) >= 2, "the categories from the new catalog")
        self.assertTrue(os.path.exists(program.file("LDsend.Dll")))

        # The second category, its first two resources.
        first_lines = e.rows(resources)
        category = e.rows(categories)[1]
        choose(categories, category)
        e.wait_for(lambda: e.rows(resources) and e.rows(resources) != first_lines,
                   "the second category's resources")
        first, second = e.rows(resources)[:2]
        choose(resources, first)
        line = choose(resources, second)

        # The details from the list's menu: the right button, then "查看介绍".
        e.press_button(e.centre(line), 3)
        e.release_button(3)
        menu = e.wait_menu(self.app, "列表右键菜单")
        e.press(e.wait_find(menu, "menu item", "查看介绍"))
        details = e.wait_window(self.app, "详细介绍")
        self.assertTrue(e.is_showing(details))

        # Play it, and keep it.
        e.double_click(e.centre(line))
        wait_playing(second)
        player = e.wait_window(self.app, "播放窗口")
        e.click(e.centre(e.wait_find(player, "push button", "添加收藏")))
        program.wait_dialog("32|OK|《%s-%s》已经成功添加至收藏列表！请到收藏列表中查看！ => OK"
                            % (category, second))

        e.click(e.centre(e.wait_find(main, "push button", "关闭")))
        self.assertEqual(program.wait_exit(), 0)

        # What the files hold.
        self.assertEqual(stored_names(program.file("Favorite.mdb")), [second])
        self.assertEqual(stored_names(program.file("iwdg.mdb")), [first, second])

        # Another evening: the history, then the favourites.
        program.start()
        main = self.main_window()
        categories = e.wait_find(main, "list", "List1")
        e.wait_for(lambda: len(e.rows(categories)) >= 2, "the categories")
        more = e.wait_find(main, "list", "QtList")
        history_item = e.wait_for(
            lambda: next((r for r in e.rows(more) if r.endswith(". 我听过的")), None),
            "the history item")
        e.click(e.centre(e.row(more, history_item)))
        resources = e.wait_find(main, "list", "List2")
        history = [category + " < " + first, category + " < " + second]
        e.wait_for(lambda: e.rows(resources) == history, "the history lines")
        line = choose(resources, history[0])
        e.double_click(e.centre(line))
        wait_playing(first)

        e.click(e.centre(e.wait_find(main, "push button", "我的收藏")))
        favourites = e.wait_find(main, "list", "List4")
        favourite = e.wait_for(lambda: e.rows(favourites), "the favourites")[0]
        self.assertEqual(favourite.rstrip(" "), category + "-" + second)
        line = choose(favourites, favourite)
        e.double_click(e.centre(line))
        wait_playing(second)
        self.assertEqual(program.dialogs(), [])

        e.click(e.centre(e.wait_find(main, "push button", "关闭")))
        self.assertEqual(program.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
