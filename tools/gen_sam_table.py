#!/usr/bin/env python3
"""Writes the Sambhota conversion table: resources/embedded/SAM.tbl (stored form)
and resources/tables/SAM.txt (the same text, readable UTF-8).

    python3 tools/gen_sam_table.py [SAM.tsv] [OUT_DIR]

Input: SAM.tsv, one row per (font, char, Unicode sequence) with the sources that
give that sequence; a position (font, char) where the sources disagree has
several rows. Columns: font (Dedris-a .. Dedris-vowa), char (hex 21..7E),
unicode ("U+0F40 U+0FB1"), sources (utfc, uni2sam, udp, attu, attu-last,
tiblegenc), status, note. Default input: /work/shared/reference/tables/SAM.tsv;
default output: the source tree beside this script.

Table text: one line per unit, CR LF line ends (also after the last line),
four TAB-separated columns:
  1  the Sambhota character (printable ASCII, or a blank)
  2  the Unicode Tibetan sequence (1 to 7 characters)
  3  the control word, without its backslash, of the font the program inserts
     for this Sambhota font: f10 .. f39 in the order a, a1, a2, a3, b, ... g3,
     syma, vowa
  4  the Dedris font name; it must be the last column, since the reader
     rewrites "<name> CR LF" into the document's own control word.
Stored form: UTF-16LE with a byte-order mark, every byte XOR 0x6E.

Both directions keep the first line for a key: reading Sambhota keys on
(column 4, column 1), writing it keys on column 2. The lines are therefore
emitted in three blocks:
  1. one line per position with a value, the value chosen below; inside the
     block the lines are ordered so that, for a sequence drawn by several
     glyphs, the best glyph comes first (see writing_rank);
  2. writing-only lines: a glyph whose position already has its line in
     block 1, listed again under another spelling of the same text (the
     precomposed vowels and stacks, U+0F62 for the fixed-form U+0F6A where no
     glyph of its own exists, U+0F0C for the tsheg). Reading ignores them
     (their position key is taken); writing uses them only for sequences no
     block-1 line gives;
  3. the blank of each of the thirty fonts, read as U+0020, so that an
     ordinary space inside a Sambhota run is not an unconvertible character.

How a value is chosen at a position where the sources disagree
(decisions recorded here, the counts are from SAM.tsv):
  * uni2sam is the reverse of utfc's file (they agree at all 2,587
    positions), so it is not an independent vote and is not counted.
  * weights: utfc 1.0, tiblegenc 1.0, attu 1.0 when it gives the whole value,
    udp 0.8, attu-last 0.3. UDP is the odd one out in 162 of the 348
    conflicts (for example it reads the tsheg of Dedris-a1 as U+0F74 U+0F0B
    and treats the ...2 fonts as adding U+0F60 instead of U+0F71), so it
    loses ties. attu-last only confirms a value's last character and ATTU
    agrees with UDP almost everywhere (2,581 of 2,586), so it counts little.
  * family consistency: the fonts x1, x2, x3 draw the glyph of font x at the
    same position with U+0F74, U+0F71, U+0F71 U+0F74 below. A candidate equal
    to the base font's value plus that vowel gets +0.5 (this settles, for
    example, Dedris-d1 0x78 as U+0F53 U+0FBB U+0F74 rather than a lone U+0F74).
  * U+0F6A against U+0F62 (100 positions differ only there): the glyphs of
    Dedris-f.. and Dedris-g.. are full-form RA stacks (Sanskrit), which
    Unicode spells with U+0F6A; utfc and tiblegenc both say so, UDP alone
    says U+0F62. The weights pick U+0F6A; the U+0F62 spelling is kept as a
    writing-only line when no other glyph draws it.
  * RA above YA, WA or HA is drawn in full in every spelling, and Unicode
    text spells it with the ordinary U+0F62 (the corpus round trip turned
    U+0F62 U+0FB1 into U+0F6A U+0FB1 at Dedris-g 0x23). Values read
    U+0F6A before U+0FB1, U+0FAD, U+0FB7 as U+0F62; the U+0F6A spelling
    stays as a writing-only line.
  * Dedris-vowa 0x3C: utfc's file holds the broken token "150" there; UDP
    and tiblegenc give U+0F68 U+0F7C U+0F7E, which SAM.tsv already carries.
  * rows starting with a vowel sign or a subjoined letter are kept: the
    vowa/syma fonts draw vowels and marks as glyphs of their own, and
    Sambhota text composes a syllable from a stack glyph and such a glyph.
  * a value longer than 7 characters cannot be a key of the writing map and
    is refused (none exists today).
"""
import os
import sys
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_IN = "/work/shared/reference/tables/SAM.tsv"
DEFAULT_OUT = os.path.normpath(os.path.join(HERE, ".."))

SUFFIXES = ["a", "a1", "a2", "a3", "b", "b1", "b2", "b3", "c", "c1", "c2", "c3",
            "d", "d1", "d2", "d3", "e", "e1", "e2", "e3", "f", "f1", "f2", "f3",
            "g", "g1", "g2", "g3", "syma", "vowa"]
FONTS = ["Dedris-" + s for s in SUFFIXES]
FONT_INDEX = {name: i for i, name in enumerate(FONTS)}
FIRST_FONT_NUMBER = 10

WEIGHTS = {"utfc": 1.0, "tiblegenc": 1.0, "attu": 1.0, "udp": 0.8, "attu-last": 0.3,
           "uni2sam": 0.0}
FAMILY_BONUS = 0.5
# Vowels the x1, x2, x3 fonts add below the glyph of font x.
FAMILY_VOWELS = {"1": "\u0F74", "2": "\u0F71", "3": "\u0F71\u0F74"}
# Tie order after the score: the source whose value is named first wins.
TIE_ORDER = ["utfc", "tiblegenc", "attu", "udp", "attu-last"]
MAX_UNIT = 7

# Precomposed characters and the spelling the table uses; writing-only lines
# let a document that uses the precomposed forms find the same glyphs.
COMPOSED = {}
for cp in range(0x0F00, 0x0FD0):
    ch = chr(cp)
    d = unicodedata.decomposition(ch)
    if d and not d.startswith("<"):
        COMPOSED[ch] = unicodedata.normalize("NFD", ch)
COMPOSED["\u0F0C"] = "\u0F0B"  # the non-breaking tsheg is drawn like the tsheg


def fail(where, msg):
    sys.exit(f"{where}: {msg}")


def parse_unicode(text, where):
    out = []
    for item in text.split():
        if not item.startswith("U+"):
            fail(where, f"bad code point {item!r}")
        out.append(chr(int(item[2:], 16)))
    return "".join(out)


def read_rows(path):
    positions = {}  # (font, char) -> list of candidates
    with open(path, encoding="utf-8") as f:
        header = f.readline().rstrip("\n").split("\t")
        if header[:6] != ["font", "char", "unicode", "sources", "status", "note"]:
            fail(f"{path}:1", f"unexpected header {header}")
        for n, line in enumerate(f, start=2):
            where = f"{path}:{n}"
            cols = line.rstrip("\n").split("\t")
            if len(cols) < 6:
                fail(where, "fewer than six columns")
            font, char_hex, uni, sources, status, note = cols[:6]
            if font not in FONT_INDEX:
                fail(where, f"unknown font {font!r}")
            code = int(char_hex, 16)
            if not 0x21 <= code <= 0x7E:
                fail(where, f"character {char_hex} outside 21..7E")
            value = parse_unicode(uni, where)
            if not value:
                fail(where, "empty value")
            srcs = [s for s in sources.split(",") if s]
            for s in srcs:
                if s not in WEIGHTS:
                    fail(where, f"unknown source {s!r}")
            positions.setdefault((font, chr(code)), []).append(
                {"value": value, "sources": srcs, "status": status, "note": note.split(",")})
    return positions


def base_value(positions, font, char):
    """The value of the base font (x for x1/x2/x3) when all its sources agree."""
    suffix = font[len("Dedris-"):]
    if len(suffix) != 2 or suffix[1] not in FAMILY_VOWELS:
        return None, None
    rows = positions.get(("Dedris-" + suffix[0], char), [])
    if len(rows) == 1 and rows[0]["status"] == "agree":
        return rows[0]["value"], FAMILY_VOWELS[suffix[1]]
    return None, None


def score(positions, font, char, cand):
    s = sum(WEIGHTS[src] for src in cand["sources"])
    base, vowel = base_value(positions, font, char)
    if base is not None and cand["value"] == base + vowel:
        s += FAMILY_BONUS
    return s


def tie_key(cand):
    for i, src in enumerate(TIE_ORDER):
        if src in cand["sources"]:
            return i
    return len(TIE_ORDER)


FULL_RA_BEFORE = "\u0FB1\u0FAD\u0FB7"


def plain_ra(value):
    """U+0F6A before YA, WA or HA spelled as the ordinary U+0F62."""
    out = list(value)
    for i in range(len(out) - 1):
        if out[i] == "\u0F6A" and out[i + 1] in FULL_RA_BEFORE:
            out[i] = "\u0F62"
    return "".join(out)


def choose(positions):
    chosen = {}
    alternatives = {}
    for (font, char), cands in positions.items():
        ranked = sorted(cands, key=lambda c: (-score(positions, font, char, c), tie_key(c)))
        best = dict(ranked[0])
        if plain_ra(best["value"]) != best["value"]:
            best["fixed_from"] = best["value"]
            best["value"] = plain_ra(best["value"])
        chosen[(font, char)] = best
        alternatives[(font, char)] = ranked[1:]
    return chosen, alternatives


def writing_rank(cand):
    """Lower is better when several glyphs draw the same sequence."""
    if "uni2sam" in cand["sources"] and "uni2sam_shadowed" not in cand["note"]:
        return 0  # the glyph utfc's reverse file names for this sequence
    if cand["status"] in ("agree", "conflict_majority"):
        return 1
    if "non_tibetan" in cand["note"]:
        return 3
    return 2


def spellings(value):
    """Other spellings of `value` that the writing direction should accept."""
    out = set()
    composed = value
    # Compose pairs greedily (longest first) to find the precomposed spelling.
    for ch, dec in sorted(COMPOSED.items(), key=lambda kv: -len(kv[1])):
        if len(dec) > 1:
            composed = composed.replace(dec, ch)
    if composed != value:
        out.add(composed)
    if "\u0F6A" in value:
        out.add(value.replace("\u0F6A", "\u0F62"))
    for i in range(len(value) - 1):
        if value[i] == "\u0F62" and value[i + 1] in FULL_RA_BEFORE:
            out.add(value[:i] + "\u0F6A" + value[i + 1:])
    if value == "\u0F0B":
        out.add("\u0F0C")
    return out


def build_lines(positions):
    chosen, alternatives = choose(positions)
    primary = []
    for (font, char), cand in chosen.items():
        if len(cand["value"]) > MAX_UNIT:
            fail(f"{font} {ord(char):02X}", "value longer than seven characters")
        primary.append((writing_rank(cand), FONT_INDEX[font], char, cand["value"], font))
    primary.sort(key=lambda r: (r[0], r[1], r[2]))
    lines = [(char, value, font) for _, _, char, value, font in primary]

    written = {value for _, value, _ in lines}
    extra = []
    for _, idx, char, value, font in primary:
        for alt in sorted(spellings(value)):
            if alt not in written and len(alt) <= MAX_UNIT:
                written.add(alt)
                extra.append((char, alt, font))
    lines.extend(extra)
    for font in FONTS:
        lines.append((" ", " ", font))
    return lines, chosen, alternatives


def table_text(lines):
    out = []
    for char, value, font in lines:
        number = FIRST_FONT_NUMBER + FONT_INDEX[font]
        out.append(f"{char}\t{value}\tf{number}\t{font}\r\n")
    return "".join(out)


def scramble(text):
    data = ("\ufeff" + text).encode("utf-16-le")
    return bytes(b ^ 0x6E for b in data)


def main(argv):
    src = argv[1] if len(argv) > 1 else DEFAULT_IN
    out_dir = argv[2] if len(argv) > 2 else DEFAULT_OUT
    positions = read_rows(src)
    lines, chosen, alternatives = build_lines(positions)
    text = table_text(lines)
    tbl = os.path.join(out_dir, "resources", "embedded", "SAM.tbl")
    txt = os.path.join(out_dir, "resources", "tables", "SAM.txt")
    os.makedirs(os.path.dirname(tbl), exist_ok=True)
    os.makedirs(os.path.dirname(txt), exist_ok=True)
    with open(tbl, "wb") as f:
        f.write(scramble(text))
    with open(txt, "wb") as f:
        f.write(text.encode("utf-8"))
    not_utfc = sum(1 for key, c in chosen.items() if "utfc" not in c["sources"]
                   and any("utfc" in a["sources"] for a in alternatives[key]))
    print(f"{len(chosen)} positions, {len(lines)} lines, "
          f"{not_utfc} positions where utfc was outvoted", file=sys.stderr)


if __name__ == "__main__":
    main(sys.argv)
