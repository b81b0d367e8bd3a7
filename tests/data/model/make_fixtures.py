#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the model test fixtures of this folder.

The binary encoder and the keystream here are written independently of the C++ writer, so a
fault shared by a reader and its own writer still shows up in the tests. Run from anywhere:
    python3 tests/data/model/make_fixtures.py
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SECT = "\u00a7"  # the section sign, byte 0xA7 in cp1251


def keystream():
    out = bytearray()
    state = 21874
    for _ in range(32768):
        out += bytes([state & 0xFF, state >> 8])
        state = (state * 19457 + 27451) % 0x8000
    return bytes(out)


def scramble(data):
    key = keystream()
    return bytes(b ^ key[i % 65536] for i, b in enumerate(data))


def s(text):
    raw = text.encode("cp1251")
    return struct.pack("<i", len(raw)) + raw


def binary(test):
    out = bytearray(b"TZRA")
    out += s(test["Id"]) + s(test["Title"])
    out += struct.pack("<ii", test["Shuffle"], test["Defer"])
    out += struct.pack("<5f", *test["Marks"])
    out += struct.pack("<i", len(test["Groups"]))
    for name, quota, rate in test["Groups"]:
        out += s(name) + struct.pack("<if", quota, rate)
    out += struct.pack("<i", len(test["Problems"]))
    for p in test["Problems"]:
        out += b"PRBL" + s(p["Id"]) + s(p.get("Title", "")) + s(p.get("Category", ""))
        out += struct.pack("<i", p.get("Difficulty", 0)) + s(p["Group"])
        out += struct.pack("<f", p.get("Rate", 0.0))
        out += s("".join(line + "\r\n" for line in p["Condition"]))
        out += s(p.get("PictureFile", ""))
        picture = p.get("Picture", b"")
        out += struct.pack("<i", len(picture)) + picture
        out += b"ANSW" + bytes([p["Mode"]]) + struct.pack("<i", len(p["Variants"]))
        for weight, text in p["Variants"]:
            out += struct.pack("<i", weight) + s(text)
    return bytes(out)


def letters(data):
    return "".join(chr(65 + (b >> 4)) + chr(65 + (b & 15)) for b in data)


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# The geography test: written by hand as text below, and as the same model for the binary.
GEOGRAPHY = {
    "Id": "geo-05",
    "Title": "Столицы и реки",
    "Shuffle": 7,
    "Defer": 2,
    "Marks": [0.0, 0.5, 1.0, 1.5, 2.0],
    "Groups": [("easy", 1, 1.0), ("hard", 1, 2.0)],
    "Problems": [
        {"Id": "p1", "Group": "easy", "Condition": ["What is the capital of France?"],
         "Mode": 0, "Variants": [(100, "Paris"), (0, "Lyon")]},
        {"Id": "p2", "Group": "hard", "Condition": ["Tick the rivers shown on the map."],
         "PictureFile": "rivers.jpg", "Mode": 1,
         "Variants": [(50, "Seine"), (50, "Loire"), (-50, "Alps")]},
        {"Id": "p3", "Title": "Столица", "Category": "Россия", "Difficulty": 3,
         "Group": "EASY", "Rate": 2.5,
         "Condition": ["Назовите столицу России.", "", "   ; typed, blanks do not count",
                       "\tindented"],
         "Picture": bytes([0xFF, 0xD8, 0xFF, 0x00, 0x10, 0xAB]), "Mode": 2,
         "Variants": [(100, "МОСКВА"), (50, "Moscow")]},
    ],
}

GEOGRAPHY_TEXT = f"""; geography, form 5

{SECT}TEZRA
{SECT}PARAMS
ID=geo-05
TITLE=Столицы и реки
SHUFFLE=7
DEFER=2
MARK5=2
MARK4=1.5
MARK3=1
MARK2=0.5
{SECT}END PARAMS
{SECT}GROUPS
easy >> 1, 1.0
hard >> 1, 2.0
{SECT}END GROUPS
{SECT}PROBLEMS
{SECT}PROBLEM
{SECT}PARAMS
ID=p1
GROUP=easy
{SECT}END PARAMS
{SECT}CONDITION
What is the capital of France?
{SECT}END CONDITION
{SECT}ANSWER
MODE=RADIO
{SECT}VARIANTS
[100] Paris
[0] Lyon
{SECT}END ANSWER
{SECT}END PROBLEM
; the second problem has a picture file
{SECT}PROBLEM
{SECT}PARAMS
ID=p2
GROUP=hard
{SECT}END PARAMS
{SECT}CONDITION
Tick the rivers shown on the map.
{SECT}END CONDITION
{SECT}PICTURE
FILE=rivers.jpg
{SECT}ANSWER
MODE=COMBO
{SECT}VARIANTS
[50] Seine
[50] Loire
[-50] Alps
{SECT}END ANSWER
{SECT}END PROBLEM
{SECT}PROBLEM
{SECT}PARAMS
id = p3
Title = Столица
CATEGORY=Россия
DIFFICULTY=3
GROUP=EASY
RATE=2.5
{SECT}END PARAMS
{SECT}CONDITION
Назовите столицу России.

   ; typed, blanks do not count
\tindented
  {SECT}END CONDITION
{SECT}PICTURE
DATA={letters(GEOGRAPHY["Problems"][2]["Picture"])}
{SECT}ANSWER
MODE=input
{SECT}VARIANTS
[100] МОСКВА
[50]   Moscow
{SECT}END ANSWER
{SECT}END PROBLEM
{SECT}END PROBLEMS
{SECT}END TEZRA
"""

# A test without a GROUPS block: its problems are still read, and all of them are drawn.
NO_GROUPS_TEXT = f"""{SECT}TEZRA
{SECT}PARAMS
ID=no-groups
{SECT}END PARAMS
{SECT}PROBLEMS
{SECT}PROBLEM
{SECT}CONDITION
2 + 2 = ?
{SECT}END CONDITION
{SECT}ANSWER
MODE=INPUT
{SECT}VARIANTS
[100] 4
{SECT}END ANSWER
{SECT}END PROBLEM
{SECT}PROBLEM
{SECT}CONDITION
3 + 3 = ?
{SECT}END CONDITION
{SECT}ANSWER
MODE=INPUT
{SECT}VARIANTS
[100] 6
{SECT}END ANSWER
{SECT}END PROBLEM
{SECT}END PROBLEMS
{SECT}END TEZRA
"""

# A picture named with a Windows separator, found beside the test file.
PICTURE_TEXT = f"""{SECT}TEZRA
{SECT}PROBLEMS
{SECT}PROBLEM
{SECT}PICTURE
FILE=pictures\\dot.jpg
{SECT}ANSWER
MODE=RADIO
{SECT}END ANSWER
{SECT}END PROBLEM
{SECT}PROBLEM
{SECT}PICTURE
FILE=pictures\\missing.jpg
DATA=PPNIPP
{SECT}ANSWER
MODE=RADIO
{SECT}END ANSWER
{SECT}END PROBLEM
{SECT}END PROBLEMS
{SECT}END TEZRA
"""


def big_picture(n, salt):
    return bytes((i * 31 + salt) & 0xFF for i in range(n))


# Longer than 64 KiB, so that the keystream restarts inside it.
BIG = {
    "Id": "big", "Title": "Большой тест", "Shuffle": 0, "Defer": 0,
    "Marks": [0.0, 0.0, 0.0, 0.0, 0.0],
    "Groups": [],
    "Problems": [
        {"Id": f"b{k}", "Group": "", "Condition": [f"Picture {k}"], "Mode": 0,
         "Picture": big_picture(30000, k), "Variants": [(100, "yes"), (0, "no")]}
        for k in range(3)
    ],
}


def main():
    write("geography.ttxt", GEOGRAPHY_TEXT.replace("\n", "\r\n").encode("cp1251"))
    write("geography.tbin", binary(GEOGRAPHY))
    write("geography-scrambled.bin", scramble(binary(GEOGRAPHY)))
    write("no-groups.txt", NO_GROUPS_TEXT.encode("cp1251"))
    write("picture.ttxt", PICTURE_TEXT.encode("cp1251"))
    big = binary(BIG)
    assert len(big) > 65536
    write("big-scrambled.tbin", scramble(big))


if __name__ == "__main__":
    main()
