#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A test written in the editor reaches a real station and scores there as in the trial.

The real tezra-collector on 127.0.0.1 takes a small test through the editor's HTTP interface
(one problem of each answer kind, no shuffles, marks set). The teacher tries it as a student
through the server's trial with chosen answers and notes the points and the mark, then
publishes it. A fresh station folder syncs from that collector with tezra-tool sync, the real
tezra-net (X server, openbox, the accessibility bus) lists the published test, a student takes
it with the same answers, and the result the collector receives from the station must carry
the trial's points and mark; report.log holds the same.

    edited_test_test.py --station BUILD/tezra-net --tool BUILD/tezra-tool \
        --collector BUILD/tezra-collector

Exit code 0: passed; 77: skipped (a program is missing); anything else: failed.
"""

import argparse
import base64
import http.cookiejar
import json
import os
import re
import subprocess
import sys
import urllib.error
import urllib.parse
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop  # noqa: E402

desktop.reexec_in_session()

from desktop import (Accessibility, StepFailed, log,  # noqa: E402
                     require_tools, start_openbox, start_x_server)
from station import Station, Student, dump_tree, make_station_folder  # noqa: E402

PASSWORD = "учитель-e2e"
STATION_KEY = "station-key-of-the-editor-check"
NAME = "from-editor.ttxt"
CHOOSER = "Проверка теста из редактора"
SURNAME, GROUP = "Ёлкина", "9А"

# One problem of each kind, in a fixed order: the student's answers below give 1 + 0.5 + 0.
DOC = {
    "title": "Тест из редактора", "id": "editor-e2e", "chooserText": CHOOSER,
    "shuffle": {"groups": False, "problems": False, "variants": False},
    "defer": 0,
    "marks": {"5": 3, "4": 2.5, "3": 1.5, "2": 0.5},
    "groups": [{"name": "Раздел 1", "quota": None, "rate": 1}],
    "problems": [
        {"id": "p1", "title": "Сложение", "group": "Раздел 1", "rate": 1, "kind": "one",
         "text": "Сколько будет 2 + 2?\nВыберите ответ.",
         "variants": [{"text": "три", "weight": 0}, {"text": "четыре", "weight": 100},
                      {"text": "пять", "weight": 0}]},
        {"id": "p2", "title": "Чётные", "group": "Раздел 1", "rate": 1, "kind": "several",
         "text": "Отметьте чётные числа.",
         "variants": [{"text": "1", "weight": -50}, {"text": "2", "weight": 50},
                      {"text": "3", "weight": -50}, {"text": "4", "weight": 50}]},
        {"id": "p3", "title": "Столица", "group": "Раздел 1", "rate": 1, "kind": "typed",
         "text": "Столица Франции?",
         "variants": [{"text": "Париж", "weight": 100}]},
    ],
}
# The same answers in the trial (indexes in the shown order) and on the station (by text).
TRIAL_ANSWERS = [1, [1], "Лондон"]
EXPECTED_POINTS, EXPECTED_MARK = 1.5, 3

STATION_INI = """[general]
needlogin=1
needpassword=0
refreshtezras=1
secure=0
saveresults=1
reportlevel=0
[groups]
9А=
[servers]
127.0.0.1:{port}=
"""


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--station", required=True, help="the built tezra-net executable")
    parser.add_argument("--tool", required=True, help="the built tezra-tool executable")
    parser.add_argument("--collector", required=True, help="the built tezra-collector")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    return parser.parse_args()


class Teacher:
    """The teacher's side of the collector over HTTP: Basic password, session cookie and the
    editor's write token, as the page sends them."""

    def __init__(self, port):
        self.base = f"http://127.0.0.1:{port}"
        jar = http.cookiejar.CookieJar()
        self.opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(jar),
                                                  urllib.request.ProxyHandler({}))
        self.token = None
        self.token = self.call("GET", "/api/editor/token")[1]["token"]

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method)
        basic = base64.b64encode(f"teacher:{PASSWORD}".encode()).decode()
        request.add_header("Authorization", f"Basic {basic}")
        if data is not None:
            request.add_header("Content-Type", "application/json")
        if self.token and method != "GET":
            request.add_header("X-Tezra-Token", self.token)
        try:
            with self.opener.open(request, timeout=10) as reply:
                return reply.status, json.loads(reply.read() or b"null")
        except urllib.error.HTTPError as error:
            return error.code, json.loads(error.read() or b"null")


def start_collector(processes, steps, collector, workdir):
    with open(os.path.join(workdir, "password"), "w", encoding="utf-8") as out:
        out.write(PASSWORD + "\n")
    key = os.path.join(workdir, "station.key")
    with open(key, "w", encoding="utf-8") as out:
        out.write(STATION_KEY + "\n")
    log_path = os.path.join(workdir, "collector.log")
    processes.start("tezra-collector",
                    [collector, "--listen", "127.0.0.1:0", "--db",
                     os.path.join(workdir, "results.sqlite"), "--teacher-password-file",
                     os.path.join(workdir, "password"), "--station-key-file", key], log_path)

    def port():
        with open(log_path, encoding="utf-8", errors="replace") as text:
            found = re.search(r"Listening on 127\.0\.0\.1:(\d+)", text.read())
        return found and int(found.group(1))
    return steps.wait("the collector listening", port, limit=10), key


def write_and_try(steps, teacher):
    """Saves the test through the editor and takes it through the trial; the trial's score."""
    status, answer = teacher.call("POST", "/api/editor/tests", {"name": NAME, "doc": DOC})
    steps.check(status == 201, f"saving the test answered {status}: {answer}")
    status, check = teacher.call("POST", "/api/editor/check", {"doc": DOC, "name": NAME})
    steps.check(status == 200 and check.get("maxPoints") == 3,
                f"the editor reckons {check.get('maxPoints')} points ({status})")
    status, view = teacher.call("POST", "/api/editor/try", {"test": NAME})
    steps.check(status == 201, f"starting the trial answered {status}: {view}")
    attempt = view["attempt"]
    for number, choice in enumerate(TRIAL_ANSWERS):
        steps.check(view["state"] == "problem" and view["problem"]["index"] == number,
                    f"the trial shows {view['state']} {view.get('problem')}, not problem "
                    f"{number + 1}")
        status, view = teacher.call("POST", f"/api/editor/try/{attempt}/answer",
                                    {"answer": choice})
        steps.check(status == 200, f"answering in the trial answered {status}: {view}")
    steps.check(view["state"] == "finished", f"the trial did not finish: {view['state']}")
    score = view["score"]
    log(f"   the trial's score: {score['pointsText']} points, mark {score['mark']}; "
        f"message {view['message']!r}")
    return score


def publish(steps, teacher):
    path = "/api/tests/" + urllib.parse.quote(NAME)
    status, answer = teacher.call("PATCH", path, {"published": True, "chooser_text": CHOOSER})
    steps.check(status == 200, f"publishing answered {status}: {answer}")


def sync(steps, tool, port, key, folder):
    result = subprocess.run([tool, "sync", "--server", f"127.0.0.1:{port}", "--key", key,
                             "--timeout", "20", folder],
                            capture_output=True, text=True, timeout=40, check=False)
    log("   " + result.stdout.strip().replace("\n", "\n   "))
    steps.check(result.returncode == 0, f"sync ended with {result.returncode}: {result.stderr}")
    steps.check(os.path.exists(os.path.join(folder, "tezra", NAME)),
                "the published test is not in the station folder")


def take_test(steps, station, student):
    with steps.step("the station lists the published test; the student logs in"):
        student.click_splash()
        student.login(SURNAME, GROUP, 0)
        student.choose_test(CHOOSER)
    with steps.step("the same answers as in the trial"):
        student.wait_problem("Сколько будет 2 + 2?")
        student.choose("четыре")
        student.confirm()
        student.wait_problem("Отметьте чётные числа.")
        student.tick("2")
        student.confirm()
        student.wait_problem("Столица Франции?")
        student.type_answer(TRIAL_ANSWERS[2])
        student.confirm()
    with steps.step("the station's score message"):
        dialog, _ = student.box("Вы набрали баллов: ")
        text = [label.name for label in student.a11y.find_all(dialog, "label")
                if label.name.startswith("Вы набрали")][0]
        log(f"   the station says {text!r}")
        found = re.match(r"Вы набрали баллов: ([0-9.]+)[\r\n]+Оценка (\d+)", text)
        steps.check(found is not None, f"the score message reads {text!r}")
        student.answer_box("Вы набрали баллов: ")
    rows = student.results()
    student.close_results()
    return float(found.group(1)), int(found.group(2)), rows


def received(steps, teacher):
    """The one result row the collector took from the station."""
    def rows():
        status, answer = teacher.call("GET", "/api/results?after=0&date=")
        return status == 200 and answer["rows"]
    found = steps.wait("the station's result at the collector", rows, limit=20)
    steps.check(len(found) == 1, f"the collector holds {found}")
    return found[0]


def run(args, processes, steps, workdir):
    with steps.step("the collector; the test written in the editor and tried"):
        port, key = start_collector(processes, steps, args.collector, workdir)
        teacher = Teacher(port)
        score = write_and_try(steps, teacher)
        steps.check(score["points"] == EXPECTED_POINTS and score["mark"] == EXPECTED_MARK,
                    f"the trial scored {score}, expected {EXPECTED_POINTS} and mark "
                    f"{EXPECTED_MARK}")
        publish(steps, teacher)
    with steps.step("a station folder with no test syncs from the collector"):
        folder = os.path.join(workdir, "station")
        make_station_folder(folder, args.station, STATION_INI.format(port=port))
        sync(steps, args.tool, port, key, folder)
    with steps.step("desktop: X server, openbox, the station"):
        display = start_x_server(processes, steps, workdir, two_screens=False)
        start_openbox(processes, steps, display, workdir)
        a11y = Accessibility(steps, "tezra-net")
        station = Station(processes, steps, display, folder, ["IP", f"127.0.0.1:{port}"],
                          os.path.join(workdir, "station.log"), a11y)
        station.wait_x_window("fmSplash", limit=30)
    student = Student(station)
    try:
        points, mark, rows = take_test(steps, station, student)
        with steps.step("the station's score equals the trial's"):
            steps.check((points, mark) == (score["points"], score["mark"]),
                        f"the station scored {points} and {mark}, the trial "
                        f"{score['points']} and {score['mark']}")
            steps.check(rows.get("Набранные баллы") == score["pointsText"] and
                        rows.get("Полученная оценка") == str(score["mark"]),
                        f"the results window shows {rows}")
        with steps.step("the result at the collector and in report.log"):
            row = received(steps, teacher)
            steps.check(row["points"] == score["points"] and row["mark"] == score["mark"] and
                        row["user"] == SURNAME and row["group"] == GROUP,
                        f"the collector received {row}, the trial scored {score}")
            record = station.report_log().split(b"\r\n")
            expected = [b"===================", f"User={SURNAME}".encode("cp1251"),
                        f"Group={GROUP}".encode("cp1251"), f"Test={CHOOSER}".encode("cp1251"),
                        b"Questions=3", f"Points={score['points']:.3f}".encode(),
                        f"Mark={score['mark']}".encode()]
            steps.check(record[:7] == expected,
                        f"report.log begins {record[:7]}, expected {expected}")
    except StepFailed:
        with steps.step("failure report"):
            shot = display.screenshot(os.path.join(workdir, "failure.png"))
            log(f"   screen at the failure: {shot}")
            dump_tree(a11y)
        raise


def main():
    args = parse_args()
    require_tools("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xdpyinfo", "xmodmap",
                  "import")
    return desktop.run_check(run, args, "a test from the editor on a station", "tezra-edit-",
                             watchdog_s=60)


if __name__ == "__main__":
    sys.exit(main())
