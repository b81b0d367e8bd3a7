#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the test window fixtures of this folder: a test whose problems carry a small picture,
a picture wider than the window, a damaged picture, a picture larger than the decoder's pixel
limit and no picture; and a damaged binary test. Needs ImageMagick's convert. Run from anywhere:
    python3 tests/data/ui/make_fixtures.py
"""

import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
SECT = "\u00a7"  # the section sign, byte 0xA7 in cp1251


def picture(name, size, fill):
    subprocess.run(["convert", "-size", size, fill, "-quality", "80", "-strip",
                    os.path.join(HERE, name)], check=True)


def huge_copy(source, target, width, height):
    """The source picture with its frame header claiming width by height pixels."""
    data = bytearray(open(os.path.join(HERE, source), "rb").read())
    sof = data.index(b"\xff\xc0")
    data[sof + 5:sof + 7] = height.to_bytes(2, "big")
    data[sof + 7:sof + 9] = width.to_bytes(2, "big")
    open(os.path.join(HERE, target), "wb").write(bytes(data))


def problem(pid, picture_file):
    lines = [f"{SECT}PROBLEM", f"{SECT}PARAMS", f"ID={pid}", f"{SECT}END PARAMS",
             f"{SECT}CONDITION", pid, f"{SECT}END CONDITION"]
    if picture_file:
        lines += [f"{SECT}PICTURE", f"FILE={picture_file}"]
    lines += [f"{SECT}ANSWER", "MODE=RADIO", f"{SECT}VARIANTS", "[100] yes", "[0] no",
              f"{SECT}END ANSWER", f"{SECT}END PROBLEM"]
    return lines


def main():
    picture("small.jpg", "100x80", "gradient:red-blue")
    picture("wide.jpg", "1200x60", "gradient:yellow-green")
    open(os.path.join(HERE, "corrupt.jpg"), "wb").write(b"\xff\xd8\xff\xe0 not a picture")
    huge_copy("small.jpg", "huge.jpg", 9000, 8000)
    lines = [f"{SECT}TEZRA", f"{SECT}PARAMS", "ID=pictures", f"{SECT}END PARAMS",
             f"{SECT}PROBLEMS"]
    for pid, name in [("small", "small.jpg"), ("wide", "wide.jpg"), ("corrupt", "corrupt.jpg"),
                      ("huge", "huge.jpg"), ("none", "")]:
        lines += problem(pid, name)
    lines += [f"{SECT}END PROBLEMS", f"{SECT}END TEZRA", ""]
    with open(os.path.join(HERE, "pictures.ttxt"), "wb") as out:
        out.write("\r\n".join(lines).encode("cp1251"))
    # A binary test that breaks off after its magic: counts that promise more than there is.
    with open(os.path.join(HERE, "corrupt.tbin"), "wb") as out:
        out.write(b"TZRA\xff\xff\xff\x7f\x05\x00")


if __name__ == "__main__":
    main()
