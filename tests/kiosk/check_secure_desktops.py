#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The secure test window holds under the window managers schools run, on one monitor (Xvfb)
and on two (Xorg with the dummy driver, Xinerama): openbox, xfwm4, marco, icewm, fluxbox, i3,
and kwin when it is installed.

Each case does what a student or a desktop can do to leave the test, then measures how soon
the test window is back: viewable, the highest window at the centre of every monitor (and at
the panel's place), last in _NET_CLIENT_LIST_STACKING where the window manager keeps it,
focused, covering every monitor, and holding the keyboard (another client cannot grab it).
No key typed meanwhile may reach the bystander window of another program.

- workspace: another workspace shown (wmctrl -s 1; i3-msg on i3), then the first again
- minimize: a minimize request for the test window (as a task button or a panel sends it)
- panel: a click where icewm's taskbar stands (its workspace and task buttons)
- fullscreen: another window made full-screen and activated over the test window
- above: another window kept above and activated over the test window
- keys: the desktop shortcuts (Alt+Tab, Alt+F4, Super, Alt+F2, workspace keys, a terminal)

Usage: check_secure_desktops.py STATION DISPLAY_NUMBER [--full] [--wm NAME ...]
           [--table FILE] [--shots FOLDER]
Without --full it runs the quick set that CTest runs: every case under every window manager
on one monitor, and the workspace, minimize and full-screen cases on two monitors under
openbox, icewm and fluxbox. Window managers that are not installed are left out; two
monitors are left out without root or the dummy driver. --table writes the measured table
(Markdown); --shots keeps a screenshot after each case.
"""

import argparse
import os
import re
import shutil
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import (  # noqa: E402
    XORG_DUMMY_DRIVER, CheckFailed, Processes, Stacking, active_window, check, client_stacking,
    evidence_on_failure, geometry, key, keyboard_free, make_workdir, open_test, openbox_config,
    passed, reexec_in_session, require_x_tools, root_size, run, run_main, screenshot,
    start_station, start_xorg, start_xvfb, step, wait_for, write_station, xdotool, xprop)

HERE = os.path.dirname(os.path.abspath(__file__))
TWO_SCREENS = os.path.join(HERE, "..", "e2e", "xorg-two-screens.conf")
ONE = ("one", (1024, 768), [(0, 0, 1024, 768)])
TWO = ("two", (1824, 768), [(0, 0, 1024, 768), (1024, 0, 800, 600)])

# How soon the window must be back after each case, in seconds.
LIMITS = {"workspace": 1.0, "minimize": 1.0, "panel": 1.0, "fullscreen": 2.5, "above": 2.5,
          "keys": 1.0}
ALL_CASES = ["workspace", "minimize", "panel", "fullscreen", "above", "keys"]
QUICK_TWO = (["openbox", "icewm", "fluxbox"], ["workspace", "minimize", "fullscreen"])
# What a window manager does not let the station do, measured and reported but not failed:
# xfwm4 keeps a window of another program that is kept above over the test window (it
# neither keeps a full-screen window above nor raises it over such a window on request).
KNOWN = {("xfwm4", "above")}
SHORTCUTS = ["alt+Tab", "alt+F4", "super", "ctrl+Escape", "alt+F2", "ctrl+alt+Right",
             "ctrl+alt+t", "alt+space", "super+Return", "alt+Return", "alt+2", "ctrl+F2"]
BYSTANDER = "tezra-bystander"
BYSTANDER_CENTRE = (210, 160)  # of its 300x200 window at 60,60


def i3_config(work, marker):
    path = os.path.join(work, "i3.config")
    with open(path, "w", encoding="utf-8") as out:
        out.write("font pango:monospace 8\n"
                  f"bindsym Mod1+Return exec touch {marker}\n"
                  f"bindsym Control+Mod1+t exec touch {marker}\n"
                  "bindsym Mod1+2 workspace 2\nbindsym Mod1+1 workspace 1\n"
                  "bindsym Mod1+F4 kill\nbindsym Mod1+f fullscreen toggle\n")
    return path


def quiet_openbox_config(work, marker):
    """openbox as the shared harness sets it up, without the name of the new workspace that openbox
    shows for 875 ms over every window at a switch (an overlay nobody can click or type
    into, which would hide the test window from the on-top check)."""
    path = openbox_config(work, marker)
    with open(path, encoding="utf-8") as config:
        text = config.read()
    with open(path, "w", encoding="utf-8") as out:
        out.write(re.sub(r"<popupTime>\d+</popupTime>", "<popupTime>0</popupTime>", text))
    return path


def wm_command(name, work, marker):
    return {
        "openbox": ["openbox", "--config-file", quiet_openbox_config(work, marker)],
        "xfwm4": ["xfwm4", "--compositor=off"],
        "marco": ["marco", "--no-composite"],
        "icewm": ["icewm"],
        "fluxbox": ["fluxbox"],
        "i3": ["i3", "-c", i3_config(work, marker)],
        "kwin": ["kwin_x11"],
    }[name]


WM_PROGRAMS = {"openbox": "openbox", "xfwm4": "xfwm4", "marco": "marco", "icewm": "icewm",
               "fluxbox": "fluxbox", "i3": "i3", "kwin": "kwin_x11"}


def start_wm(processes, name, display, work, marker):
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    env = dict(os.environ, DISPLAY=display, HOME=home)
    processes.start(name, wm_command(name, work, marker), os.path.join(work, f"{name}.log"),
                    env=env)
    wait_for(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in xprop(display, "-root"), 20, name)
    time.sleep(1.0)  # panels and toolbars come up after the check window


def start_bystander(processes, display, work):
    """Another program's window that logs every key it receives."""
    log = os.path.join(work, "bystander.log")
    processes.start("xev", ["xev", "-name", BYSTANDER, "-geometry", "300x200+60+60",
                            "-event", "keyboard"], log, env=dict(os.environ, DISPLAY=display))
    window = wait_for(
        lambda: next(iter(xdotool(display, "search", "--onlyvisible", "--name",
                                  f"^{BYSTANDER}$").split()), None), 10, "the bystander")
    return int(window), log


def keys_reached(log):
    with open(log, encoding="utf-8", errors="replace") as text:
        return text.read().count("KeyPress event")


class State:
    """What the test window looks like now, from outside."""

    def __init__(self, display, window, monitors, size):
        self.display, self.window, self.monitors, self.size = display, window, monitors, size
        self.stacking = Stacking(display)
        self.frame = self.stacking.frame_of(window)

    def close(self):
        self.stacking.close()

    def problems(self, panel_point=None):
        """What is wrong now; empty when the window is fully back."""
        wrong = []
        if not self.stacking.viewable(self.window):
            return ["hidden"]
        frame = self.stacking.frame_of(self.window)
        points = [(x + w // 2, y + h // 2) for x, y, w, h in self.monitors]
        points.append(BYSTANDER_CENTRE)
        if panel_point:
            points.append(panel_point)
        for point in points:
            if self.stacking.top_at(*point) != frame:
                wrong.append(f"not on top at {point}")
        listed = client_stacking(self.display)
        if listed and listed[-1] != self.window and listed[-1] != frame:
            wrong.append("not last in _NET_CLIENT_LIST_STACKING")
        if active_window(self.display) != self.window:
            wrong.append("not focused")
        if geometry(self.display, self.window) != (0, 0, *self.size):
            wrong.append(f"covers {geometry(self.display, self.window)}")
        if keyboard_free(self.display):
            wrong.append("keyboard free")
        return wrong


def wait_back(state, limit, panel_point=None):
    """Seconds until the window is back, or None with what stayed wrong after limit."""
    start = time.monotonic()
    seen = []
    while True:
        wrong = state.problems(panel_point)
        elapsed = time.monotonic() - start
        if not wrong:
            if seen and os.environ.get("TEZRA_CHECK_VERBOSE"):
                print(f"   meanwhile: {seen}")
            return elapsed, []
        if wrong not in seen:
            seen.append(wrong)
        if elapsed > limit:
            return None, wrong
        time.sleep(0.05)


def icewm_taskbar_point(display, size):
    """A point on icewm's taskbar (its workspace buttons are at its left end)."""
    out = xdotool(display, "search", "--classname", "icewm")
    for window in out.split():
        x, y, width, height = geometry(display, int(window))
        if width >= size[0] // 2 and height < 60 and y > size[1] // 2:
            return x + 60, y + height // 2
    return 40, size[1] - 10


class Case:
    def __init__(self, name, wm, display, window, bystander, size):
        self.name, self.wm, self.display = name, wm, display
        self.window, self.bystander, self.size = window, bystander, size
        self.panel_point = None

    def do(self):
        getattr(self, "do_" + self.name)()

    def undo(self):
        undo = getattr(self, "undo_" + self.name, None)
        if undo:
            undo()

    def workspace(self, number):
        if self.wm == "i3":
            run(self.display, ["i3-msg", f"workspace {number + 1}"])
        else:
            run(self.display, ["wmctrl", "-s", str(number)])

    def do_workspace(self):
        self.workspace(1)

    def undo_workspace(self):
        self.workspace(0)

    def do_minimize(self):
        xdotool(self.display, "windowminimize", str(self.window))

    def do_panel(self):
        self.panel_point = (icewm_taskbar_point(self.display, self.size)
                            if self.wm == "icewm" else (40, self.size[1] - 10))
        xdotool(self.display, "mousemove", str(self.panel_point[0]), str(self.panel_point[1]))
        xdotool(self.display, "click", "1")

    def bystander_over(self, state):
        run(self.display, ["wmctrl", "-i", "-r", str(self.bystander), "-b", f"add,{state}"])
        run(self.display, ["wmctrl", "-i", "-a", str(self.bystander)])
        xdotool(self.display, "type", "--delay", "20", "abc")

    def do_fullscreen(self):
        self.bystander_over("fullscreen")

    def undo_fullscreen(self):
        run(self.display, ["wmctrl", "-i", "-r", str(self.bystander), "-b", "remove,fullscreen"])

    def do_above(self):
        self.bystander_over("above")

    def undo_above(self):
        run(self.display, ["wmctrl", "-i", "-r", str(self.bystander), "-b", "remove,above"])

    def do_keys(self):
        for keys in SHORTCUTS:
            key(self.display, keys)
            time.sleep(0.1)


def run_setup(program, number, wm, setup, cases, work, shots, table):
    name, size, monitors = setup
    display = f":{number}"
    folder = os.path.join(work, f"{wm}-{name}")
    os.makedirs(folder, exist_ok=True)
    marker = os.path.join(folder, "terminal-started")
    with Processes() as processes, evidence_on_failure(display, folder):
        if name == "one":
            start_xvfb(processes, display, folder)
        else:
            start_xorg(processes, display, folder, TWO_SCREENS)
        check(root_size(display) == size, f"the desktop is not {size}")
        start_wm(processes, wm, display, folder, marker)
        bystander, log = start_bystander(processes, display, folder)
        write_station(folder, secure=True)
        station = start_station(processes, program, display, folder,
                                os.path.join(folder, "station.log"))
        window = open_test(display, station.pid)
        state = State(display, window, monitors, size)
        try:
            seconds, wrong = wait_back(state, 5)
            check(not wrong, f"{wm}/{name}: the test window never stood: {wrong}")
            failures = []
            for case_name in cases:
                case = Case(case_name, wm, display, window, bystander, size)
                before = keys_reached(log)
                case.do()
                seconds, wrong = wait_back(state, LIMITS[case_name], case.panel_point)
                reached = keys_reached(log) - before
                if os.path.exists(marker):
                    wrong.append("a desktop shortcut ran")
                    os.remove(marker)
                if reached:
                    wrong.append(f"{reached} keys reached the bystander")
                check(station.poll() is None, f"{wm}/{name}/{case_name}: the station ended")
                table.append((wm, name, case_name, seconds, wrong))
                shown = f"back in {seconds:.2f} s" if seconds is not None else "NOT BACK"
                step(f"{wm} {name} {case_name}: {shown} {'; '.join(wrong)}")
                if shots:
                    screenshot(display, os.path.join(shots, f"{wm}-{name}-{case_name}.png"))
                if wrong and (wm, case_name) in KNOWN:
                    print(f"   known for {wm}, not failed: {case_name}")
                elif wrong:
                    failures.append(f"{case_name}: {', '.join(wrong)}")
                case.undo()
                wait_back(state, 3)
            check(not failures, f"{wm}/{name}: " + "; ".join(failures))
        finally:
            state.close()


def write_table(path, table):
    with open(path, "w", encoding="utf-8") as out:
        out.write("| window manager | monitors | case | back on top | focus | keyboard | "
                  "remarks |\n|---|---|---|---|---|---|---|\n")
        for wm, setup, case, seconds, wrong in table:
            back = f"{seconds:.2f} s" if seconds is not None else "no"
            focus = "no" if "not focused" in wrong else "yes"
            keyboard = "free" if "keyboard free" in wrong else "held"
            remarks = "; ".join(w for w in wrong if w not in ("not focused", "keyboard free"))
            out.write(f"| {wm} | {setup} | {case} | {back} | {focus} | {keyboard} | "
                      f"{remarks} |\n")


def main():
    reexec_in_session()
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("display", type=int)
    parser.add_argument("--full", action="store_true")
    parser.add_argument("--wm", nargs="*")
    parser.add_argument("--table")
    parser.add_argument("--shots")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    require_x_tools("xdotool", "xwininfo", "xprop", "wmctrl", "xev", "Xvfb")
    wms = [wm for wm in (args.wm or list(WM_PROGRAMS)) if shutil.which(WM_PROGRAMS[wm])]
    skip_two = os.geteuid() != 0 or not os.path.exists(XORG_DUMMY_DRIVER)
    if args.shots:
        os.makedirs(args.shots, exist_ok=True)
    runs = []
    for wm in wms:
        runs.append((wm, ONE, [c for c in ALL_CASES if c != "panel" or wm == "icewm"]))
    for wm in wms:
        if skip_two:
            break
        if args.full:
            runs.append((wm, TWO, [c for c in ALL_CASES if c != "panel" or wm == "icewm"]))
        elif wm in QUICK_TWO[0]:
            runs.append((wm, TWO, QUICK_TWO[1]))
    check(runs, "no window manager to try is installed")
    work = make_workdir("desktops")
    table, failures = [], []
    for index, (wm, setup, cases) in enumerate(runs):
        # A display number of its own for each run: an X server just ended may linger.
        number = args.display + index % 2
        try:
            run_setup(program, number, wm, setup, cases, work, args.shots, table)
        except CheckFailed as failure:
            failures.append(str(failure))
            print(f"FAIL: {failure}", flush=True)
    if args.table:
        write_table(args.table, table)
    if skip_two:
        print("two monitors left out: Xorg with the dummy driver needs root")
    check(not failures, f"{len(failures)} of {len(runs)} runs failed")
    passed(work)


if __name__ == "__main__":
    run_main(main)
