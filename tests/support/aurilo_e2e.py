"""The real Aurilo on the generated demo site, driven as a listener drives it.

End-to-end tests start the program from a fresh program folder of their own
(the executable, its web player, a Server.ini pointing at the project's HTTP
server on a free port), find its windows, lists, rows and menus through the
accessibility tree (AT-SPI, on a session bus and an accessibility bus of the
test's own), and act on them with real X input or the controls' own
accessible actions. Every wait is a wait for something to be seen; the time
given is only how long the test goes on looking before it fails.

The test command's X server is used (DISPLAY). The programs come from the
environment the test runner passes: AURILO_BIN, AURILO_HTTPD, AURILO_DEMO_GEN.
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

# Long enough for a loaded machine (a build on both cores); the waits end as
# soon as what they look for is there.
TIMEOUT = 60


def wait_for(condition, what, timeout=TIMEOUT, interval=0.1):
    """Polls condition() until it gives a true value and returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("gave up waiting for " + what)
        time.sleep(interval)


def run(*command):
    """Runs a small tool and gives its output, stripped."""
    done = subprocess.run(command, capture_output=True, text=True, timeout=TIMEOUT)
    return done.stdout.strip()


def processes_in_session(sid):
    """Pids of the processes of a session (the program and all it started)."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        # After the name: state, ppid, pgrp, session, ...; a zombie is gone.
        if int(fields[3]) == sid and fields[0] != "Z":
            pids.append(int(entry))
    return pids


def stop_session(process, sid, what):
    """Ends a process and waits until nothing it started is left."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    try:
        wait_for(lambda: not processes_in_session(sid), what + " and its children to end", 20)
    except AssertionError:
        for pid in processes_in_session(sid):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        wait_for(lambda: not processes_in_session(sid), what + " to be killed")


# --- buses -------------------------------------------------------------------


class Buses:
    """A session bus of the test's own and the accessibility bus behind it.

    The accessibility bus launcher is started before the program, so that the
    program's accessibility bridge finds it at start-up. Both addresses are
    put into this process's environment, for the programs the test starts and
    for pyatspi, which is imported only afterwards."""

    def __init__(self):
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, text=True, start_new_session=True)
        address = self.daemon.stdout.readline().strip()
        if not address:
            raise RuntimeError("dbus-daemon gave no address")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        reply = wait_for(lambda: run("dbus-send", "--session", "--print-reply",
                                     "--dest=org.a11y.Bus", "/org/a11y/bus",
                                     "org.a11y.Bus.GetAddress"),
                         "the accessibility bus")
        match = re.search(r'string "([^"]+)"', reply)
        if not match:
            raise RuntimeError("no accessibility bus address in: " + reply)
        os.environ["AT_SPI_BUS_ADDRESS"] = match.group(1)

    def close(self):
        # The launcher, the accessibility bus and its registry are children
        # of the session bus, in its session.
        stop_session(self.daemon, self.daemon.pid, "the session bus")
        self.daemon.stdout.close()


def atspi():
    """pyatspi, imported once the buses are there."""
    import pyatspi
    return pyatspi


# --- the demo site and the program ------------------------------------------


class DemoSite:
    """The generated demo site, served by aurilo-httpd on a free port."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="aurilo-site-")
        self.log = tempfile.TemporaryFile(mode="w", prefix="aurilo-httpd-")
        self.server = subprocess.Popen(
            [os.environ["AURILO_HTTPD"], "--root", self.root, "--port", "0"],
            stdout=subprocess.PIPE, stderr=self.log, text=True)
        line = self.server.stdout.readline()
        match = re.match(r"listening on (\d+)", line)
        if not match:
            raise RuntimeError("aurilo-httpd did not start: " + line)
        self.url = "http://127.0.0.1:" + match.group(1)
        subprocess.run([os.environ["AURILO_DEMO_GEN"], "--out", self.root, "--base-url", self.url],
                       check=True, stdout=subprocess.DEVNULL, timeout=600)

    def close(self):
        self.server.terminate()
        self.server.wait()
        self.server.stdout.close()
        self.log.close()
        shutil.rmtree(self.root, ignore_errors=True)


class Program:
    """A fresh program folder for the demo site, and the program run from it."""

    def __init__(self, site, environment=None):
        self.folder = tempfile.mkdtemp(prefix="aurilo-program-")
        program = os.environ["AURILO_BIN"]
        shutil.copy2(program, self.file("Aurilo"))
        shutil.copytree(os.path.join(os.path.dirname(program), "ruffle"), self.file("ruffle"))
        with open(self.file("Server.ini"), "wb") as ini:
            ini.write(b"[Server]\r\nBaseUrl=" + site.url.encode() + b"\r\n")
        self.environment = environment or {}
        self.process = None

    def file(self, name):
        return os.path.join(self.folder, name)

    @property
    def pid(self):
        return self.process.pid

    def start(self, answers=()):
        """Starts the program; its message boxes get these answers in order
        ("Yes", "No", "OK") and are logged."""
        with open(self.file("answers.txt"), "w") as script:
            script.write("".join(answer + "\n" for answer in answers))
        if os.path.exists(self.file("answers.txt.log")):
            os.unlink(self.file("answers.txt.log"))
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        # Given the address outright, Qt's bridge announces itself before it
        # listens to itself and stays off; it asks the session bus instead.
        env.pop("AT_SPI_BUS_ADDRESS", None)
        env["AURILO_DIALOG_SCRIPT"] = self.file("answers.txt")
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env.update(self.environment)
        # A session of its own: when the program ends, the test waits until
        # every process it started (the browser's) has ended too.
        self.process = subprocess.Popen([self.file("Aurilo")], env=env, start_new_session=True)

    def dialogs(self):
        """The message boxes shown since the start, "icon|buttons|text => answer"."""
        try:
            with open(self.file("answers.txt.log"), encoding="utf-8") as log:
                return [line for line in log.read().split("\n") if line]
        except FileNotFoundError:
            return []

    def wait_dialog(self, line):
        wait_for(lambda: line in self.dialogs(), "the message " + line)

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self):
        """Waits for the program to end by itself, and for all it started."""
        wait_for(lambda: not self.running(), "the program to end")
        stop_session(self.process, self.process.pid, "the program")
        return self.process.returncode

    def stop(self):
        if self.process is not None:
            stop_session(self.process, self.process.pid, "the program")

    def close(self):
        self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


# --- the accessibility tree ---------------------------------------------------


def children(node):
    out = []
    try:
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                out.append(child)
    except Exception:  # the node went away while it was read
        pass
    return out


def name_of(node):
    try:
        return node.name
    except Exception:
        return None


def role_of(node):
    try:
        return node.getRoleName()
    except Exception:
        return None


def application(program):
    """The program's node under the desktop, once its bridge has registered."""
    desktop = atspi().Registry.getDesktop(0)

    def found():
        for app in children(desktop):
            try:
                if app.get_process_id() == program.pid:
                    return app
            except Exception:
                continue
        return None

    return wait_for(found, "the program in the accessibility tree")


def find(root, role=None, name=None, depth=8, into_lists=False):
    """The first node under root (breadth first) with that role and name."""
    level = [root]
    for _ in range(depth):
        below = []
        for node in level:
            for child in children(node):
                if (role is None or role_of(child) == role) and (name is None or name_of(child) == name):
                    return child
                # A list's rows are many; they are searched only when asked.
                if into_lists or role_of(child) != "list":
                    below.append(child)
        level = below
    return None


def wait_find(root, role=None, name=None, what=None, **options):
    return wait_for(lambda: find(root, role, name, **options),
                    what or "%s %r in the accessibility tree" % (role or "a node", name))


def is_showing(node):
    try:
        return node.getState().contains(atspi().STATE_SHOWING)
    except Exception:
        return False


def window(app, name):
    """The program's top-level window of that name, while it is shown."""
    def shown():
        for child in children(app):
            if name_of(child) == name and is_showing(child):
                return child
        return None
    return shown()


def wait_window(app, name):
    return wait_for(lambda: window(app, name), "the window %r" % name)


def open_menu(app, caption):
    """The open pop-up menu with that caption, or None."""
    for child in children(app):
        if role_of(child) == "popup menu" and name_of(child) == caption and is_showing(child):
            return child
    return None


def wait_menu(app, caption):
    return wait_for(lambda: open_menu(app, caption), "the menu %r" % caption)


def rows(list_node):
    """The texts of a list's rows, in order."""
    return [name_of(row) for row in children(list_node)]


def row(list_node, text):
    for child in children(list_node):
        if name_of(child) == text:
            return child
    return None


def wait_row(list_node, text):
    return wait_for(lambda: row(list_node, text), "the row %r" % text)


def text_of(node):
    """What a label or a text box shows."""
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except Exception:
        return None


def extents(node):
    x, y, width, height = node.queryComponent().getExtents(atspi().DESKTOP_COORDS)
    return x, y, width, height


def centre(node):
    x, y, width, height = extents(node)
    return x + width // 2, y + height // 2


def actions(node):
    action = node.queryAction()
    return [action.getName(i) for i in range(action.nActions)]


def press(node):
    """Runs a node's press action, as a screen reader's user would."""
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i).lower() == "press":
            action.doAction(i)
            return
    raise AssertionError("%r has no press action" % name_of(node))


# --- real X input and window queries ------------------------------------------


def click(at, button=1):
    x, y = at
    run("xdotool", "mousemove", str(x), str(y), "click", str(button))


def double_click(at):
    x, y = at
    run("xdotool", "mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "80", "1")


def press_button(at, button):
    x, y = at
    run("xdotool", "mousemove", str(x), str(y), "mousedown", str(button))


def release_button(button):
    run("xdotool", "mouseup", str(button))


def x_windows(name_pattern, only_visible=True):
    """X window ids whose name matches."""
    command = ["xdotool", "search"] + (["--onlyvisible"] if only_visible else []) + ["--name", name_pattern]
    out = run(*command)
    return out.split("\n") if out else []


def x_geometry(window_id):
    out = run("xdotool", "getwindowgeometry", "--shell", window_id)
    values = dict(line.split("=", 1) for line in out.split("\n") if "=" in line)
    return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))


def x_name(window_id):
    return run("xdotool", "getwindowname", window_id)


def tray_icon():
    """The middle of the program's icon in a tray host's panel, if it is there
    and shown. The icon's window is embedded in the panel; xwininfo gives its
    place on the screen as the second "+x+y" of its line. Qt maps it only once
    the panel has told it is embedded: a click before lands on the panel."""
    tree = run("xwininfo", "-root", "-tree")
    pattern = re.compile(
        r'(0x[0-9a-f]+) "Aurilo": \("Aurilo" "Aurilo"\)\s+(\d+)x(\d+)\+\S+\s+\+(-?\d+)\+(-?\d+)')
    for match in pattern.finditer(tree):
        window_id = match.group(1)
        width, height, x, y = (int(value) for value in match.groups()[1:])
        if 1 < width < 64 and height < 64 and "IsViewable" in run("xwininfo", "-id", window_id):
            return x + width // 2, y + height // 2
    return None


# --- sound ---------------------------------------------------------------------


class SoundServer:
    """A PulseAudio server of the test's own, in a runtime folder of its own,
    whose only output is a null sink: what a program plays there, and only
    that, can be recorded from the sink's monitor. Programs reach it through
    the environment given by `environment`."""

    SINK = "aurilo_null"

    def __init__(self):
        self.runtime = tempfile.mkdtemp(prefix="aurilo-sound-")
        os.chmod(self.runtime, 0o700)
        self.socket = os.path.join(self.runtime, "native")
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, PULSE_RUNTIME_PATH=self.runtime,
                   HOME=self.runtime)
        self.log = open(os.path.join(self.runtime, "pulseaudio.log"), "w")
        self.daemon = subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--log-target=stderr",
             "--disallow-exit", "--use-pid-file=no",
             "--load=module-native-protocol-unix socket=" + self.socket,
             "--load=module-null-sink sink_name=" + self.SINK],
            env=env, stdout=subprocess.DEVNULL, stderr=self.log, start_new_session=True)
        wait_for(lambda: subprocess.run(["pactl", "info"], env=self.environment(os.environ),
                                        capture_output=True).returncode == 0,
                 "the sound server")

    def environment(self, base=None):
        """What a client needs to play on (or record from) this server only."""
        env = dict(base) if base is not None else {}
        env["PULSE_SERVER"] = "unix:" + self.socket
        env["PULSE_SINK"] = self.SINK
        return env

    def close(self):
        stop_session(self.daemon, self.daemon.pid, "the sound server")
        self.log.close()
        shutil.rmtree(self.runtime, ignore_errors=True)


class Recorder:
    """Records a sound server's null sink as 16-bit mono samples into a file,
    and measures the loudness of what it has so far."""

    RATE = 22050

    def __init__(self, sound):
        self.file = tempfile.NamedTemporaryFile(prefix="aurilo-recording-", suffix=".raw")
        self.process = subprocess.Popen(
            ["parec", "--device=%s.monitor" % SoundServer.SINK, "--raw", "--format=s16le",
             "--channels=1", "--rate=%d" % self.RATE],
            env=sound.environment(os.environ), stdout=self.file, start_new_session=True)

    def samples(self):
        """The number of samples recorded so far."""
        return os.path.getsize(self.file.name) // 2

    def loudest(self, start=0, end=None, window=RATE // 2):
        """The highest root-mean-square level of any half second between two
        sample positions (0 for less than half a second)."""
        import array
        import math
        with open(self.file.name, "rb") as raw:
            raw.seek(start * 2)
            data = raw.read(((end if end is not None else self.samples()) - start) * 2)
        samples = array.array("h")
        samples.frombytes(data[: len(data) // 2 * 2])
        best = 0.0
        for first in range(0, len(samples) - window + 1, window):
            part = samples[first:first + window]
            best = max(best, math.sqrt(sum(s * s for s in part) / window))
        return best

    def close(self):
        stop_session(self.process, self.process.pid, "the recorder")
        self.file.close()
