#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What a screen reader hears of every station window, on a real desktop.

One student walks through the station on Xvfb with openbox, the result server down: the
splash, the login, the test chooser, the test window in each answer mode (a radio group, a
check list, a typed answer), the forgotten-answer message, the score, the call-the-teacher
messages and the input box, and the results window. At each of them the accessibility tree of
the window is walked over AT-SPI, and the run fails on a control a student uses that has no
role, no name, or a name that does not carry the value the window shows: the deferrals left,
the problems left, the variants, the rows of the results table.

    accessibility_test.py --station BUILD/station/tezra-net --examples examples/station

Exit code 0: passed; 77: skipped (a program is missing); anything else: failed.
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop  # noqa: E402

desktop.reexec_in_session()

from desktop import (Accessibility, StepFailed, free_loopback_port,  # noqa
                     log, require_tools, start_openbox, start_x_server)
from station import Station, Student, describe, dump_tree, make_station_folder  # noqa: E402

TEST_ROW = "Сквозная проверка: три задачи"

# Roles of the windows and of the controls a student reads or works: each must carry a name.
# Panels, fillers and split panes only hold other nodes.
NAMED_ROLES = {"dialog", "push button", "toggle button", "radio button", "check box", "text",
               "password text", "combo box", "list", "list item", "table", "table cell",
               "label", "spin button", "slider", "scroll bar", "separator", "page tab",
               "menu item"}
# Roles that say nothing of what a node is: a node on screen with one of them has no role.
NO_ROLES = {"invalid", "unknown", "redundant object"}


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--station", required=True, help="the built tezra-net executable")
    parser.add_argument("--examples", required=True, help="the demo station folder")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    return parser.parse_args()


def prepare_station(folder, executable, examples):
    source = os.path.join(HERE, "station")

    def read(name):
        with open(os.path.join(source, name), encoding="utf-8") as file:
            return file.read()

    # Every result server is down: a loopback port that nothing listens on.
    ini = read("tezra-net.ini").replace("{port}", str(free_loopback_port()))
    ini = ini.replace("secure=1", "secure=0")
    make_station_folder(
        folder, executable, ini,
        tests={"walk-test.ttxt": read("walk-test.ttxt"),
               "walk-test.desc": read("walk-test.desc"),
               "other.txt": read("other.txt")},
        files={"tezra/fractions-pie.jpg": os.path.join(examples, "tezra", "fractions-pie.jpg"),
               "splash/book.jpg": os.path.join(examples, "splash", "splash-1-book.jpg")})


class Audit:
    """Walks a window's accessibility tree and collects what a screen reader misses."""

    def __init__(self, a11y, steps):
        self.a11y = a11y
        self.steps = steps
        self.walked = []

    def nodes(self, window):
        """(node, role, name, path) of every showing node below window, window included."""
        found = []
        stack = [(window, "")]
        while stack:
            node, path = stack.pop()
            if node is None or not self.a11y.showing(node):
                continue
            role, name = node.getRoleName(), node.name or ""
            here = f"{path}/{role} '{name}'"
            found.append((node, role, name, here))
            stack.extend((node.getChildAtIndex(i), here)
                         for i in reversed(range(node.childCount)))
        return found

    def faults(self, window, expected):
        """What is wrong with the window: controls without a role or a name, and every
        (role, name) of expected that no showing node carries."""
        faults = []
        nodes = self.nodes(window)
        for node, role, name, path in nodes:
            if role in NO_ROLES:
                faults.append(f"no role: {path}")
            elif role in NAMED_ROLES and not name.strip():
                faults.append(f"no name: {path}")
        present = {(role, name) for _, role, name, _ in nodes}
        for role, name in expected:
            if (role, name) not in present:
                faults.append(f"no {role} named '{name}'")
        return faults

    def check(self, what, window, expected=(), limit=10):
        """Waits until the window has no fault left (a window may still be filling in), then
        fails naming every fault that remained."""
        last = []

        def clean():
            last[:] = self.faults(window, expected)
            return not last
        try:
            self.steps.wait(f"{what}: every control with its role, name and value", clean,
                            limit)
        except StepFailed:
            log("\n".join(describe(window)))
            raise StepFailed(f"{what}: " + "; ".join(last))
        self.walked.append(what)
        log(f"   {what}: {len(self.nodes(window))} nodes, every control named")


def counter(left):
    return ("label", f"Осталось отложить: {left}")


def remaining(left):
    return ("label", f"Осталось вопросов: {left}")


def walk(steps, station, student, audit):
    a11y = student.a11y
    with steps.step("the splash"):
        station.wait_x_window("fmSplash", limit=30)
        splash = a11y.wait_window("the splash", name="Заставка")
        audit.check("the splash", splash)
        student.click_splash()
    with steps.step("the login window"):
        login = student.fill_login("Слепцов", "10Б", 1)
        audit.check("the login window", login,
                    [("text", "Фамилия"), ("combo box", "10Б"), ("push button", "OK")])
        student.press(a11y.find(login, "push button", "OK"))
        station.wait_x_window_gone("fmLogin")
    with steps.step("the test chooser"):
        chooser = student.select_test(TEST_ROW)
        audit.check("the test chooser", chooser,
                    [("list", "Список тестов"), ("list item", TEST_ROW),
                     ("list item", "other"), ("push button", "Приступить к сдаче теста")])
        student.press(a11y.find(chooser, "push button", "Приступить к сдаче теста"))
        station.wait_x_window_gone("fmChooseTezra")
    with steps.step("the test window: a radio group"):
        student.wait_problem("Сколько будет 2 + 2?")
        window = student.test_window()
        audit.check("the radio problem", window,
                    [("text", "Условие задачи"), ("radio button", "три"),
                     ("radio button", "четыре"), ("radio button", "пять"),
                     ("push button", "Я ответил"), ("push button", "Отложить"),
                     counter(1), remaining(2)])
        student.defer()
    with steps.step("the test window: a check list, after a deferral"):
        student.wait_problem("Отметьте чётные числа.")
        # The counter is heard as it changes.
        audit.check("the check list problem", window,
                    [("list", "Варианты ответа"), ("list item", "2"), ("list item", "3"),
                     ("list item", "4"), counter(0), remaining(2)])
        student.confirm()
    with steps.step("the forgotten-answer message"):
        box, _ = student.box("Вы забыли выбрать ответ!")
        audit.check("the message box", box, [("push button", "OK")])
        student.answer_box("Вы забыли выбрать ответ!")
        student.tick("2")
        student.tick("4")
        student.confirm()
    with steps.step("the test window: a typed answer"):
        student.wait_problem("Какая часть круга закрашена?")
        audit.check("the typed-answer problem", window,
                    [("text", "Ваш ответ"), ("push button", "Я ответил"), counter(0),
                     remaining(1)])
        student.type_answer("3/8")
        student.confirm()
        student.wait_problem("Сколько будет 2 + 2?")
        audit.check("the deferred problem, the last one", window,
                    [("radio button", "четыре"), counter(0), remaining(0)])
        student.choose("четыре")
        student.confirm()
    with steps.step("the score and the call for the teacher"):
        for text in ("Вы набрали баллов: 3\rОценка 5",
                     "Пожалуйста, позовите учителя к своему компьютеру!",
                     "Необходимо позвать учителя к своему компьютеру!"):
            box, _ = student.box(text, limit=40)
            audit.check(f"the message '{text[:30]}'", box, [("push button", "OK")])
            student.answer_box(text)
        prompt = "Баллы = 3\rОценка= 5\r\rВведите СЛОВО:"
        box, _ = student.box(prompt)
        audit.check("the input box", box,
                    [("push button", "OK"), ("push button", "Cancel")])
        student.answer_box(prompt, typed="ок")
    with steps.step("the results window"):
        rows = student.results()
        results = a11y.wait_window("the results window", name="Результаты")
        audit.check("the results window", results,
                    [("table", "Результаты теста"), ("push button", "Закрыть"),
                     ("table cell", "Слепцов"), ("table cell", TEST_ROW),
                     ("table cell", "3")])
        steps.check(rows.get("Полученная оценка") == "5", f"the results window shows {rows}")
        student.close_results()
        station.wait_x_window("fmSplash")


def run(args, processes, steps, workdir):
    with steps.step("desktop: X server and openbox"):
        display = start_x_server(processes, steps, workdir, two_screens=False)
        start_openbox(processes, steps, display, workdir)
    with steps.step("station folder and start"):
        folder = os.path.join(workdir, "station")
        prepare_station(folder, args.station, args.examples)
        a11y = Accessibility(steps, "tezra-net")
        station = Station(processes, steps, display, folder, [],
                          os.path.join(workdir, "station.log"), a11y)
    student = Student(station)
    audit = Audit(a11y, steps)
    try:
        walk(steps, station, student, audit)
    except StepFailed:
        with steps.step("failure report"):
            log(f"   screen at the failure: "
                f"{display.screenshot(os.path.join(workdir, 'failure.png'))}")
            dump_tree(a11y)
        raise
    log(f"   walked: {', '.join(audit.walked)}")


def main():
    args = parse_args()
    require_tools("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xdpyinfo", "xmodmap",
                  "import")
    return desktop.run_check(run, args, "accessibility walk", "tezra-a11y-", watchdog_s=90)


if __name__ == "__main__":
    sys.exit(main())
