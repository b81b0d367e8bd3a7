#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The demo station on a virtual display: one student walks through it, every window is
saved as a picture, and the station stays running for the user.

It starts Xvfb and openbox, starts tezra-net from the station folder with the result server
given, and takes one student through the splash, the login, the test chooser, the fractions
test (a deferral, a forgotten answer, right answers found with tezra-tool) and the results
window, saving a PNG of each window under the screenshots folder and printing its path. Then
the station waits for the next student on that display until Ctrl+C or SIGTERM, which end
everything this script started.

    demo-walkthrough.py --station build/release/station --tool build/release/tools/tezra-tool
                        --server 127.0.0.1:8301 --shots build/screenshots
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import desktop  # noqa: E402

desktop.reexec_in_session()

from desktop import (Accessibility, Processes, StepFailed, Steps, at_end, log,  # noqa: E402
                     require_tools, start_openbox, start_x_server)
from station import Station, Student  # noqa: E402

TEST_FILE = "fractions-5.ttxt"
SURNAME, GROUP, GROUP_POSITION = "Смирнова", "5Б", 1
MODES = {0: "RADIO", 1: "COMBO", 2: "INPUT"}


class Shots:
    """Numbered PNGs of what is on screen, cut to the windows they show."""

    def __init__(self, display, folder):
        self.display = display
        self.folder = folder
        self.saved = []
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)

    def save(self, name, windows=None):
        area = None
        if windows:
            boxes = [self.display.outer_geometry(w) for w in windows]
            left = max(0, min(b[0] for b in boxes))
            top = max(0, min(b[1] for b in boxes))
            right = max(b[0] + b[2] for b in boxes)
            bottom = max(b[1] + b[3] for b in boxes)
            area = (left, top, right - left, bottom - top)
        path = os.path.join(self.folder, f"{len(self.saved) + 1:02d}-{name}.png")
        self.display.screenshot(path, area)
        self.saved.append(path)
        log(f"   saved {path}")
        return path


def answer_key(tool, test_path):
    """Each problem's condition (lines joined by LF) -> (mode, right answers)."""
    dump = json.loads(subprocess.run([tool, "dump", test_path], capture_output=True,
                                     check=True).stdout)
    key = {}
    for problem in dump["Problems"]:
        mode = MODES.get(problem["Mode"], "RADIO")
        variants = problem["Variants"]
        if mode == "INPUT":
            right = [variants[0]["Text"]]
        elif mode == "COMBO":
            right = [v["Text"] for v in variants if v["Weight"] > 0]
        else:
            right = [max(variants, key=lambda v: v["Weight"])["Text"]]
        key["\n".join(problem["Condition"])] = (mode, right)
    return key


def description(station_dir, test_file):
    path = os.path.join(station_dir, "tezra", os.path.splitext(test_file)[0] + ".desc")
    with open(path, "rb") as file:
        return file.read().decode("cp1251").splitlines()[0]


def watch_activity_box(station, found):
    """Saves the activity box as soon as it is on screen (it shows for a moment only)."""
    deadline = time.monotonic() + 15
    while time.monotonic() < deadline and not found:
        try:
            box = station.x_window("fmInfoBox")
            test = station.x_window("fmTezra")
            if box is not None:
                time.sleep(0.1)  # the box's line gets its verdict
                found.append((box, test))
                return
        except Exception:  # the box may close between two looks
            pass
        time.sleep(0.01)


def take_test(steps, station, student, shots, key):
    shot_modes = set()
    deferred = forgot = False
    test = station.wait_x_window("fmTezra")
    while True:
        with steps.step("a problem"):
            condition, mode, _, _ = student.problem()
            shown_mode, right = key.get(condition, (mode, []))
            steps.check(shown_mode == mode and right,
                        f"the problem on screen is not in the test file: {condition!r}")
            if not deferred:
                student.defer()
                deferred = True
                steps.wait("the next problem", lambda: student.problem()[0] != condition)
                continue
            if mode == "COMBO" and not forgot:
                student.confirm()
                student.box("Вы забыли выбрать ответ!")
                shots.save("forgotten-answer", [test, station.box_windows()[-1]])
                student.answer_box("Вы забыли выбрать ответ!")
                forgot = True
            if mode == "RADIO":
                student.choose(right[0])
            elif mode == "COMBO":
                for variant in right:
                    student.tick(variant)
            else:
                student.type_answer(right[0])
            if mode not in shot_modes:
                shots.save(f"problem-{mode.lower()}", [test])
                shot_modes.add(mode)
            left = student.problem()[3]
            student.confirm()
        if left.endswith(": 0"):
            return test
        with steps.step("the next problem"):
            steps.wait("the next problem", lambda: student.problem()[0] != condition or
                       student.problem()[3] != left)


def walk(args, steps, display, station, shots):
    student = Student(station)
    key = answer_key(args.tool, os.path.join(args.station, "tezra", TEST_FILE))
    with steps.step("the splash"):
        station.wait_x_window("fmSplash", limit=30)
        time.sleep(1.5)  # the first picture fades in
        shots.save("splash")
        student.click_splash()
    with steps.step("the login"):
        login = station.wait_x_window("fmLogin")
        dialog = student.fill_login(SURNAME, GROUP, GROUP_POSITION)
        shots.save("login", [login])
        student.press(student.a11y.find(dialog, "push button", "OK"))
        station.wait_x_window_gone("fmLogin")
    with steps.step("the test chooser"):
        chooser = station.wait_x_window("fmChooseTezra")
        dialog = student.select_test(description(args.station, TEST_FILE))
        shots.save("chooser", [chooser])
        student.press(student.a11y.find(dialog, "push button", "Приступить к сдаче теста"))
        station.wait_x_window_gone("fmChooseTezra")
    test = take_test(steps, station, student, shots, key)
    with steps.step("the score and the result sent"):
        student.box("Вы набрали баллов: ")
        shots.save("score", [test, station.box_windows()[-1]])
        found = []
        watcher = threading.Thread(target=watch_activity_box, args=(station, found))
        watcher.start()
        student.answer_box("Вы набрали баллов: ")
        watcher.join()
        if found:
            box, test_now = found[0]
            shots.save("activity", [w for w in (test_now, box) if w is not None])
        else:
            log("   note: the activity box closed before it could be saved")
    with steps.step("the results window"):
        report = station.wait_x_window("fmTezraReport")
        student.results()
        shots.save("results", [report])
        student.close_results()
        station.wait_x_window("fmSplash")


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--station", required=True, help="the station folder")
    parser.add_argument("--tool", required=True, help="the tezra-tool executable")
    parser.add_argument("--server", required=True, help="the result server, host:port")
    parser.add_argument("--shots", required=True, help="where the pictures go")
    return parser.parse_args()


def main():
    args = parse_args()
    require_tools("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xdpyinfo", "xmodmap",
                  "import")
    processes = Processes()
    steps = Steps(processes, watchdog_s=60)
    workdir = tempfile.mkdtemp(prefix="tezra-demo-")
    at_end(lambda: shutil.rmtree(workdir, ignore_errors=True))
    try:
        with steps.step("the virtual display"):
            display = start_x_server(processes, steps, workdir, two_screens=False)
            start_openbox(processes, steps, display, workdir)
        station = Station(processes, steps, display, args.station, ["IP", args.server],
                          os.path.join(workdir, "station.log"),
                          Accessibility(steps, "tezra-net"))
        shots = Shots(display, args.shots)
        try:
            walk(args, steps, display, station, shots)
            log(f"Screenshots of the walkthrough ({len(shots.saved)}):")
        except StepFailed as failure:
            log(f"The walkthrough stopped: {failure}")
            shots.save("stopped")
        for path in shots.saved:
            log(f"  {path}")
        steps.stop_watchdog()
        log(f"The station keeps running on the virtual display {display.name} "
            f"(DISPLAY={display.name} import -window root shot.png saves what it shows). "
            "Press Ctrl+C to stop it.")
        while station.running():  # a signal handler may end everything meanwhile
            time.sleep(0.5)
        return 0
    finally:
        processes.stop_all()


if __name__ == "__main__":
    sys.exit(main())
