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
     block 1, listed again under a canonically equivalent spelling of the
     same text (the precomposed vowels and stacks). Reading ignores them
     (their position key is taken); writing uses them only for sequences no
     block-1 line gives;
  3. the blank of each of the thirty fonts, read as U+0020, so that an
     ordinary space inside a Sambhota run is not an unconvertible character.

Round-trip rule (tools/table_roundtrip.py): a text is written only with a
glyph that reads back as the same text or a canonically equivalent spelling.
The finished lines are proved and the generator stops, naming the lines, if
any written text would come back different. So U+0F62 and U+0F6A are never
written with each other's glyph, and U+0F0C (the non-breaking tsheg, not
canonically equivalent to U+0F0B) has no glyph: it is marked red rather than
coming back as U+0F0B.

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
  * U+0F62 against U+0F6A (100 positions differ only there) follows the
    Unicode convention: U+0F6A only where the RA is drawn in full above a
    letter under which U+0F62 would take its reduced (head-less) form.
    - The glyphs of Dedris-f.. and Dedris-g.. are full-form RA stacks
      (Sanskrit); utfc and tiblegenc spell them with U+0F6A, UDP alone with
      U+0F62. Above every letter but YA, WA and HA, U+0F62 would be reduced,
      so these glyphs read as U+0F6A (ཪྵ at Dedris-g 0x2E, ཪྤ at Dedris-f 0x76).
      The reduced spellings (རྵ, རྤ) have no glyph of their own and are
      written letter by letter or marked red.
    - RA above YA, WA or HA is drawn in full in every spelling, and Unicode
      text spells it with the ordinary U+0F62 (the corpus round trip turned
      U+0F62 U+0FB1 into U+0F6A U+0FB1 at Dedris-g 0x23). Values read
      U+0F6A before U+0FB1, U+0FAD, U+0FB7 as U+0F62; ཪྱ, ཪྭ and ཪྷ then have
      no glyph and are marked red.
  * a value that only one source gives (status single) is checked against
    the others (see confirmed): kept when another source gives the same
    value at the same character of another font (the tsheg at 0x2D of every
    font, listed by tiblegenc and confirmed by all sources in Dedris-a..a3)
    or the x1/x2/x3 family relation holds with another source's value; kept
    when it is a Tibetan sign from ATTU (TRUSTED_ALONE); otherwise left out,
    so the glyph reads as unconvertible. Left out: tiblegenc's lone vowels
    at the quote characters 0x22, 0x27, 0x60 and its tsheg-with-vowel
    values, ATTU's guesses of ASCII punctuation in Dedris-syma, and UDP's
    Dedris-vowa 0x70 (དྷཱི), which no other source knows; དྷཱི is written as
    དྷཱ plus the gigu glyph instead.
  * the vowel glyph after ཙ, ཚ and ཛ: Dedris-vowa has two glyphs for each
    vowel sign above (three for U+0F72) with the same value, agreed by every
    source; none of the sources says which letters each glyph is made for
    (no width class, no context), and a table keyed on the Unicode text
    alone writes one glyph per vowel whatever letter precedes it, since the
    letter and the vowel are drawn by different fonts. The table writes the
    glyph utfc's reverse file names (the first of each pair) everywhere.
    Whether ཙ, ཚ, ཛ (whose tail rises above the head line) need the second
    glyph can only be settled with the font outlines and advances.
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

import table_roundtrip

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


# Sources that vouch for a value on their own (uni2sam restates utfc, attu-last
# only the last character).
INDEPENDENT = ("utfc", "udp", "attu", "tiblegenc")
# ATTU is the only source that lists the stand-alone subjoined letters and
# vowel signs of Dedris-syma; the others are silent there (nothing contradicts
# it), and where ATTU and utfc both give a value they agree at 2,570 of 2,587
# positions. Without these glyphs stacks that no glyph draws whole (ཟྲ, མྱྭ)
# could not be written at all.
TRUSTED_ALONE = ("attu",)


def vouched(positions, font, char, value, source):
    """Whether a source other than `source` gives `value` at (font, char)."""
    return any(c["value"] == value and any(s in INDEPENDENT and s != source for s in c["sources"])
               for c in positions.get((font, char), []))


def tibetan(value):
    return all(0x0F00 <= ord(c) <= 0x0FFF for c in value)


def confirmed(positions, font, char, cand):
    """A value that one source alone gives, checked against the other sources:
    the same character of another font holds the same value there, or the
    family relation holds with a value another source gives (x1, x2, x3 draw
    the glyph of font x at the same character with U+0F74, U+0F71, U+0F71 U+0F74
    below), or it is a Tibetan sign from the one source trusted alone."""
    (source,) = [s for s in cand["sources"] if s in INDEPENDENT]
    value = cand["value"]
    if source in TRUSTED_ALONE and tibetan(value):
        return True
    if any(vouched(positions, other, char, value, source) for other in FONTS if other != font):
        return True
    suffix = font[len("Dedris-"):]
    if len(suffix) == 2 and suffix[1] in FAMILY_VOWELS:
        vowel = FAMILY_VOWELS[suffix[1]]
        base = "Dedris-" + suffix[0]
        return value.endswith(vowel) and vouched(positions, base, char, value[:-len(vowel)], source)
    if len(suffix) == 1:
        return any(vouched(positions, font + n, char, value + v, source) for n, v in FAMILY_VOWELS.items())
    return False


def choose(positions, log):
    chosen = {}
    alternatives = {}
    for (font, char), cands in positions.items():
        if len(cands) == 1 and cands[0]["status"] == "single" and not confirmed(positions, font, char, cands[0]):
            log(f"{font} {ord(char):02X}: {table_roundtrip.label(cands[0]['value'])} only from "
                f"{','.join(cands[0]['sources'])}, unconfirmed: left out")
            continue
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
    return out


def build_lines(positions, log):
    chosen, alternatives = choose(positions, log)
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
    lines, unreadable = table_roundtrip.drop_unreadable(lines, line_code, line_text)
    for char, value, font in unreadable:
        log(f"{font} {ord(char):02X}: {table_roundtrip.label(value)} not written (the glyph reads as another unit)")
    table_roundtrip.require_round_trip("SAM", lines, line_code, line_text,
                                       lambda l: f"{l[2]} {ord(l[0]):02X}")
    return lines, chosen, alternatives


def line_code(line):
    return line[2], line[0]


def line_text(line):
    return line[1]


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
    notes = []
    lines, chosen, alternatives = build_lines(positions, notes.append)
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
    for n in notes:
        print(n, file=sys.stderr)


if __name__ == "__main__":
    main(sys.argv)
