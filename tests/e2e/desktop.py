# SPDX-License-Identifier: GPL-3.0-or-later
"""A real desktop for driving the station from outside, as a person would.

It starts and ends the parts of a classroom machine: an X server (two monitors joined into one
desktop, or one screen), the openbox window manager, nginx as a result server on 127.0.0.1 and
the station itself. Input goes in only as real X events (xdotool, through XTEST); what is on
screen is read back through the accessibility bus (AT-SPI) and from the X server (xwininfo,
xprop).

Every wait has a time limit and fails with the name of the step it belongs to, and a watchdog
ends the whole run when a step makes no progress for a minute (a blocked accessibility call
included). Every process is started in a process group of its own and ended, with its group,
when the run ends however it ends: normally, by an exception, or by SIGINT, SIGTERM or SIGHUP.

Run the program that uses this module under /usr/bin/python3 (Debian's, with python3-pyatspi);
call reexec_in_session() first so that it runs inside a private D-Bus session.

The kiosk checks use the same parts through the plainer helpers at the end of this module,
which take a display by its name (":60") and fail with CheckFailed.
"""

import atexit
import contextlib
import ctypes
import importlib.util
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SESSION_MARK = "TEZRA_E2E_SESSION"
RUNTIME_PREFIX = "tezra-runtime-"

# What each accessibility call may take before it is abandoned. A station busy for longer
# (it blocks during a result request) is waited for by polling again.
ATSPI_CALL_MS = 4000


# What must be undone however the run ends: at exit, on a signal, or by the watchdog.
_AT_END = []


def at_end(function):
    _AT_END.append(function)


def _run_at_end():
    while _AT_END:
        with contextlib.suppress(Exception):
            _AT_END.pop()()


atexit.register(_run_at_end)


class StepFailed(Exception):
    """A step of the run did not reach its goal; the message names the step."""


def log(text):
    print(text, flush=True)


# ---- steps, waits and the watchdog -----------------------------------------------------


class Steps:
    """The named steps of a run. Every wait has a limit; a watchdog thread ends the run when
    no step makes progress for watchdog_s seconds, naming the step that is stuck."""

    def __init__(self, processes, watchdog_s=60):
        self.processes = processes
        self.current = "start-up"
        self.watchdog_s = watchdog_s
        self._progress = time.monotonic()
        self._watching = True
        self._lock = threading.Lock()
        thread = threading.Thread(target=self._watch, name="watchdog", daemon=True)
        thread.start()

    def stop_watchdog(self):
        """For a run that goes on without steps (a station left running for its user)."""
        with self._lock:
            self._watching = False

    def touch(self):
        with self._lock:
            self._progress = time.monotonic()

    def _watch(self):
        while True:
            time.sleep(1)
            with self._lock:
                idle = time.monotonic() - self._progress if self._watching else 0
            if idle > self.watchdog_s:
                log(f"FAIL watchdog: no progress for {self.watchdog_s} s "
                    f"in step '{self.current}'; ending every process")
                self.processes.stop_all()
                _run_at_end()
                os._exit(3)

    @contextlib.contextmanager
    def step(self, name):
        self.current = name
        self.touch()
        log(f"-- {name}")
        try:
            yield
        except StepFailed:
            raise
        except Exception as error:  # any failure inside a step is reported with its name
            raise StepFailed(f"{name}: {type(error).__name__}: {error}") from error
        self.touch()

    def wait(self, what, probe, limit=20.0, interval=0.05):
        """Polls probe() until it returns a true value, which is returned. Fails after limit
        seconds, naming the step and what was awaited."""
        deadline = time.monotonic() + limit
        last_error = None
        while True:
            try:
                value = probe()
            except Exception as error:  # a window may vanish between two calls
                value, last_error = None, error
            if value:
                self.touch()
                return value
            if time.monotonic() > deadline:
                detail = f" (last error: {last_error})" if last_error else ""
                raise StepFailed(f"{self.current}: {what} did not happen within "
                                 f"{limit:g} s{detail}")
            time.sleep(interval)

    def check(self, condition, what):
        if not condition:
            raise StepFailed(f"{self.current}: {what}")


# ---- processes -------------------------------------------------------------------------


class Processes:
    """Every process of the run, each the leader of its own process group. stop_all() ends
    them all, newest first, with their groups; it runs at exit and on SIGINT, SIGTERM and
    SIGHUP too."""

    def __init__(self):
        self._started = []
        self._lock = threading.RLock()
        atexit.register(self.stop_all)
        if threading.current_thread() is threading.main_thread():
            for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
                signal.signal(number, self._on_signal)

    def _on_signal(self, number, _frame):
        log(f"signal {number}: ending every process")
        self.stop_all()
        _run_at_end()
        os._exit(128 + number)

    def start(self, name, argv, log_path=None, env=None, cwd=None):
        output = open(log_path, "ab") if log_path else subprocess.DEVNULL
        try:
            process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=output,
                                       stderr=subprocess.STDOUT, env=env, cwd=cwd,
                                       start_new_session=True)
        finally:
            if log_path:
                output.close()
        process.name = name
        with self._lock:
            self._started.append(process)
        return process

    def stop(self, process, first_signal=signal.SIGTERM, grace_s=5.0):
        """Ends the process and its group: first_signal, then SIGKILL after grace_s."""
        with contextlib.suppress(ProcessLookupError, PermissionError):
            os.killpg(process.pid, first_signal)
        try:
            process.wait(timeout=grace_s)
        except subprocess.TimeoutExpired:
            pass
        # Whatever is left of the group (children of a leader that has gone) goes too.
        with contextlib.suppress(ProcessLookupError, PermissionError):
            os.killpg(process.pid, signal.SIGKILL)
        with contextlib.suppress(subprocess.TimeoutExpired):
            process.wait(timeout=grace_s)
        with self._lock:
            if process in self._started:
                self._started.remove(process)

    def stop_all(self):
        with self._lock:
            started = list(reversed(self._started))
        for process in started:
            self.stop(process, grace_s=3.0)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop_all()


# ---- the private D-Bus session -----------------------------------------------------------


def reexec_in_session():
    """Runs this program again inside dbus-run-session, with a private runtime folder, unless
    it already runs there. The accessibility bus then belongs to this run alone."""
    if os.environ.get(SESSION_MARK):
        runtime = os.environ.get("XDG_RUNTIME_DIR", "")
        if os.path.basename(runtime).startswith(RUNTIME_PREFIX):
            at_end(lambda: shutil.rmtree(runtime, ignore_errors=True))
        return
    if shutil.which("dbus-run-session") is None:
        log("SKIP dbus-run-session is not installed")
        sys.exit(77)
    runtime = tempfile.mkdtemp(prefix=RUNTIME_PREFIX)
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime, **{SESSION_MARK: "1"})
    for name in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    argv = ["dbus-run-session", "--", sys.executable, *sys.argv]
    os.execvpe(argv[0], argv, env)


def require_tools(*names, atspi=True):
    """Ends the run as skipped (exit code 77) when a program it needs is missing, or
    python3-pyatspi (unless atspi is false)."""
    missing = [name for name in names if shutil.which(name) is None]
    if atspi and importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi (run under /usr/bin/python3)")
    if missing:
        log("SKIP missing: " + ", ".join(missing))
        sys.exit(77)


# ---- the X server --------------------------------------------------------------------


XORG_DUMMY_DRIVER = "/usr/lib/xorg/modules/drivers/dummy_drv.so"


def run_check(run, args, title, prefix, watchdog_s):
    """Runs run(args, processes, steps, workdir) under a watchdog with its own work folder,
    ends every process it started, keeps the folder when the run failed (or --keep asked for
    it), and returns the exit status of a check: 0 when it passed, 1 when it failed."""
    began = time.monotonic()
    processes = Processes()
    steps = Steps(processes, watchdog_s=watchdog_s)
    workdir = tempfile.mkdtemp(prefix=prefix)
    ok = False
    try:
        run(args, processes, steps, workdir)
        ok = True
    except StepFailed as failure:
        log(f"FAIL {failure}")
    finally:
        processes.stop_all()
        if ok and not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)
        else:
            log(f"work folder kept: {workdir}")
    log(f"{'PASS' if ok else 'FAIL'} {title} in {time.monotonic() - began:.1f} s")
    return 0 if ok else 1


def xorg_command(name, config, log_path):
    """Xorg on display name with the dummy video driver and config (monitors without
    hardware, no input devices; it needs root and XORG_DUMMY_DRIVER)."""
    return ["Xorg", name, "-config", str(config), "-logfile", log_path, "-noreset",
            "-nolisten", "tcp", "-novtswitch", "-sharevts"]


def xvfb_command(name, *screens, xinerama=False):
    """Xvfb on display name with one screen of each size ("1024x768x24")."""
    argv = ["Xvfb", name]
    for number, screen in enumerate(screens):
        argv += ["-screen", str(number), screen]
    return argv + (["+xinerama"] if xinerama else []) + ["-nolisten", "tcp", "-noreset"]


def display_numbers(default="90-99"):
    """The display numbers this run may use: TEZRA_E2E_DISPLAYS, such as "90-96" or "92"."""
    numbers = os.environ.get("TEZRA_E2E_DISPLAYS", default)
    first, _, last = numbers.partition("-")
    return list(range(int(first), int(last or first) + 1))


def display_in_use(number):
    lock = f"/tmp/.X{number}-lock"
    try:
        with open(lock) as file:
            pid = int(file.read().strip())
    except (OSError, ValueError):
        return os.path.exists(f"/tmp/.X11-unix/X{number}")
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


class Display:
    """One X display and the X tools that look at it and type into it."""

    def __init__(self, number, kind=""):
        self.name = number if str(number).startswith(":") else f":{number}"
        self.kind = kind
        self.env = dict(os.environ, DISPLAY=self.name)
        self._bound = {}  # character -> keycode bound for typing

    def run(self, *argv, timeout=15, check=True):
        """The program's output; a failure raises RuntimeError unless check is false."""
        result = subprocess.run(argv, env=self.env, capture_output=True, timeout=timeout)
        if check and result.returncode != 0:
            raise RuntimeError(f"{' '.join(argv)} failed: "
                               f"{result.stderr.decode(errors='replace').strip()}")
        return result.stdout.decode("utf-8", errors="replace")

    def ready(self):
        try:
            self.run("xdpyinfo", timeout=5)
            return True
        except (RuntimeError, subprocess.TimeoutExpired):
            return False

    def root_size(self):
        match = re.search(r"dimensions:\s+(\d+)x(\d+) pixels", self.run("xdpyinfo"))
        return int(match.group(1)), int(match.group(2))

    def heads(self):
        """The monitors as (x, y, width, height), from Xinerama; the root when it has none."""
        text = self.run("xdpyinfo", "-ext", "XINERAMA")
        heads = [(int(x), int(y), int(w), int(h)) for w, h, x, y in
                 re.findall(r"head #\d+: (\d+)x(\d+) @ (\d+),(\d+)", text)]
        return heads or [(0, 0, *self.root_size())]

    # windows ------------------------------------------------------------------------

    def client_windows(self):
        """The windows the window manager manages, from bottom to top of the stack."""
        text = self.run("xprop", "-root", "_NET_CLIENT_LIST_STACKING")
        return [int(w, 16) for w in re.findall(r"0x[0-9a-fA-F]+", text)]

    def property(self, window, name):
        text = self.run("xprop", "-id", str(window), name)
        match = re.search(r"=\s*(.*)$", text.strip())
        return match.group(1) if match else None

    def role(self, window):
        value = self.property(window, "WM_WINDOW_ROLE")
        return value.strip('"') if value else None

    def viewable(self, window):
        return "IsViewable" in self.run("xwininfo", "-id", str(window))

    def windows_with_role(self, role):
        """Viewable managed windows whose WM_WINDOW_ROLE is role, bottom to top."""
        found = []
        for window in self.client_windows():
            with contextlib.suppress(RuntimeError):
                if self.role(window) == role and self.viewable(window):
                    found.append(window)
        return found

    def geometry(self, window):
        """(x, y, width, height) of the window's inside, in root coordinates."""
        text = self.run("xwininfo", "-id", str(window))
        values = {key: int(value) for key, value in re.findall(
            r"(Absolute upper-left X|Absolute upper-left Y|Width|Height):\s+(-?\d+)", text)}
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"],
                values["Width"], values["Height"])

    def frame_extents(self, window):
        """The window manager's frame around the window (left, right, top, bottom)."""
        value = self.property(window, "_NET_FRAME_EXTENTS")
        if not value:
            return None
        return tuple(int(v) for v in value.split(","))

    def outer_geometry(self, window):
        """The window with the window manager's frame around it."""
        x, y, w, h = self.geometry(window)
        left, right, top, bottom = self.frame_extents(window) or (0, 0, 0, 0)
        return x - left, y - top, w + left + right, h + top + bottom

    # input ---------------------------------------------------------------------------

    def pointer(self):
        text = self.run("xdotool", "getmouselocation")
        return tuple(int(v) for v in re.findall(r"[xy]:(-?\d+)", text)[:2])

    def click(self, x, y, button=1):
        # "mousemove --sync" waits for the pointer to move, forever when it is there already.
        if self.pointer() != (int(x), int(y)):
            self.run("xdotool", "mousemove", "--sync", str(int(x)), str(int(y)))
        self.run("xdotool", "click", str(button))

    def key(self, *keys, delay_ms=40):
        self.run("xdotool", "key", "--delay", str(delay_ms), *keys)

    def focus(self, window):
        self.run("xdotool", "windowfocus", "--sync", str(window), timeout=10)

    def type(self, text):
        """Types text as key presses. Characters outside ASCII are bound to spare keycodes
        first, so that the keymap does not change while the keys are typed."""
        self._bind_keys(text)
        self.run("xdotool", "type", "--delay", "40", "--", text)

    def _bind_keys(self, text):
        wanted = sorted({c for c in text if ord(c) > 0x7E and c not in self._bound})
        if not wanted:
            return
        spare = [int(code) for code in re.findall(r"^keycode\s+(\d+) =\s*$",
                                                  self.run("xmodmap", "-pke"), re.M)]
        spare = [code for code in spare if code not in self._bound.values()]
        commands = []
        for char, code in zip(wanted, spare):
            self._bound[char] = code
            commands += ["-e", f"keycode {code} = U{ord(char):04X}"]
        if commands:
            self.run("xmodmap", *commands)
            time.sleep(0.3)  # every client takes in the new keymap before the keys arrive

    # pictures ------------------------------------------------------------------------

    def screenshot(self, path, area=None, width=None):
        """Saves the screen (or the area (x, y, w, h) of it) as PNG, scaled down to width."""
        argv = ["import", "-window", "root"]
        if area:
            x, y, w, h = area
            argv += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        if width:
            argv += ["-resize", f"{width}x>"]
        self.run(*argv, str(path), timeout=30)
        return path


def start_x_server(processes, steps, workdir, two_screens, xorg_config=None,
                   size=(1280, 800)):
    """Starts an X server on the first free display of display_numbers().

    Two screens: Xorg with the dummy video driver and xorg_config, which joins a 1024x768 and
    an 800x600 monitor side by side into one 1824x768 desktop through Xinerama. Xvfb would do
    without root, but its Xinerama puts every head at 0,0 over a root as large as the first
    screen, so a window covering "both screens" there proves nothing; it is the fallback when
    Xorg cannot start (not root, or no dummy driver), and the run says so."""
    attempts = []
    xorg_allowed = os.environ.get("TEZRA_E2E_X", "xorg") != "xvfb"  # xvfb: the fallback only
    if two_screens and xorg_config and xorg_allowed and os.geteuid() == 0 and \
            shutil.which("Xorg") and os.path.exists(XORG_DUMMY_DRIVER):
        attempts.append(("Xorg, dummy driver, two monitors side by side (Xinerama)",
                         lambda n: xorg_command(f":{n}", xorg_config,
                                                os.path.join(workdir, f"xorg-{n}.log"))))
    if two_screens:
        attempts.append(("Xvfb, two screens joined by +xinerama (both heads at 0,0)",
                         lambda n: xvfb_command(f":{n}", "1024x768x24", "800x600x24",
                                                xinerama=True)))
    else:
        attempts.append(("Xvfb, one screen",
                         lambda n: xvfb_command(f":{n}", f"{size[0]}x{size[1]}x24")))
    for kind, command in attempts:
        for number in display_numbers():
            if display_in_use(number):
                continue
            display = Display(number, kind)
            server = processes.start("X server", command(number),
                                     os.path.join(workdir, f"x-{number}.out"))
            deadline = time.monotonic() + 20
            while server.poll() is None and time.monotonic() < deadline:
                if display.ready():
                    steps.touch()
                    return display
                time.sleep(0.2)
            processes.stop(server)
        log(f"note: {kind} did not start; trying the next kind of server")
    raise StepFailed("no X server could be started on the displays "
                     f"{display_numbers()[0]}-{display_numbers()[-1]}")


def openbox_took_screen(display):
    return "window id" in display.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check=False)


def launch_openbox(processes, display, workdir, config=None):
    """openbox on the display, with config or else its stock settings (none of the user's);
    the caller waits for openbox_took_screen()."""
    config_home = os.path.join(workdir, "config")
    os.makedirs(config_home, exist_ok=True)
    env = dict(display.env, XDG_CONFIG_HOME=config_home)
    argv = ["openbox", "--sm-disable"] + (["--config-file", config] if config else [])
    return processes.start("openbox", argv, os.path.join(workdir, "openbox.log"), env=env)


def start_openbox(processes, steps, display, workdir):
    """openbox with its stock settings, ready once it has taken the screen."""
    wm = launch_openbox(processes, display, workdir)
    steps.wait("openbox taking the screen",
               lambda: wm.poll() is None and openbox_took_screen(display), limit=15)
    return wm


# ---- nginx --------------------------------------------------------------------------


def free_loopback_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def port_accepts(port):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.settimeout(0.5)
        return probe.connect_ex(("127.0.0.1", port)) == 0


class Nginx:
    """nginx on 127.0.0.1 with a configuration of its own: /tezra/result answers 204 No
    Content, anything else 404, and the access log holds each raw request line, bytes above
    0x7F as they came (escape=none)."""

    def __init__(self, processes, steps, workdir):
        self.processes = processes
        self.dir = os.path.join(workdir, "nginx")
        os.makedirs(self.dir, exist_ok=True)
        self.port = free_loopback_port()
        self.access_log = os.path.join(self.dir, "access.log")
        d = self.dir
        config = f"""daemon off;
master_process off;
pid {d}/nginx.pid;
error_log {d}/error.log;
events {{ worker_connections 64; }}
http {{
    log_format raw escape=none '$request';
    access_log {self.access_log} raw;
    client_body_temp_path {d}/client_body;
    proxy_temp_path {d}/proxy;
    fastcgi_temp_path {d}/fastcgi;
    uwsgi_temp_path {d}/uwsgi;
    scgi_temp_path {d}/scgi;
    server {{
        listen 127.0.0.1:{self.port};
        location = /tezra/result {{ return 204; }}
        location / {{ return 404; }}
    }}
}}
"""
        self.config = os.path.join(d, "nginx.conf")
        with open(self.config, "w") as file:
            file.write(config)
        self.process = processes.start(
            "nginx", ["nginx", "-p", d + "/", "-c", self.config, "-e", f"{d}/error.log"],
            os.path.join(d, "nginx.out"))
        steps.wait("nginx accepting connections on 127.0.0.1",
                   lambda: self.process.poll() is None and port_accepts(self.port), limit=15)

    def request_lines(self):
        """The request lines received so far, as raw bytes."""
        try:
            with open(self.access_log, "rb") as file:
                return [line for line in file.read().split(b"\n") if line]
        except FileNotFoundError:
            return []

    def stop(self):
        self.processes.stop(self.process, first_signal=signal.SIGQUIT)


# ---- the accessibility bus ------------------------------------------------------------


class Accessibility:
    """The station's windows and controls as the accessibility bus shows them. Controls are
    found by role and accessible name; object names are not on the bus."""

    def __init__(self, steps, app_name):
        import pyatspi  # Debian's python3-pyatspi, under /usr/bin/python3
        from gi.repository import Atspi
        Atspi.set_timeout(ATSPI_CALL_MS, ATSPI_CALL_MS * 4)
        self.pyatspi = pyatspi
        self.steps = steps
        self.app_name = app_name

    def app(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            child = desktop.getChildAtIndex(index)
            if child is not None and child.name == self.app_name:
                return child
        return None

    def showing(self, node):
        return node.getState().contains(self.pyatspi.STATE_SHOWING)

    def checked(self, node):
        return node.getState().contains(self.pyatspi.STATE_CHECKED)

    def find_all(self, root, role=None, name=None, showing=True):
        """Every node below root (root included) with that role name and accessible name."""
        found = []
        stack = [root] if root is not None else []
        while stack:
            node = stack.pop()
            if node is None:
                continue
            if showing and not self.showing(node):
                continue
            if (role is None or node.getRoleName() == role) and \
                    (name is None or node.name == name):
                found.append(node)
            stack.extend(reversed([node.getChildAtIndex(i) for i in range(node.childCount)]))
        return found

    def find(self, root, role=None, name=None):
        nodes = self.find_all(root, role, name)
        return nodes[0] if nodes else None

    def window(self, name=None, role=None):
        """A showing top-level window of the station with that title."""
        app = self.app()
        if app is None:
            return None
        for index in range(app.childCount):
            child = app.getChildAtIndex(index)
            if child is None or not self.showing(child):
                continue
            if (name is None or child.name == name) and \
                    (role is None or child.getRoleName() == role):
                return child
        return None

    def wait_window(self, what, name=None, role=None, limit=20):
        return self.steps.wait(what, lambda: self.window(name, role), limit)

    def wait_control(self, what, window, role, name=None, limit=20):
        return self.steps.wait(what, lambda: self.find(window, role, name), limit)

    def extents(self, node):
        box = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def center(self, node):
        x, y, w, h = self.extents(node)
        return x + w // 2, y + h // 2

    def text(self, node):
        return node.queryText().getText(0, -1)

# ---- the kiosk checks: plain helpers over a display by name ---------------------------
#
# Every process is started in a Processes object and ended by its group when the check ends;
# every wait has a time limit. Windows are found by their X11 window role, which every station
# window sets to its object name.


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


def skip_unless(condition, reason):
    if not condition:
        print(f"SKIP: {reason}")
        raise SystemExit(SKIP)


def require_x_tools(*tools):
    """Ends a check as skipped when a program it needs is missing."""
    require_tools(*tools, atspi=False)


# ---- X servers by name

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
    return Display(display).ready()


def start_xvfb(processes, display, workdir, screen="1024x768x24"):
    require_x_tools("Xvfb", "xdpyinfo")
    processes.start("Xvfb", xvfb_command(display, screen), os.path.join(workdir, "xvfb.log"))
    wait_for(lambda: x_answers(display), 20, f"Xvfb on {display}")


def start_xorg(processes, display, workdir, config):
    """Xorg with the dummy video driver: heads side by side (Xinerama or RandR outputs)."""
    require_x_tools("Xorg", "xdpyinfo")
    skip_unless(os.geteuid() == 0, "Xorg with the dummy driver needs root")
    skip_unless(os.path.exists(XORG_DUMMY_DRIVER),
                "the Xorg dummy driver (xserver-xorg-video-dummy) is not installed")
    processes.start("Xorg", xorg_command(display, config, os.path.join(workdir, "xorg.log")),
                    os.path.join(workdir, "xorg.out"))
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


def start_openbox_with(processes, display, workdir, config):
    """openbox with the configuration file config, once it has taken the screen."""
    require_x_tools("openbox", "xprop")
    screen = Display(display)
    launch_openbox(processes, screen, workdir, config)
    wait_for(lambda: openbox_took_screen(screen), 20, "openbox")


# ---- windows and input by display name

def run(display, argv, timeout=10):
    """The program's output on the display, also when it fails."""
    return Display(display).run(*argv, timeout=timeout, check=False)


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
    try:
        return Display(display).geometry(window)
    except (RuntimeError, KeyError) as error:
        raise CheckFailed(f"xwininfo gave no geometry for {window}: {error}") from error


def root_size(display):
    return Display(display).root_size()


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
    Display(display).key(*keys, delay_ms=60)


def type_text(display, text):
    Display(display).type(text)


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
    return processes.start(os.path.basename(program), [program, *args], log,
                           env=station_env(display, folder), cwd=folder)


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
    try:
        Display(display).screenshot(path)
        return True
    except (RuntimeError, subprocess.TimeoutExpired):
        return False


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


def run_main(main):
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


# ---- window stacking

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
    try:
        return Display(display).client_windows()
    except RuntimeError:
        return []
