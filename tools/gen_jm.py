#!/usr/bin/env python3
"""Writes resources/embedded/JM.txt, the interface-language table, from
resources/jm.tsv.

    python3 tools/gen_jm.py [jm.tsv] [JM.txt]

Source (UTF-8): one row per label, the Tibetan label, a TAB, the Chinese label.
Inside a cell `\\n` is a line break (LF), `\\s` a blank and `\\\\` a backslash;
lines starting with `#` and empty lines are skipped.

Stored form: UTF-16LE with a byte-order mark; rows separated by CR LF, each row
"Tibetan TAB Chinese"; four empty rows (a TAB alone) close the table, and the
text ends with CR LF. Line breaks inside a cell stay bare LF, so they never end
a row.

The generator stops with file:line when a row has not exactly two cells, a
Chinese cell is empty or repeats an earlier one, a cell holds a CR or an
unknown escape, or a line ends in a blank (write it as \\s).
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
DEFAULT_IN = os.path.join(ROOT, "resources", "jm.tsv")
DEFAULT_OUT = os.path.join(ROOT, "resources", "embedded", "JM.txt")
EMPTY_ROWS = 4


def fail(where, msg):
    sys.exit(f"{where}: {msg}")


def unescape(cell, where):
    out = []
    i = 0
    while i < len(cell):
        ch = cell[i]
        if ch != "\\":
            out.append(ch)
            i += 1
            continue
        if i + 1 == len(cell):
            fail(where, "cell ends in a lone backslash")
        nxt = cell[i + 1]
        if nxt == "n":
            out.append("\n")
        elif nxt == "s":
            out.append(" ")
        elif nxt == "\\":
            out.append("\\")
        else:
            fail(where, f"unknown escape \\{nxt}")
        i += 2
    return "".join(out)


def read_rows(path):
    rows = []
    seen = {}
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    if text.startswith("\ufeff"):
        text = text[1:]
    for lineno, line in enumerate(text.split("\n"), 1):
        where = f"{path}:{lineno}"
        if line.endswith("\r"):
            fail(where, "CR in the source; use LF line ends")
        if not line or line.startswith("#"):
            continue
        if line != line.rstrip(" \t"):
            fail(where, "line ends in a blank; write blanks at the end of a cell as \\s")
        cells = line.split("\t")
        if len(cells) != 2:
            fail(where, f"expected two cells separated by one TAB, found {len(cells)}")
        tibetan, chinese = (unescape(c, where) for c in cells)
        if not chinese or not tibetan:
            fail(where, "empty cell")
        if chinese in seen:
            fail(where, f"Chinese label {chinese!r} already on line {seen[chinese]}")
        seen[chinese] = lineno
        rows.append((tibetan, chinese))
    return rows


def main():
    in_path = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_IN
    out_path = sys.argv[2] if len(sys.argv) > 2 else DEFAULT_OUT
    rows = read_rows(in_path)
    lines = [f"{t}\t{c}" for t, c in rows] + ["\t"] * EMPTY_ROWS
    text = "\ufeff" + "\r\n".join(lines) + "\r\n"
    with open(out_path, "wb") as f:
        f.write(text.encode("utf-16-le"))

    by_tibetan = {}
    for t, c in rows:
        by_tibetan.setdefault(t, []).append(c)
    shared = {t: cs for t, cs in by_tibetan.items() if len(cs) > 1}
    for t, cs in shared.items():
        print(f"note: {t!r} answers {cs}; the Chinese interface shows {cs[0]!r}")
    print(f"wrote {out_path}: {len(rows)} rows and {EMPTY_ROWS} empty rows")


if __name__ == "__main__":
    main()
