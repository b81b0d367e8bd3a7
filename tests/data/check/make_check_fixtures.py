#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the faulty tests of this folder, each beside the diagnostics the checker must give.

The tests are cp1251 text (some with CR LF line ends, some with LF) or binary records, written
here independently of the C++ writers. The NAME.expected files beside them are kept by hand:
run this script only to rewrite the tests themselves, from anywhere:
    python3 tests/data/check/make_check_fixtures.py
"""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "model"))
from make_fixtures import scramble  # noqa: E402  the keystream written once for all fixtures

HERE = os.path.dirname(os.path.abspath(__file__))
S = "\u00a7"  # the section sign, byte 0xA7 in cp1251
DOT_JPG = os.path.join(HERE, "..", "model", "pictures", "dot.jpg")


def letters(data):
    return "".join(chr(65 + (b >> 4)) + chr(65 + (b & 15)) for b in data)


def write(name, data):
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def text(name, body, crlf=False):
    body = body.replace("§", S)
    if crlf:
        body = body.replace("\n", "\r\n")
    write(name, body.encode("cp1251"))


def problem(group, condition, mode, variants, extra=""):
    lines = [f"§PROBLEM", "§PARAMS", f"GROUP={group}", "§END PARAMS",
             "§CONDITION", condition, "§END CONDITION"]
    if extra:
        lines.append(extra)
    lines += ["§ANSWER", f"MODE={mode}", "§VARIANTS"] + variants + ["§END ANSWER", "§END PROBLEM"]
    return "\n".join(lines) + "\n"


def header(params="", groups="g >> 1, 1.0"):
    return f"§TEZRA\n§PARAMS\nID=t\n{params}§END PARAMS\n§GROUPS\n{groups}\n§END GROUPS\n"


def good(group="g", condition="2 + 2 = ?"):
    return problem(group, condition, "RADIO", ["[100] 4", "[0] 5"])


def tests():
    text("not-a-test.ttxt", "; a comment\n\nTEZRA\n§PROBLEMS\n§END PROBLEMS\n§END TEZRA\n")
    write("utf8.ttxt", "; по-русски\n§TEZRA\n§END TEZRA\n".encode("utf-8"))
    write("empty.ttxt", b"")

    # A test-level block out of place and problem blocks out of order.
    text("block-order.ttxt",
         "§TEZRA\n§GROUPS\ng >> 2, 1.0\n§END GROUPS\n§PARAMS\nDEFER=3\n§END PARAMS\n"
         "§PROBLEMS\n" + good() +
         "§PROBLEM\n§PARAMS\nGROUP=g\n§END PARAMS\n§ANSWER\nMODE=RADIO\n§VARIANTS\n"
         "[100] да\n§END ANSWER\n§CONDITION\nУсловие после ответов\n§END CONDITION\n"
         "§PICTURE\nFILE=nothing.jpg\n§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n", crlf=True)

    text("picture-not-closed.ttxt",
         header() + "§PROBLEMS\n"
         "§PROBLEM\n§PARAMS\nGROUP=g\n§END PARAMS\n§PICTURE\nDATA=" +
         letters(open(DOT_JPG, "rb").read()) +
         "\n§CONDITION\nУсловие после рисунка\n§END CONDITION\n"
         "§ANSWER\nMODE=RADIO\n§VARIANTS\n[100] да\n§END ANSWER\n§END PROBLEM\n"
         "§END PROBLEMS\n§END TEZRA\n")

    text("mode-line.ttxt",
         header(groups="g >> 3, 1.0") + "§PROBLEMS\n"
         "§PROBLEM\n§PARAMS\nGROUP=g\n§END PARAMS\n§ANSWER\n§VARIANTS\n[100] да\n[0] нет\n"
         "§END ANSWER\n§END PROBLEM\n"
         "§PROBLEM\n§PARAMS\nGROUP=g\n§END PARAMS\n§ANSWER\nTYPE=COMBO\n§VARIANTS\n[100] да\n"
         "§END ANSWER\n§END PROBLEM\n" +
         problem("g", "Выбор", "CHOICE", ["[100] да"]) + "§END PROBLEMS\n§END TEZRA\n", crlf=True)

    # The first problem has no END PROBLEM and swallows the second; the last one takes
    # END PROBLEMS for its end.
    text("unclosed-problem.ttxt",
         header(groups="g >> 3, 1.0") + "§PROBLEMS\n" +
         good().replace("§END PROBLEM\n", "") + good(condition="3 + 3 = ?") +
         good(condition="4 + 4 = ?").replace("§END PROBLEM\n", "") +
         "§END PROBLEMS\n§END TEZRA\n")

    text("unclosed-answer.ttxt",
         header(groups="g >> 2, 1.0") + "§PROBLEMS\n" +
         good().replace("§END ANSWER\n", "") + good(condition="3 + 3 = ?") +
         "§END PROBLEMS\n§END TEZRA\n", crlf=True)

    text("ends-in-condition.ttxt",
         header() + "§PROBLEMS\n§PROBLEM\n§CONDITION\nУсловие без конца\n\n; и ещё строка\n")
    text("ends-in-params.ttxt", "§TEZRA\n§PARAMS\nID=t\nTITLE=Оборванный\n")
    text("no-end-tezra.ttxt", header() + "§PROBLEMS\n" + good() + "§END PROBLEMS\n")
    text("after-end.ttxt", header() + "§PROBLEMS\n" + good() + "§END PROBLEMS\n§END TEZRA\n"
         "; a comment does not count\n§TEZRA\n§PROBLEMS\n", crlf=True)

    text("no-problems.ttxt", header() + "§PROBLEMS\n§END PROBLEMS\n§END TEZRA\n")
    text("nothing-drawn.ttxt",
         header(groups="a >> 0, 1.0\nb >> -1, 1.0") + "§PROBLEMS\n" + good("a") + good("b") +
         "§END PROBLEMS\n§END TEZRA\n")

    text("numbers.ttxt",
         "§TEZRA\n§PARAMS\nID=n\nTITLE2=Числа\nSHUFFLE=\nDEFER=two\nMARK5=3\nMARK4=2,5\n"
         "MARK3=1 .5\nMARK2=0.5\nMARKS=5\nDURATION=45\n§END PARAMS\n"
         "§GROUPS\nalgebra >> 3\ngeometry >> x, 1\nlogic >> 1, 1,5\n>> 1, 1\n§END GROUPS\n"
         "§PROBLEMS\n"
         "§PROBLEM\n§PARAMS\nGROUP algebra\nDIFFICULTY=\nRATE=x\nLEVEL=3\n§END PARAMS\n"
         "§CONDITION\nВес с пробелами\n§END CONDITION\n"
         "§ANSWER\nMODE=RADIO\n§VARIANTS\n[ 100 ] четыре\n[0] пять\n[abc\n§END ANSWER\n"
         "§END PROBLEM\n"
         + good("geometry") + good("logic") + "§END PROBLEMS\n§END TEZRA\n")

    text("groups.ttxt",
         header(groups="used >> 1, 1\nunused >> 1, 1\nzero >> 0, 1\nbig >> 5, 1\nUSED >> 2, 1") +
         "stray text between blocks\n§PROBLEMS\n" +
         good("used") + good("zero") + good("big") + good("big") + good("other") + good("other") +
         "§PROBLEM\n§CONDITION\nБез группы\n§END CONDITION\n§ANSWER\nMODE=RADIO\n§VARIANTS\n"
         "[100] да\n§END ANSWER\n§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n", crlf=True)

    text("groups-not-closed.ttxt",
         "§TEZRA\n§GROUPS\ng >> 1, 1\n§PROBLEMS\n" + good() +
         "§PROBLEM\n§CONDITION\nБез группы\n§END CONDITION\n§ANSWER\nMODE=RADIO\n§VARIANTS\n"
         "[100] да\n§END ANSWER\n§END PROBLEM\n§END PROBLEMS\n§END TEZRA\n")

    text("marks.ttxt",
         header(params="MARK5=4\nMARK4=2\nMARK3=2\nMARK2=2.5\n", groups="g >> 2, 1") +
         "§PROBLEMS\n" + good() + good(condition="3 + 3 = ?") + good(condition="5 + 5 = ?") +
         "§END PROBLEMS\n§END TEZRA\n", crlf=True)

    text("answers.ttxt",
         header(groups="g >> 6, 1") + "§PROBLEMS\n" +
         problem("g", "Нет верного", "RADIO", ["[50] почти", "[0] нет"]) +
         problem("g", "Сумма не 100", "COMBO", ["[50] a", "[30] b", "[-50] c"]) +
         problem("g", "Столица США?", "INPUT", ["[100] Washington", "[100] New York",
                                                 "[50] washington"]) +
         problem("g", "Только с пробелом", "INPUT", ["[100] Нью Йорк"]) +
         problem("g", "Повтор", "RADIO", ["[100] Да", "[0] Да", "[]", "[0] Нет"]) +
         problem("g", "Список оборван", "COMBO", ["[50] a", "50] b", "[50] c"]) +
         "§END PROBLEMS\n§END TEZRA\n")

    text("pictures.ttxt",
         header(groups="g >> 6, 1") + "§PROBLEMS\n" +
         good(condition="Рисунок есть", ).replace(
             "§ANSWER", "§PICTURE\nFILE=pictures\\dot.jpg\n§ANSWER") +
         good(condition="Нет файла").replace("§ANSWER", "§PICTURE\nFILE=pictures/none.jpg\n§ANSWER") +
         good(condition="Не JPEG").replace("§ANSWER", "§PICTURE\nFILE=pictures/text.jpg\n§ANSWER") +
         good(condition="Огромный").replace("§ANSWER", "§PICTURE\nFILE=pictures/huge.jpg\n§ANSWER") +
         good(condition="Испорчен").replace("§ANSWER", "§PICTURE\nFILE=pictures/cut.jpg\n§ANSWER") +
         good(condition="DATA").replace("§ANSWER", "§PICTURE\nDATA=PPNIPP\nSIZE=3\n§ANSWER") +
         "§END PROBLEMS\n§END TEZRA\n", crlf=True)


def pictures():
    dot = open(DOT_JPG, "rb").read()
    write("pictures/dot.jpg", dot)
    write("pictures/text.jpg", b"not a picture\n")
    write("pictures/cut.jpg", dot[:200])  # cut inside the Huffman tables
    # A frame header of 10000 x 10000 pixels and nothing else.
    frame = b"\xff\xc0" + struct.pack(">HBHHB", 17, 8, 10000, 10000, 3)
    frame += bytes([1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1])
    write("pictures/huge.jpg", b"\xff\xd8" + frame + b"\xff\xd9")


def s(value):
    raw = value.encode("cp1251")
    return struct.pack("<i", len(raw)) + raw


def group_record(name, quota, rate=1.0):
    return s(name) + struct.pack("<if", quota, rate)


def problem_record(group, mode, variants, tag=b"PRBL", answer_tag=b"ANSW", picture=b""):
    out = tag + s("") + s("") + s("") + struct.pack("<i", 0) + s(group)
    out += struct.pack("<f", 0.0) + s("Условие\r\n") + s("")
    out += struct.pack("<i", len(picture)) + picture
    out += answer_tag + bytes([mode]) + struct.pack("<i", len(variants))
    for weight, variant in variants:
        out += struct.pack("<i", weight) + s(variant)
    return out


def test_record(groups, problems, marks=(0, 0, 0, 0, 0), problem_count=None):
    out = b"TZRA" + s("b") + s("Двоичный") + struct.pack("<ii", 0, 0)
    out += struct.pack("<5f", *marks)
    out += struct.pack("<i", len(groups)) + b"".join(groups)
    count = len(problems) if problem_count is None else problem_count
    return out + struct.pack("<i", count) + b"".join(problems)


def binaries():
    ok = problem_record("g", 0, [(100, "да"), (0, "нет")])
    g = [group_record("g", 2)]
    write("bad-problem-tag.tbin",
          test_record(g, [ok, problem_record("g", 0, [(100, "да")], tag=b"PRBX")]))
    write("bad-answer-tag.tbin",
          test_record(g, [problem_record("g", 0, [(100, "да")], answer_tag=b"ANSX")]))
    whole = test_record(g, [ok, ok])
    write("truncated.tbin", whole[:len(whole) - 7])
    write("count-short.tbin", test_record(g, [ok, ok], problem_count=5))
    write("trailing.bin",
          scramble(test_record(g, [ok, problem_record("g", 7, [(100, "да")])]) + b"\0" * 9))
    write("not-a-test.bin", bytes(range(40)))
    write("rules.tbin",
          test_record([group_record("g", 2), group_record("unused", 1), group_record("g", 1)],
                      [problem_record("g", 1, [(40, "a"), (40, "b"), (40, "A")]),
                       problem_record("g", 2, [(100, "a b")], picture=b"\xff\xd8\xff\xe0")],
                      marks=(0, 1, 1, 2, 3)))


if __name__ == "__main__":
    tests()
    pictures()
    binaries()
