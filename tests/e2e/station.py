# SPDX-License-Identifier: GPL-3.0-or-later
"""The station on a real desktop, and what a student does with it.

A station folder is the executable beside tezra-net.ini, tezra/ and splash/, as a school lays
it out. Station starts the real tezra-net there with the accessibility bridge on; Student walks
through its windows with real clicks and keys, reading back what the windows show.

The windows are told apart by their X11 window role (the object name of each station window)
and by their accessible names. Message and input boxes have no role of their own: they are the
station's other viewable windows.
"""

import os
import shutil

from desktop import StepFailed, log


def cp1251_crlf(text):
    """UTF-8 source text as the station reads it: Windows-1251 with CR LF line ends."""
    lines = text.replace("\r\n", "\n").split("\n")
    return "\r\n".join(lines).encode("cp1251")


def make_station_folder(folder, executable, ini_text, tests=None, files=None):
    """Lays out a station: the executable, tezra-net.ini (cp1251, CR LF), the tests
    (name -> UTF-8 text, converted) and other files (relative path -> source path)."""
    os.makedirs(os.path.join(folder, "tezra"), exist_ok=True)
    os.makedirs(os.path.join(folder, "splash"), exist_ok=True)
    target = os.path.join(folder, "tezra-net")
    shutil.copy2(executable, target)
    with open(os.path.join(folder, "tezra-net.ini"), "wb") as file:
        file.write(cp1251_crlf(ini_text))
    for name, text in (tests or {}).items():
        with open(os.path.join(folder, "tezra", name), "wb") as file:
            file.write(cp1251_crlf(text))
    for relative, source in (files or {}).items():
        shutil.copy2(source, os.path.join(folder, relative))
    return target


class Station:
    """The real tezra-net running from folder on display, with the accessibility bridge on."""

    def __init__(self, processes, steps, display, folder, arguments, log_path,
                 accessibility):
        self.processes = processes
        self.steps = steps
        self.display = display
        self.folder = folder
        self.a11y = accessibility
        env = dict(display.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        env.pop("QT_ACCESSIBILITY", None)
        self.process = processes.start("tezra-net", ["./tezra-net", *arguments], log_path,
                                       env=env, cwd=folder)

    def running(self):
        return self.process.poll() is None

    def stop(self):
        self.processes.stop(self.process)

    def report_log(self):
        try:
            with open(os.path.join(self.folder, "report.log"), "rb") as file:
                return file.read()
        except FileNotFoundError:
            return b""

    # X windows -----------------------------------------------------------------------

    def x_window(self, role):
        """The viewable X window with that role, or None."""
        windows = self.display.windows_with_role(role)
        return windows[-1] if windows else None

    def wait_x_window(self, role, limit=20):
        return self.steps.wait(f"window {role} on screen",
                               lambda: self.running() and self.x_window(role), limit)

    def wait_x_window_gone(self, role, limit=20):
        self.steps.wait(f"window {role} closed",
                        lambda: self.running() and self.x_window(role) is None, limit)

    def box_windows(self):
        """Viewable station windows without a role of their own (message and input boxes),
        bottom to top."""
        found = []
        for window in self.display.client_windows():
            try:
                if self.display.role(window) is None and self.display.viewable(window) and \
                        "tezra-net" in (self.display.property(window, "WM_CLASS") or ""):
                    found.append(window)
            except RuntimeError:
                continue
        return found


class Student:
    """What a student does: clicks and keys."""

    def __init__(self, station):
        self.station = station
        self.steps = station.steps
        self.display = station.display
        self.a11y = station.a11y

    # generic --------------------------------------------------------------------------

    def click(self, node):
        self.display.click(*self.a11y.center(node))

    def press(self, node):
        """A button pressed by a click where it is on screen."""
        self.click(node)

    def type_into(self, edit, text, attempts=3):
        """Types text into a line edit, replacing what it holds, and checks what arrived."""
        for attempt in range(attempts):
            self.click(edit)
            self.display.key("ctrl+a", "BackSpace")
            self.display.type(text)
            try:
                self.steps.wait(f"'{text}' typed into {edit.name or edit.getRoleName()}",
                                lambda: self.a11y.text(edit) == text, limit=3)
                return
            except StepFailed:
                if attempt == attempts - 1:
                    raise

    # splash, login, chooser ------------------------------------------------------------

    def click_splash(self):
        window = self.station.wait_x_window("fmSplash")
        x, y, w, h = self.display.geometry(window)
        splash = self.a11y.wait_window("the splash on the accessibility bus", name="Заставка")
        self.steps.check(splash is not None, "the splash has no accessible name")
        self.display.click(x + w // 2, y + h // 2)
        self.station.wait_x_window_gone("fmSplash")

    def fill_login(self, surname, group, group_position):
        """Types the surname and picks the class by the keyboard, group_position rows down
        from the first. Returns the login window's accessible node."""
        window = self.station.wait_x_window("fmLogin")
        dialog = self.a11y.wait_window("the login window", name="Авторизация пользователя")
        self.display.focus(window)
        edit = self.a11y.wait_control("the surname field", dialog, "text", "Фамилия")
        self.type_into(edit, surname)
        # Tab order: surname, OK, class list. The list is announced by its current item.
        self.display.key("Tab", "Tab", "Home", *["Down"] * group_position)
        self.a11y.wait_control(f"class {group} chosen", dialog, "combo box", group, limit=5)
        return dialog

    def login(self, surname, group, group_position):
        dialog = self.fill_login(surname, group, group_position)
        self.press(self.a11y.find(dialog, "push button", "OK"))
        self.station.wait_x_window_gone("fmLogin")

    def select_test(self, row_text):
        """Clicks the chooser's row; returns the chooser's accessible node."""
        self.station.wait_x_window("fmChooseTezra")
        dialog = self.a11y.wait_window("the test chooser", name="Выберите тест")
        rows = self.a11y.wait_control("the test list", dialog, "list", "Список тестов")
        row = self.a11y.wait_control(f"the row '{row_text}'", rows, "list item", row_text)
        self.click(row)
        self.steps.wait(f"row '{row_text}' selected",
                        lambda: row.getState().contains(self.a11y.pyatspi.STATE_SELECTED),
                        limit=5)
        return dialog

    def choose_test(self, row_text):
        dialog = self.select_test(row_text)
        self.press(self.a11y.find(dialog, "push button", "Приступить к сдаче теста"))
        self.station.wait_x_window_gone("fmChooseTezra")

    # the test window ------------------------------------------------------------------

    def test_window(self):
        return self.a11y.wait_window("the test window", name="Tezra Net", role="dialog")

    def problem(self):
        """What the test window shows: (condition, mode, variants, remaining text)."""
        window = self.test_window()
        condition = self.a11y.wait_control("the condition", window, "text", "Условие задачи")
        remaining = self.steps.wait(
            "the count of problems left",
            lambda: [n.name for n in self.a11y.find_all(window, "label")
                     if n.name.startswith("Осталось вопросов: ")], limit=10)[0]
        radios = self.a11y.find_all(window, "radio button")
        checks = self.a11y.find_all(window, "check box") or \
            self.a11y.find_all(self.a11y.find(window, "list", "Варианты ответа"), "list item")
        edit = self.a11y.find(window, "text", "Ваш ответ")
        if radios:
            mode, variants = "RADIO", [n.name for n in radios]
        elif checks:
            mode, variants = "COMBO", [n.name for n in checks]
        elif edit is not None:
            mode, variants = "INPUT", []
        else:
            raise StepFailed(f"{self.steps.current}: no answer control is showing")
        return self.a11y.text(condition), mode, variants, remaining

    def wait_problem(self, condition_start, limit=20):
        return self.steps.wait(
            f"the problem '{condition_start}' on screen",
            lambda: (lambda p: p if p[0].startswith(condition_start) else None)(self.problem()),
            limit)

    def choose(self, variant):
        window = self.test_window()
        button = self.a11y.wait_control(f"the variant '{variant}'", window, "radio button",
                                        variant)
        self.click(button)
        self.steps.wait(f"'{variant}' chosen", lambda: self.a11y.checked(button), limit=5)

    def tick(self, variant):
        """A check list item: clicked, then Space ticks it."""
        window = self.test_window()
        items = self.a11y.find(window, "list", "Варианты ответа")
        item = self.a11y.wait_control(f"the variant '{variant}'", items, None, variant)
        self.click(item)
        self.display.key("space")
        self.steps.wait(f"'{variant}' ticked", lambda: self.a11y.checked(item), limit=5)

    def type_answer(self, text):
        window = self.test_window()
        self.type_into(self.a11y.wait_control("the answer field", window, "text", "Ваш ответ"),
                       text)

    def confirm(self):
        window = self.test_window()
        self.press(self.a11y.wait_control("the answer button", window, "push button",
                                          "Я ответил"))

    def defer(self):
        window = self.test_window()
        self.press(self.a11y.wait_control("the defer button", window, "push button",
                                          "Отложить"))

    # message and input boxes ------------------------------------------------------------

    def box(self, text_start, limit=20):
        """The open message or input box whose text begins with text_start:
        (its accessible window, its X window)."""
        def probe():
            app = self.a11y.app()
            for index in range(app.childCount):
                child = app.getChildAtIndex(index)
                if child is None or not self.a11y.showing(child):
                    continue
                for label in self.a11y.find_all(child, "label"):
                    if label.name.replace("\n", "\r").startswith(text_start):
                        windows = self.station.box_windows()
                        if windows:
                            return child, windows[-1]
            return None
        return self.steps.wait(f"the box '{text_start[:40]}'", probe, limit)

    def answer_box(self, text_start, typed=None):
        """Waits for the box, types into it when asked, clicks its OK button and waits for it
        to close. Returns the X window the box had."""
        dialog, window = self.box(text_start)
        if typed is not None:
            self.display.focus(window)
            self.type_into(self.a11y.wait_control("the box's field", dialog, "text"), typed)
        self.press(self.a11y.wait_control("the box's OK button", dialog, "push button", "OK"))
        self.steps.wait("the box closed",
                        lambda: window not in self.station.box_windows(), limit=10)
        return window

    # the results window ----------------------------------------------------------------

    def results(self):
        """The rows of the results table as {key: value}."""
        self.station.wait_x_window("fmTezraReport")
        dialog = self.a11y.wait_window("the results window", name="Результаты")
        table = self.a11y.wait_control("the results table", dialog, "table",
                                       "Результаты теста")
        cells = self.steps.wait("the results rows",
                                lambda: [n.name for n in self.a11y.find_all(
                                    table, "table cell", showing=False)], limit=10)
        return dict(zip(cells[0::2], cells[1::2]))

    def close_results(self):
        dialog = self.a11y.wait_window("the results window", name="Результаты")
        self.press(self.a11y.wait_control("the close button", dialog, "push button",
                                          "Закрыть"))
        self.station.wait_x_window_gone("fmTezraReport")


def describe(node, depth=0):
    """The accessible tree below node, one line per node (for a failure report)."""
    lines = [f"{'  ' * depth}{node.getRoleName()} '{node.name}'"]
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            lines.extend(describe(child, depth + 1))
    return lines


def dump_tree(a11y):
    app = a11y.app()
    if app is not None:
        log("\n".join(describe(app)))
