"""The rule every conversion table obeys: a unit is written only where it reads
back the same.

Writing keys on the Unicode text (the first line with a text wins), reading keys
on the legacy code (the first line with a code wins). A line is therefore safe
when the first line of its code carries the same text or a canonically
equivalent spelling of it (the same text after canonical decomposition, so
U+0F57 and U+0F56 U+0FB7 count as one). Every other line would turn text
written through it into another text without any mark, so the generators leave
it out and then prove the finished table.

Rows are whatever the generator keeps; the callers pass functions that give a
row's code (the reading key), its Unicode text and a label for messages.
"""
import sys
import unicodedata

# The longest unit the writing direction gathers; longer lines only read.
MAX_WRITTEN = 7


def equivalent(a, b):
    return unicodedata.normalize("NFD", a) == unicodedata.normalize("NFD", b)


def label(text):
    return " ".join(f"U+{ord(c):04X}" for c in text)


def drop_unreadable(rows, code_of, text_of):
    """Splits rows, in table order, into (kept, dropped). The first row of a
    code decides what the code reads as; a later row of the same code is kept
    only when its text is equivalent to that reading."""
    reading = {}
    kept, dropped = [], []
    for r in rows:
        code, text = code_of(r), text_of(r)
        first = reading.setdefault(code, text)
        (kept if first is text or equivalent(first, text) else dropped).append(r)
    return kept, dropped


def violations(rows, code_of, text_of, where_of):
    """Messages for every written text whose code reads back as another text."""
    reader, writer = {}, {}
    for r in rows:
        reader.setdefault(code_of(r), r)
        writer.setdefault(text_of(r), r)
    out = []
    for text, r in writer.items():
        if len(text) > MAX_WRITTEN:
            continue
        back = reader[code_of(r)]
        if not equivalent(text_of(back), text):
            out.append(f"{where_of(r)} writes {label(text)}, but its code reads back as "
                       f"{label(text_of(back))} ({where_of(back)})")
    return out


def require_round_trip(table, rows, code_of, text_of, where_of):
    """Stops the generator, naming the rows, when the table breaks the rule."""
    bad = violations(rows, code_of, text_of, where_of)
    if bad:
        sys.exit(f"{table}: {len(bad)} written units do not read back the same:\n  " + "\n  ".join(bad))
