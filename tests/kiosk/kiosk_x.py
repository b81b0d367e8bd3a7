# SPDX-License-Identifier: GPL-3.0-or-later
"""Real X servers, openbox and the station for the kiosk checks.

Every process started here is recorded in a Processes object and ended by its pid when the
check ends; every wait has a time limit. Windows are found by their X11 window role, which
every station window sets to its object name.
"""

import contextlib
import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import XORG_DUMMY_DRIVER, xorg_command  # noqa: E402

SKIP = 77  # CTest's SKIP_RETURN_CODE for these checks


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def wait_for(predicate, timeout, what):
    """Polls predicate until it gives a true value; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise CheckFailed(f"gave up after {timeout} s waiting for {what}")
        time.sleep(0.05)


class Processes:
    """Starts processes and ends each of them, by pid, when the check is over."""

    def __init__(self):
        self.started = []

    def start(self, argv, env=None, log=None, cwd=None):
        out = open(log, "ab") if log else subprocess.DEVNULL
        process = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=subprocess.STDOUT)
        if log:
            out.close()
        self.started.append(process)
        return process

    def end(self, process, timeout=5):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(timeout)

    def end_all(self):
        for process in reversed(self.started):
            self.end(process)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.end_all()


def skip_unless(condition, reason):
    if not condition:
        print(f"SKIP: {reason}")
        raise SystemExit(SKIP)


def require_tools(*tools):
    for tool in tools:
        skip_unless(shutil.which(tool), f"{tool} is not installed")


# ----------------------------------------------------------------------------- X servers

_libx11 = None


def _x11():
    global _libx11
    if _libx11 is None:
        lib = ctypes.CDLL("libX11.so.6")
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XGrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                      ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
        lib.XUngrabKeyboard.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        _libx11 = lib
    return _libx11


class KeyboardHolder:
    """An X client of its own that holds the keyboard, like a window manager in the middle
    of a key chain or a program that steals it."""

    def __init__(self, display):
        self.lib = _x11()
        self.dpy = self.lib.XOpenDisplay(display.encode())
        check(self.dpy, f"cannot open display {display}")

    def grab(self):
        """True when the keyboard was free and is now held by this client."""
        root = self.lib.XDefaultRootWindow(self.dpy)
        status = self.lib.XGrabKeyboard(self.dpy, root, 0, 1, 1, 0)  # async, CurrentTime
        self.lib.XSync(self.dpy, 0)
        return status == 0  # GrabSuccess; AlreadyGrabbed is 1

    def ungrab(self):
        self.lib.XUngrabKeyboard(self.dpy, 0)
        self.lib.XSync(self.dpy, 0)

    def close(self):
        if self.dpy:
            self.lib.XCloseDisplay(self.dpy)
            self.dpy = None


def keyboard_free(display):
    """Whether another client could take the keyboard now (nobody holds it)."""
    holder = KeyboardHolder(display)
    try:
        free = holder.grab()
        if free:
            holder.ungrab()
        return free
    finally:
        holder.close()


def x_answers(display):
    return subprocess.run(["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=10).returncode == 0


def start_xvfb(processes, display, workdir, screen="1024x768x24"):
    require_tools("Xvfb", "xdpyinfo")
    processes.start(["Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"],
                    log=os.path.join(workdir, "xvfb.log"))
    wait_for(lambda: x_answers(display), 20, f"Xvfb on {display}")


def start_xorg(processes, display, workdir, config):
    """Xorg with the dummy video driver: heads side by side (Xinerama or RandR outputs)."""
    require_tools("Xorg", "xdpyinfo")
    skip_unless(os.geteuid() == 0, "Xorg with the dummy driver needs root")
    skip_unless(os.path.exists(XORG_DUMMY_DRIVER),
                "the Xorg dummy driver (xserver-xorg-video-dummy) is not installed")
    processes.start(xorg_command(display, config, os.path.join(workdir, "xorg.log")),
                    log=os.path.join(workdir, "xorg.out"))
    wait_for(lambda: x_answers(display), 30, f"Xorg on {display}")


def openbox_config(workdir, marker):
    """The stock openbox configuration (Alt+Tab, Alt+F4, the desktop menu) with one more key
    binding, Ctrl+Alt+T, that stands for starting a terminal: it creates marker."""
    with open("/etc/xdg/openbox/rc.xml", encoding="utf-8") as stock:
        text = stock.read()
    binding = (f'<keyboard>\n<keybind key="C-A-t"><action name="Execute">'
               f'<command>touch {marker}</command></action></keybind>')
    path = os.path.join(workdir, "openbox-rc.xml")
    with open(path, "w", encoding="utf-8") as out:
        out.write(text.replace("<keyboard>", binding, 1))
    return path


def start_openbox(processes, display, workdir, config):
    require_tools("openbox", "xprop")
    env = dict(os.environ, DISPLAY=display)
    processes.start(["openbox", "--config-file", config], env=env,
                    log=os.path.join(workdir, "openbox.log"))
    wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in xprop(display, "-root"), 20,
             "openbox")


# ------------------------------------------------------------------------------- windows

def run(display, argv, timeout=10):
    env = dict(os.environ, DISPLAY=display)
    result = subprocess.run(argv, env=env, capture_output=True, text=True, timeout=timeout)
    return result.stdout


def xprop(display, *args):
    return run(display, ["xprop", *args])


def xdotool(display, *args):
    return run(display, ["xdotool", *args])


def windows_of(display, pid):
    out = xdotool(display, "search", "--all", "--onlyvisible", "--pid", str(pid), "--name", "")
    return [int(w) for w in out.split()]


def role_of(display, window):
    match = re.search(r'WM_WINDOW_ROLE\(STRING\) = "([^"]*)"',
                      xprop(display, "-id", str(window), "WM_WINDOW_ROLE"))
    return match.group(1) if match else ""


def window_with_role(display, pid, role):
    for window in windows_of(display, pid):
        if role_of(display, window) == role:
            return window
    return None


def wait_window(display, pid, role, timeout=20):
    return wait_for(lambda: window_with_role(display, pid, role), timeout, f"window {role}")


def geometry(display, window):
    """(x, y, width, height) of the window on the root, frame excluded."""
    out = run(display, ["xwininfo", "-id", str(window)])
    values = {}
    for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
        match = re.search(re.escape(key) + r":\s+(-?\d+)", out)
        check(match, f"xwininfo gave no {key} for {window}")
        values[key] = int(match.group(1))
    return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"],
            values["Height"])


def root_size(display):
    match = re.search(r"dimensions:\s+(\d+)x(\d+) pixels", run(display, ["xdpyinfo"]))
    return int(match.group(1)), int(match.group(2))


def active_window(display):
    out = xdotool(display, "getactivewindow").strip()
    return int(out) if out.isdigit() else None


def top_client(display):
    """The client window that openbox stacks highest."""
    ids = re.findall(r"0x[0-9a-f]+", xprop(display, "-root", "_NET_CLIENT_LIST_STACKING"))
    return int(ids[-1], 16) if ids else None


def move_pointer(display, x, y):
    # Not --sync: that waits for ever when the pointer is there already.
    xdotool(display, "mousemove", str(x), str(y))
    time.sleep(0.1)


def click_centre(display, window):
    x, y, width, height = geometry(display, window)
    move_pointer(display, x + width // 2, y + height // 2)
    xdotool(display, "click", "1")


def key(display, *keys):
    xdotool(display, "key", "--delay", "60", *keys)


def type_text(display, text):
    xdotool(display, "type", "--delay", "40", text)


def focus(display, window):
    xdotool(display, "windowactivate", "--sync", str(window))
    wait_for(lambda: active_window(display) == window, 5, f"focus on window {window}")


# ------------------------------------------------------------------------------- station

def write_station(folder, secure=True, servers=("127.0.0.1:9",), problems=2):
    """A station folder: an ini without login and a test of typed answers (the answer to
    every problem is 8)."""
    os.makedirs(os.path.join(folder, "tezra"), exist_ok=True)
    ini = ["[general]", "needlogin=0", f"secure={1 if secure else 0}", "saveresults=1",
           "[servers]"] + [f"{server}=" for server in servers]
    with open(os.path.join(folder, "tezra-net.ini"), "w", encoding="cp1251",
              newline="\r\n") as out:
        out.write("\n".join(ini) + "\n")
    text = "§TEZRA\n§PARAMS\nSHUFFLE=0\n§END PARAMS\n§PROBLEMS\n"
    for number in range(1, problems + 1):
        text += (f"§PROBLEM\n§PARAMS\nID=p{number}\n§END PARAMS\n§CONDITION\n"
                 f"Задача {number}: сколько битов в байте?\n§END CONDITION\n"
                 "§ANSWER\nMODE=INPUT\n§VARIANTS\n[100] 8\n§END ANSWER\n§END PROBLEM\n")
    text += "§END PROBLEMS\n§END TEZRA\n"
    with open(os.path.join(folder, "tezra", "bits.ttxt"), "wb") as out:
        out.write(text.encode("cp1251"))


def station_env(display, folder):
    env = dict(os.environ, DISPLAY=display, TEZRA_STATION_DIR=folder)
    env.pop("QT_QPA_PLATFORM", None)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def click_start(display, chooser):
    """Clicks the chooser's start button, the last control at the bottom of the window
    (without a selected row it starts the first test)."""
    x, y, width, height = geometry(display, chooser)
    move_pointer(display, x + width // 2, y + height - 22)
    xdotool(display, "click", "1")


def open_test(display, pid):
    """From the splash to the first problem of the test: a click on the splash, the start
    button of the chooser, the secure or normal test window."""
    click_centre(display, wait_window(display, pid, "fmSplash"))
    click_start(display, wait_window(display, pid, "fmChooseTezra"))
    return wait_window(display, pid, "fmTezra")


def answer(display, text="8"):
    """Types the answer over everything in the answer field (which has the focus) and
    confirms it with Enter; with no text, the field keeps what it shows."""
    if text:
        key(display, "ctrl+a")
        type_text(display, text)
    key(display, "Return")


def start_station(processes, program, display, folder, log, args=()):
    return processes.start([program, *args], env=station_env(display, folder), log=log,
                           cwd=folder)


def wait_box(display, pid, seen, timeout=20):
    """A message or input box of the station that was not among seen, once it has the
    focus; it is added to seen."""
    def new_box():
        for window in windows_of(display, pid):
            if window not in seen and role_of(display, window) == "":
                return window
        return None
    box = wait_for(new_box, timeout, "a message or input box")
    wait_for(lambda: active_window(display) == box, 5, f"the focus on box {box}")
    seen.add(box)
    return box


def wait_gone(display, window, timeout=10):
    wait_for(lambda: window not in visible_windows(display), timeout, f"window {window} closed")


def after_last_answer(display, pid, seen):
    """The score, the calls for the teacher and the results window, each closed in turn."""
    for _ in range(3):  # the score, then the two calls for the teacher
        box = wait_box(display, pid, seen)
        key(display, "Return")
        wait_gone(display, box)
    box = wait_box(display, pid, seen)
    type_text(display, "ok")
    key(display, "Return")
    wait_gone(display, box)
    report = wait_window(display, pid, "fmTezraReport")
    focus(display, report)
    key(display, "Return")
    wait_gone(display, report)


def visible_windows(display):
    out = xdotool(display, "search", "--onlyvisible", "--name", "")
    return [int(w) for w in out.split()]


def screenshot(display, path):
    """Saves the whole screen as PNG (ImageMagick's import); False when it could not."""
    if not shutil.which("import"):
        return False
    return subprocess.run(["import", "-display", display, "-window", "root", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=20).returncode == 0


def save_failure(display, work):
    """What the screen showed when a check failed: a screenshot and the window tree."""
    shot = os.path.join(work, "failure.png")
    if screenshot(display, shot):
        print(f"screen at the failure: {shot}")
    tree = os.path.join(work, "failure-windows.txt")
    with open(tree, "w", encoding="utf-8") as out:
        out.write(run(display, ["xwininfo", "-root", "-tree"]))
    print(f"windows at the failure: {tree}")


@contextlib.contextmanager
def evidence_on_failure(display, work):
    """Saves the screen and the window tree when the block fails."""
    try:
        yield
    except Exception:
        save_failure(display, work)
        raise


def step(text):
    print(f"-- {text}", flush=True)


def run_check(main):
    """Runs a check: exit status 0 when it passes, 1 with the reason when it fails, 77 when
    it was skipped."""
    try:
        main()
    except CheckFailed as failure:
        print(f"FAIL: {failure}")
        sys.exit(1)


def make_workdir(name):
    return tempfile.mkdtemp(prefix=f"tezra-kiosk-{name}-")


def passed(work):
    """Ends a check that passed: its logs are no longer needed (a failure keeps them)."""
    shutil.rmtree(work, ignore_errors=True)
    print("PASS")


# ------------------------------------------------------------------------ window stacking

class _Attributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


_IS_VIEWABLE = 2


class Stacking:
    """Reads the X server's own stacking of the root window's children: which window a
    student sees, and can click, at a point of the screen."""

    def __init__(self, display):
        self.lib = _x11()
        lib = self.lib
        lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                   ctypes.POINTER(ctypes.c_uint)]
        lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                             ctypes.POINTER(_Attributes)]
        lib.XFree.argtypes = [ctypes.c_void_p]
        self.dpy = lib.XOpenDisplay(display.encode())
        check(self.dpy, f"cannot open display {display}")
        self.root = lib.XDefaultRootWindow(self.dpy)

    def close(self):
        if self.dpy:
            self.lib.XCloseDisplay(self.dpy)
            self.dpy = None

    def _tree(self, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.lib.XQueryTree(self.dpy, window, ctypes.byref(root), ctypes.byref(parent),
                                   ctypes.byref(children), ctypes.byref(count)):
            return 0, []
        listed = [children[i] for i in range(count.value)]
        if children:
            self.lib.XFree(children)
        return parent.value, listed

    def attributes(self, window):
        attributes = _Attributes()
        if not self.lib.XGetWindowAttributes(self.dpy, window, ctypes.byref(attributes)):
            return None
        return attributes

    def frame_of(self, window):
        """The child of the root window that holds window (its window manager's frame)."""
        while window:
            parent, _ = self._tree(window)
            if parent in (0, self.root):
                return window
            window = parent
        return 0

    def viewable(self, window):
        attributes = self.attributes(window)
        return attributes is not None and attributes.map_state == _IS_VIEWABLE

    def top_at(self, x, y):
        """The highest viewable child of the root window that covers the point."""
        _, children = self._tree(self.root)
        for child in reversed(children):  # the server lists them bottom to top
            a = self.attributes(child)
            if (a is not None and a.map_state == _IS_VIEWABLE and a.x <= x < a.x + a.width
                    and a.y <= y < a.y + a.height):
                return child
        return 0


def client_stacking(display):
    """The window manager's _NET_CLIENT_LIST_STACKING, bottom to top (empty without it)."""
    return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+",
                                            xprop(display, "-root", "_NET_CLIENT_LIST_STACKING"))]
