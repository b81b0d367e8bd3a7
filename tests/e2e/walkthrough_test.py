#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The whole station as students meet it, on a real desktop.

Two monitors joined into one desktop, openbox, nginx on 127.0.0.1 as the class result server,
and the real tezra-net in a station folder of its own (tests/e2e/station: a test with known
answers, secure mode on, a login with the class list). Two students take the test with real
clicks and keys: the first defers a problem, forgets an answer once and has another window
pushed over the test; the second answers differently. A third student finishes while every
result server is down and reaches the call-the-teacher dialogue.

Checked: what nginx received (raw cp1251 request lines), report.log byte for byte (its times
against the times this run saw), the secure window over the whole desktop without a frame and
back on top after another window covered it, message and input boxes above it and answerable,
the results window, and the splash after every student.

    walkthrough_test.py --station BUILD/station/tezra-net --examples examples/station

Exit code 0: passed; 77: skipped (a program is missing); anything else: failed.
"""

import argparse
import datetime
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop  # noqa: E402

desktop.reexec_in_session()

from desktop import (Accessibility, Nginx, StepFailed, log,  # noqa: E402
                     require_tools, start_openbox, start_x_server)
from station import Station, Student, dump_tree, make_station_folder  # noqa: E402

TEST_ROW = "Сквозная проверка: три задачи"
# How soon the secure window must be back on top, with the keyboard, after being covered.
REASSERT_LIMIT_S = 2.5


class Pass:
    """One student's pass and the times the run saw around it."""

    def __init__(self, surname, group, group_position):
        self.surname = surname
        self.group = group
        self.group_position = group_position
        self.before_start = self.after_start = None
        self.before_end = self.after_end = None


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--station", required=True, help="the built tezra-net executable")
    parser.add_argument("--examples", required=True, help="the demo station folder")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    return parser.parse_args()


def prepare_station(folder, executable, examples, port):
    source = os.path.join(HERE, "station")

    def read(name):
        with open(os.path.join(source, name), encoding="utf-8") as file:
            return file.read()

    make_station_folder(
        folder, executable, read("tezra-net.ini").replace("{port}", str(port)),
        tests={"walk-test.ttxt": read("walk-test.ttxt"),
               "walk-test.desc": read("walk-test.desc"),
               "other.txt": read("other.txt")},
        files={"tezra/fractions-pie.jpg": os.path.join(examples, "tezra", "fractions-pie.jpg"),
               "splash/book.jpg": os.path.join(examples, "splash", "splash-1-book.jpg")})


# ---- the secure window ----------------------------------------------------------------


def check_secure_window(steps, display, station, student):
    window = station.wait_x_window("fmTezra")
    root = display.root_size()
    geometry = display.geometry(window)
    steps.check(geometry == (0, 0, *root),
                f"the test window covers {geometry}, not the whole desktop {root}")
    extents = display.frame_extents(window)
    steps.check(extents in (None, (0, 0, 0, 0)), f"the test window has a frame {extents}")
    # The controls stay on the primary monitor, where the student can reach them.
    primary = display.heads()[0]
    button = student.a11y.wait_control("the answer button", student.test_window(),
                                       "push button", "Я ответил")
    bx, by, bw, bh = student.a11y.extents(button)
    px, py, pw, ph = primary
    steps.check(px <= bx and bx + bw <= px + pw and py <= by and by + bh <= py + ph,
                f"the answer button {(bx, by, bw, bh)} lies outside the primary monitor "
                f"{primary}")
    log(f"   secure window {geometry}, frame {extents}, answer button on {primary}")
    return window


def check_box_above(steps, display, test_window, box_window):
    stack = display.client_windows()
    steps.check(test_window in stack and box_window in stack and
                stack.index(box_window) > stack.index(test_window),
                f"the box {box_window:#x} is not above the test window {test_window:#x} "
                f"(stack {[hex(w) for w in stack]})")
    bx, by, bw, bh = display.geometry(box_window)
    px, py, pw, ph = display.heads()[0]
    steps.check(px <= bx and bx + bw <= px + pw and py <= by and by + bh <= py + ph,
                f"the box {(bx, by, bw, bh)} is not on the primary monitor")


def cover_and_wait_back(steps, processes, display, test_window, workdir):
    """Another program's full-screen window is activated over the test window; the test
    window must be on top again, with the keyboard, within REASSERT_LIMIT_S."""
    other = processes.start("xmessage", ["xmessage", "-geometry", "400x150+100+100",
                                         "Другая программа"],
                            os.path.join(workdir, "xmessage.log"), env=display.env)
    found = steps.wait("the other window on screen",
                       lambda: display.run("xdotool", "search", "--onlyvisible",
                                           "--classname", "^xmessage$").split(), limit=10)
    cover = int(found[0])
    display.run("xdotool", "windowunmap", "--sync", str(cover))
    display.run("xprop", "-id", str(cover), "-f", "_NET_WM_STATE", "32a", "-set",
                "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN")
    display.run("xdotool", "windowmap", "--sync", str(cover))
    for attempt in range(3):
        display.run("xdotool", "windowactivate", str(cover))
        covered_at = time.monotonic()
        try:
            # Seen on top with the keyboard: the window manager raised it over the test.
            steps.wait("the other window over the test window",
                       lambda: display.client_windows()[-1] == cover and
                       int(display.run("xdotool", "getactivewindow")) == cover,
                       limit=1.5, interval=0.02)
        except StepFailed:
            continue  # the station took the screen back before it could be seen; again
        steps.wait("the test window back on top with the keyboard",
                   lambda: display.client_windows()[-1] == test_window and
                   int(display.run("xdotool", "getactivewindow")) == test_window,
                   limit=REASSERT_LIMIT_S + 1, interval=0.02)
        back = time.monotonic() - covered_at
        steps.check(back <= REASSERT_LIMIT_S,
                    f"the test window came back on top only after {back:.2f} s")
        log(f"   covered by another window; back on top after {back:.2f} s")
        processes.stop(other)
        return
    raise StepFailed(f"{steps.current}: the other window never got over the test window")


# ---- the passes -----------------------------------------------------------------------


def start_pass(steps, student, who):
    with steps.step(f"{who.surname}: splash, login, test choice"):
        student.click_splash()
        student.login(who.surname, who.group, who.group_position)
        who.before_start = time.time()
        student.choose_test(TEST_ROW)
        student.test_window()
        who.after_start = time.time()


def finish_pass(steps, station, student, who, expected_rows):
    with steps.step(f"{who.surname}: results window, back to the splash"):
        who.after_end = time.time()
        rows = student.results()
        steps.check(all(rows.get(k) == v for k, v in expected_rows.items()),
                    f"the results window shows {rows}, expected {expected_rows}")
        student.close_results()
        station.wait_x_window("fmSplash")


def first_student(steps, processes, display, station, student, who, workdir):
    start_pass(steps, student, who)
    with steps.step(f"{who.surname}: the secure test window"):
        test_window = check_secure_window(steps, display, station, student)
    with steps.step(f"{who.surname}: defer the first problem"):
        student.wait_problem("Сколько будет 2 + 2?")
        student.defer()
        student.wait_problem("Отметьте чётные числа.")
    with steps.step(f"{who.surname}: a forgotten answer"):
        student.confirm()
        _, box = student.box("Вы забыли выбрать ответ!")
        check_box_above(steps, display, test_window, box)
        student.answer_box("Вы забыли выбрать ответ!")
    with steps.step(f"{who.surname}: tick two variants"):
        student.tick("2")
        student.tick("4")
        student.confirm()
        student.wait_problem("Какая часть круга закрашена?")
    with steps.step(f"{who.surname}: another window over the test"):
        cover_and_wait_back(steps, processes, display, test_window, workdir)
    with steps.step(f"{who.surname}: a typed answer, then the deferred problem"):
        student.type_answer("3/8")
        student.confirm()
        _, _, _, left = student.wait_problem("Сколько будет 2 + 2?")
        steps.check(left == "Осталось вопросов: 0", f"the last problem shows '{left}'")
        student.choose("четыре")
        student.confirm()
    with steps.step(f"{who.surname}: the score"):
        _, box = student.box("Вы набрали баллов: 3\rОценка 5")
        check_box_above(steps, display, test_window, box)
        who.before_end = time.time()
        student.answer_box("Вы набрали баллов: 3\rОценка 5")
    finish_pass(steps, station, student, who,
                {"Пользователь": who.surname, "Входит в группу": who.group,
                 "Сданный тест": TEST_ROW, "Количество вопросов": "3",
                 "Набранные баллы": "3", "Полученная оценка": "5"})


def second_student(steps, station, student, who):
    start_pass(steps, student, who)
    with steps.step(f"{who.surname}: answers"):
        student.wait_problem("Сколько будет 2 + 2?")
        student.choose("четыре")
        student.confirm()
        student.wait_problem("Отметьте чётные числа.")
        student.tick("2")
        student.confirm()
        student.wait_problem("Какая часть круга закрашена?")
        student.type_answer("три восьмых")  # blanks do not count
        student.confirm()
    with steps.step(f"{who.surname}: the score"):
        student.box("Вы набрали баллов: 2.5\rОценка 4")
        who.before_end = time.time()
        student.answer_box("Вы набрали баллов: 2.5\rОценка 4")
    finish_pass(steps, station, student, who,
                {"Пользователь": who.surname, "Входит в группу": who.group,
                 "Набранные баллы": "2.5", "Полученная оценка": "4"})


def third_student_without_server(steps, display, station, student, who):
    start_pass(steps, student, who)
    test_window = station.wait_x_window("fmTezra")
    with steps.step(f"{who.surname}: wrong answers"):
        student.wait_problem("Сколько будет 2 + 2?")
        student.choose("пять")
        student.confirm()
        student.wait_problem("Отметьте чётные числа.")
        student.tick("3")
        student.confirm()
        student.wait_problem("Какая часть круга закрашена?")
        student.type_answer("1/2")
        student.confirm()
        student.answer_box("Вы набрали баллов: 0\rОценка 1")
        who.before_end = time.time()
    with steps.step(f"{who.surname}: every result server down: call the teacher"):
        for text in ("Пожалуйста, позовите учителя к своему компьютеру!",
                     "Необходимо позвать учителя к своему компьютеру!"):
            _, box = student.box(text, limit=30)
            check_box_above(steps, display, test_window, box)
            student.answer_box(text)
        prompt = "Баллы = 0\rОценка= 1\r\rВведите СЛОВО:"
        _, box = student.box(prompt)
        check_box_above(steps, display, test_window, box)
        student.answer_box(prompt, typed="нет")  # not the word: asked again
        student.answer_box(prompt, typed="ок")  # the word, in Cyrillic letters
    finish_pass(steps, station, student, who,
                {"Пользователь": who.surname, "Набранные баллы": "0",
                 "Полученная оценка": "1"})


# ---- report.log ------------------------------------------------------------------------


def check_record(steps, record, who, points, mark):
    """One record: lines 1 to 7 exactly; the start and the duration within what the run
    saw (the log keeps whole seconds and whole milliseconds of a day)."""
    lines = record.split(b"\r\n")
    expected = [b"===================", b"User=" + who.surname.encode("cp1251"),
                b"Group=" + who.group.encode("cp1251"), b"Test=" + TEST_ROW.encode("cp1251"),
                b"Questions=3", b"Points=" + points.encode(), b"Mark=" + str(mark).encode()]
    steps.check(lines[:7] == expected, f"record of {who.surname}: {lines[:7]} != {expected}")
    steps.check(len(lines) == 9, f"record of {who.surname} has {len(lines)} lines")
    start = re.fullmatch(rb"Start at=(\d\d)\.(\d\d)\.(\d{4}) (\d{1,2}):(\d\d):(\d\d)", lines[7])
    steps.check(start is not None, f"line 8 of {who.surname}: {lines[7]}")
    day, month, year, hours, minutes, seconds = (int(v) for v in start.groups())
    logged = datetime.datetime(year, month, day, hours, minutes, seconds).timestamp()
    steps.check(int(who.before_start) - 1 <= logged <= who.after_start + 1,
                f"start {lines[7]} outside {time.ctime(who.before_start)} .. "
                f"{time.ctime(who.after_start)}")
    duration = re.fullmatch(rb"Duration=(\d+):(\d+)", lines[8])
    steps.check(duration is not None, f"line 9 of {who.surname}: {lines[8]}")
    total = int(duration.group(1)) * 60 + int(duration.group(2))
    shortest = who.before_end - who.after_start
    longest = who.after_end - who.before_start
    steps.check(int(duration.group(2)) < 60 and shortest - 1 <= total <= longest + 1,
                f"duration {lines[8]} outside {shortest:.1f} .. {longest:.1f} s")


def check_report_log(steps, station, students, results):
    data = station.report_log()
    steps.check(data.endswith(b"\r\n"), "report.log does not end with CR LF")
    records = data[:-2].split(b"\r\n\r\n")
    steps.check(len(records) == len(students),
                f"report.log holds {len(records)} records, expected {len(students)}")
    steps.check(b"\n" not in data.replace(b"\r\n", b"") and b"\r" not in
                data.replace(b"\r\n", b""), "report.log has a line end other than CR LF")
    for record, who, (points, mark) in zip(records, students, results):
        check_record(steps, record, who, points, mark)


def expected_request(who, res, mark):
    return (b"GET /tezra/result?group=" + who.group.encode("cp1251") + b"&user=" +
            who.surname.encode("cp1251") + f"&res={res}&mark={mark} HTTP/1.1".encode())


# ---- the run ---------------------------------------------------------------------------


def run(args, processes, steps, workdir):
    with steps.step("desktop: X server, openbox, nginx"):
        display = start_x_server(processes, steps, workdir, two_screens=True,
                                 xorg_config=os.path.join(HERE, "xorg-two-screens.conf"))
        log(f"   display {display.name}: {display.kind}; monitors {display.heads()}, "
            f"desktop {display.root_size()}")
        start_openbox(processes, steps, display, workdir)
        nginx = Nginx(processes, steps, workdir)
    with steps.step("station folder and start"):
        folder = os.path.join(workdir, "station")
        prepare_station(folder, args.station, args.examples, nginx.port)
        a11y = Accessibility(steps, "tezra-net")
        station = Station(processes, steps, display, folder,
                          ["IP", f"127.0.0.1:{nginx.port}"],
                          os.path.join(workdir, "station.log"), a11y)
        station.wait_x_window("fmSplash", limit=30)
    student = Student(station)
    try:
        students = [Pass("Ёлкина", "10Б", 1), Pass("Иванов", "9А", 0),
                    Pass("Петров", "11В", 2)]
        first_student(steps, processes, display, station, student, students[0], workdir)
        second_student(steps, station, student, students[1])
        with steps.step("nginx received the two results"):
            expected = [expected_request(students[0], 30000, 5),
                        expected_request(students[1], 25000, 4)]
            steps.wait("two request lines in the access log",
                       lambda: len(nginx.request_lines()) >= 2, limit=10)
            steps.check(nginx.request_lines() == expected,
                        f"nginx received {nginx.request_lines()}, expected {expected}")
            nginx.stop()
        third_student_without_server(steps, display, station, student, students[2])
        with steps.step("report.log byte for byte"):
            check_report_log(steps, station, students,
                             [("3.000", 5), ("2.500", 4), ("0.000", 1)])
            steps.check(len(nginx.request_lines()) == 2, "nginx got more than two requests")
            steps.check(station.running(), "the station has ended")
    except StepFailed:
        with steps.step("failure report"):
            shot = display.screenshot(os.path.join(workdir, "failure.png"))
            log(f"   screen at the failure: {shot}")
            dump_tree(a11y)
        raise


def main():
    args = parse_args()
    require_tools("Xvfb", "openbox", "nginx", "xdotool", "xprop", "xwininfo", "xdpyinfo",
                  "xmodmap", "xmessage", "import")
    return desktop.run_check(run, args, "end-to-end walkthrough", "tezra-e2e-", watchdog_s=60)


if __name__ == "__main__":
    sys.exit(main())
