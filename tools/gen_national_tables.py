#!/usr/bin/env python3
"""Writes the five national-standard conversion tables BZD, TY, FZ, HG and HKA.

    python3 tools/gen_national_tables.py [REFERENCE_DIR]

REFERENCE_DIR (default /work/shared/reference/tables) holds <CODE>.tsv (one row
per code/sequence pair: code, unicode, source_dirs, gbk, cp936, flags),
glyph-check.tsv and FZ-font-extra-codes.tsv. Output, for every CODE:

  resources/embedded/<CODE>.tbl   the stored form the program embeds: UTF-16LE
                                  with byte-order mark, every byte XOR 0x6E
  resources/tables/<CODE>.txt     the same text as UTF-8, for review

Table text: one line per unit, CR LF after every line (the last one included,
so that the Unicode-to-national direction reads every line), TAB between
columns:
  1  the unit's character as code page 936 decodes its RTF bytes (for HKA the
     private-use character itself): the key of the national-to-Unicode direction
     and the character the Unicode-to-national direction writes
  2  the Unicode Tibetan sequence
  3  the code in hexadecimal (GBK bytes, lead first; HKA: the code point)
  4  the sequence as U+XXXX numbers
Columns 3 and 4 are for readers only; the program ignores them.

Both directions keep the first line with a given key, so the order of the
lines decides: for every code the preferred sequence comes first, and for every
sequence the preferred code comes first (a topological order of the two
"comes before" relations; the generator stops if they contradict).

Decisions, with reasons:

* Placeholders (U+0FC4 in BZD/TY, U+0FCE in FZ/HG) mean "no mapping" and are
  not in the source rows; they stay out. An unknown national character is then
  written as itself by the national-to-Unicode conversion, unmarked.

* Codes listed twice with different sequences: in BZD (13 codes) the two are
  mostly unrelated units (BFC3 མིཾ and བྷྲཱུྃ, BCBD དྒ and དྲྀ), so one of them
  would silently turn text into another stack. FZ on Windows draws the BZD
  glyphs at the same codes, so BZD keeps only the listing that FZ gives for
  that code (today FZ settles all 13). TY (3 codes: 876F, 8964, C346) has no
  such witness; each code keeps the source's to-Unicode reading, which also
  fits its neighbours (C345 སྡ, C346 སྡི, C347 སྡུ), and the other sequence is
  not written with it (see the round-trip rule below). Neither ཛཱ, ཊཱུ nor ཉཱིཾ
  has another TY code, so TY marks them red instead of turning ཛཱ into སྡི.

* Sequences with several codes: the preferred code is the source's own choice
  (the row without `from_uni_shadowed`) when that row still carries the
  sequence after the corrections below; otherwise the lowest code.

* Off-by-one runs confirmed by a visual check of the fonts:
  - FZ gbk C1BE..C1F1 and C5A1..C5C6 (codes D13E..D171, D521..D546) and
    DDD7..DFD7 (codes ED57..EF57): the FZ table is one position off. FZ on
    Windows uses the BZD layout (identical glyphs at 4,324 of 4,330 shared
    codes), and BZD agrees with the glyphs there, so these FZ rows take the
    BZD sequence at the same gbk code.
  - BZD D3F8..D3FD and DBE3..DBE8: BZD is off by one there and FZ matches the
    glyphs; these BZD rows take the FZ sequence at the same gbk code (FZ as the
    source lists it, before its own corrections, which do not touch them).

* Single rows that the glyph comparison outvotes: the suggested sequence is
  taken when at least two other tables draw the same glyph for it, unless
  - the two differ only by U+0F62 against U+0F6A (the same glyph; running text
    writes U+0F62, the font forms the head-less ra itself),
  - the two hold the same characters in another order (both orders are in use
    and neither is wrong for the glyph),
  - the suggestion repeats a subjoined letter (a fault of the voters' data).
  Ties are left as the source has them: a one-against-one vote proves nothing.

* FZ extras: the FZ font also carries BZD's marks ︶︹︺︿﹀︽ (A6E1..A6E6) with the
  outlines of its B0AD..B0B2 (༄ ༅ ༈ ༑ ། ་) and proportional advances, which is what
  running text needs; Windows FZ documents use them like BZD documents do. Both
  forms read as the Tibetan marks, and the Unicode-to-FZ direction writes the
  A6E1..A6E6 forms. ＃ ＂ ＄ (A3A3, A3A2, A1E7) draw a tiny spacing mark whose
  meaning is not established: they stay out and pass through unchanged. The
  three slots after the table's end (DFEC..DFEE) have no known sequence.

* Codes that code page 936 does not decode (FZ gbk D7FA..D7FE, HG D7FA) cannot
  be a key: no character stands for them in column 1. They are left out; the
  conversion copies their byte escapes unchanged.

* HG ED65 has nine characters. It is kept: reading HG gives the whole stack,
  and the Unicode-to-HG direction simply never matches a key longer than seven.

* Canonically equivalent spellings: Unicode Tibetan has precomposed letters
  and vowels (U+0F43 GHA = U+0F42 U+0FB7, U+0F73 = U+0F71 U+0F72, ...) that
  texts use beside the two-character forms (real text writes U+0F57 BHA as
  often as U+0F56 U+0FB7). For every line, each spelling that composes or
  decomposes some of these pairs is added, after all source lines, with the
  same code, unless another line already has that spelling. Reading the
  national encoding still gives the source's spelling (the first line of the
  code wins); writing it accepts both.

* Round-trip rule: a unit is written only with a code that reads back as the
  same text or a canonically equivalent spelling (tools/table_roundtrip.py).
  After ordering, a line whose code already reads as another unit is left
  out; the unit then takes the next line that lists it, or is marked red. The
  finished table is proved line by line and the generator stops, naming the
  rows, if any written unit would read back differently.

* HKA encodes stacks in the private-use area and takes the basic Tibetan
  characters as they are. Every Tibetan character that no HKA line lists alone
  is therefore added as mapping to itself (after the private-use lines), so that
  plain letters, vowel signs and marks pass both ways instead of being marked
  unconvertible.
"""
import collections
import os
import sys
import unicodedata

import table_roundtrip

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
DEFAULT_REF = "/work/shared/reference/tables"
CODES = ["BZD", "TY", "FZ", "HG", "HKA"]
SCRAMBLE = 0x6E


def fail(where, msg):
    sys.exit(f"{where}: {msg}")


def parse_seq(text):
    return "".join(chr(int(u[2:], 16)) for u in text.split())


def seq_label(seq):
    return " ".join(f"U+{ord(c):04X}" for c in seq)


class Row:
    __slots__ = ("code", "gbk", "key", "seq", "flags", "index", "origin")

    def __init__(self, code, gbk, key, seq, flags, index, origin):
        self.code, self.gbk, self.key, self.seq = code, gbk, key, seq
        self.flags, self.index, self.origin = flags, index, origin


def read_tsv(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    header = lines[0].split("\t")
    rows = []
    for n, line in enumerate(lines[1:], start=2):
        if not line:
            continue
        cells = line.split("\t")
        cells += [""] * (len(header) - len(cells))
        rows.append((f"{path}:{n}", dict(zip(header, cells))))
    return rows


def cp936_char(gbk, given, where):
    """The character code page 936 decodes the gbk bytes to; checked against
    Python's gbk codec where that codec knows the code."""
    if not given:
        return None
    ch = parse_seq(given)
    if len(ch) != 1:
        fail(where, f"cp936 column {given!r} is not one character")
    try:
        py = bytes.fromhex(gbk).decode("gbk")
        if py != ch:
            fail(where, f"gbk {gbk} decodes to U+{ord(py):04X}, the row says {given}")
    except UnicodeDecodeError:
        pass
    return ch


def load_table(ref, code):
    rows = []
    for where, r in read_tsv(os.path.join(ref, f"{code}.tsv")):
        seq = parse_seq(r["unicode"])
        if not seq:
            fail(where, "empty sequence")
        if any(not 0x0F00 <= ord(c) <= 0x0FFF for c in seq):
            fail(where, "sequence outside the Tibetan block")
        flags = set(filter(None, r["flags"].split(",")))
        if code == "HKA":
            key = chr(int(r["code"], 16))
            if not 0xF300 <= ord(key) <= 0xF8FF:
                fail(where, "HKA code outside F300..F8FF")
            gbk = r["code"]
        else:
            gbk = r["gbk"]
            key = cp936_char(gbk, r["cp936"], where)
            if key is None and "gbk_undefined" not in flags:
                fail(where, "no cp936 character but not flagged gbk_undefined")
        rows.append(Row(r["code"], gbk, key, seq, flags, len(rows), where))
    return rows


def load_glyph_check(ref):
    out = collections.defaultdict(dict)
    for where, r in read_tsv(os.path.join(ref, "glyph-check.tsv")):
        out[r["table"]][r["code"]] = r
    return out


def outvote_fix(row, check):
    """The corrected sequence for a single outvoted row, or None."""
    if check["verdict"] != "outvoted" or "|" in check["suggested"]:
        return None
    suggested = parse_seq(check["suggested"])
    votes = 0
    for item in filter(None, check["same_glyph_elsewhere"].split("; ")):
        _, _, seqs = item.partition("=")
        votes += any(parse_seq(seq) == suggested for seq in seqs.split(" | "))
    if votes < 2:
        return None
    ra = str.maketrans({"\u0F6A": "\u0F62"})
    if row.seq.translate(ra) == suggested.translate(ra):
        return None
    if sorted(row.seq) == sorted(suggested):
        return None
    if any(a == b and 0x0F90 <= ord(a) <= 0x0FBC for a, b in zip(suggested, suggested[1:])):
        return None
    return suggested


def in_ranges(code, ranges):
    return any(lo <= code <= hi for lo, hi in ranges)


FZ_SHIFTED = [("D13E", "D171"), ("D521", "D546"), ("ED57", "EF57")]
BZD_SHIFTED = [("D3F8", "D3FD"), ("DBE3", "DBE8")]


def correct(tables, checks, log):
    """Applies the off-by-one runs and the outvoted single rows in place."""
    original = {c: {r.gbk: r.seq for r in rows} for c, rows in tables.items()}
    first_by_gbk = {c: {} for c in tables}
    for c, rows in tables.items():
        for r in rows:
            first_by_gbk[c].setdefault(r.gbk, r.seq)
    changed = collections.Counter()
    for code, rows in tables.items():
        for r in rows:
            new = None
            if code == "FZ" and in_ranges(r.code, FZ_SHIFTED):
                new = first_by_gbk["BZD"].get(r.gbk)
                if new is None:
                    log(f"FZ {r.code}: shifted run, but BZD has no gbk {r.gbk}; kept")
            elif code == "BZD" and in_ranges(r.code, BZD_SHIFTED):
                new = first_by_gbk["FZ"].get(r.gbk)
            elif r.code in checks.get(code, {}):
                new = outvote_fix(r, checks[code][r.code])
            if new is not None and new != r.seq:
                r.flags.add("corrected")
                r.seq = new
                changed[code] += 1
    del original
    return changed


def drop_bzd_double_listings(tables, log):
    fz = {}
    for r in tables["FZ"]:
        fz.setdefault(r.gbk, r.seq)
    by_code = collections.defaultdict(list)
    for r in tables["BZD"]:
        by_code[r.code].append(r)
    dropped = set()
    for code, rs in by_code.items():
        seqs = {r.seq for r in rs}
        if len(seqs) < 2:
            continue
        witness = fz.get(rs[0].gbk)
        if witness not in seqs:
            log(f"BZD {code}: two sequences, FZ agrees with neither; both kept")
            continue
        dropped.update(id(r) for r in rs if r.seq != witness)
    tables["BZD"] = [r for r in tables["BZD"] if id(r) not in dropped]
    for i, r in enumerate(tables["BZD"]):
        r.index = i
    return len(dropped)


def add_fz_extras(rows):
    """BZD's marks in the FZ font, read like B0AD..B0B2 and written in their place."""
    by_gbk = {r.gbk: r for r in rows}
    extras = [("A6E1", "B0AD"), ("A6E2", "B0AE"), ("A6E3", "B0AF"),
              ("A6E4", "B0B0"), ("A6E5", "B0B1"), ("A6E6", "B0B2")]
    for gbk, same in extras:
        base = by_gbk[same]
        key = bytes.fromhex(gbk).decode("gbk")
        r = Row(gbk, gbk, key, base.seq, {"extra", "preferred_from_uni"}, len(rows), "FZ extra")
        rows.append(r)


def canonical_pairs():
    pairs = {}
    for cp in range(0x0F00, 0x1000):
        d = unicodedata.decomposition(chr(cp))
        if d and not d.startswith("<"):
            parts = "".join(chr(int(x, 16)) for x in d.split())
            pairs[parts] = chr(cp)
    return pairs


def spellings(seq, pairs):
    """Every spelling of `seq` reached by composing or decomposing pairs."""
    found = {seq}
    todo = [seq]
    while todo:
        s = todo.pop()
        nexts = []
        for two, one in pairs.items():
            start = s.find(two)
            while start != -1:
                nexts.append(s[:start] + one + s[start + 2:])
                start = s.find(two, start + 1)
            start = s.find(one)
            while start != -1:
                nexts.append(s[:start] + two + s[start + 1:])
                start = s.find(one, start + 1)
        for n in nexts:
            if n not in found:
                found.add(n)
                todo.append(n)
    return found


def add_spelling_variants(rows):
    pairs = canonical_pairs()
    known = {r.seq for r in rows}
    added = 0
    for r in list(rows):
        if r.key is None or "identity" in r.flags:
            continue  # an HKA identity keeps its one spelling: the text stays as it was
        for variant in sorted(spellings(r.seq, pairs)):
            if variant in known:
                continue
            known.add(variant)
            rows.append(Row(r.code, r.gbk, r.key, variant, {"variant"}, len(rows), r.origin + " (spelling)"))
            added += 1
    return added


def add_hka_identities(rows):
    listed = {r.seq for r in rows if len(r.seq) == 1}
    for cp in range(0x0F00, 0x1000):
        ch = chr(cp)
        if unicodedata.category(ch) == "Cn" or ch in listed:
            continue
        rows.append(Row(f"{cp:04X}", f"{cp:04X}", ch, ch, {"identity"}, len(rows), "HKA identity"))


def order_rows(code, rows):
    """Rows in an order in which "first line wins" gives the preferred sequence
    for every key and the preferred key for every sequence."""
    usable = [r for r in rows if r.key is not None]
    by_key = collections.defaultdict(list)
    by_seq = collections.defaultdict(list)
    for r in usable:
        by_key[r.key].append(r)
        by_seq[r.seq].append(r)
    # Preferred row of a key: the first listed (the source's to-Unicode choice).
    pref_key = {k: rs[0] for k, rs in by_key.items()}
    # Preferred row of a sequence.
    pref_seq = {}
    for s, rs in by_seq.items():
        marked = [r for r in rs if "preferred_from_uni" in r.flags]
        own = [r for r in rs if "from_uni_shadowed" not in r.flags and "corrected" not in r.flags
               and "identity" not in r.flags and "variant" not in r.flags]
        pref_seq[s] = (marked or own or sorted(rs, key=lambda r: r.code))[0]
    # Kahn's algorithm; ties broken by source position.
    succ = collections.defaultdict(set)
    indeg = collections.Counter()
    for group, pref in ((by_key, pref_key), (by_seq, pref_seq)):
        for k, rs in group.items():
            p = pref[k]
            for r in rs:
                if r is not p and r.index not in succ[p.index]:
                    succ[p.index].add(r.index)
                    indeg[r.index] += 1
    import heapq
    byindex = {r.index: r for r in usable}
    ready = [i for i in byindex if indeg[i] == 0]
    heapq.heapify(ready)
    out = []
    while ready:
        i = heapq.heappop(ready)
        out.append(byindex[i])
        for j in succ[i]:
            indeg[j] -= 1
            if indeg[j] == 0:
                heapq.heappush(ready, j)
    if len(out) != len(usable):
        fail(code, "the preferred keys and sequences contradict each other (cycle)")
    # Check: first line wins gives the preferred choices.
    seen_key, seen_seq = {}, {}
    for r in out:
        seen_key.setdefault(r.key, r)
        seen_seq.setdefault(r.seq, r)
    for k, p in pref_key.items():
        if seen_key[k] is not p:
            fail(code, f"key U+{ord(k):04X} does not keep its preferred row")
    for s, p in pref_seq.items():
        if seen_seq[s] is not p:
            fail(code, f"sequence {seq_label(s)} does not keep its preferred row")
    return out


def table_text(rows):
    lines = []
    for r in rows:
        if "\t" in r.key or "\r" in r.key or "\n" in r.key:
            fail(r.origin, "key holds a separator")
        lines.append(f"{r.key}\t{r.seq}\t{r.gbk}\t{seq_label(r.seq)}\r\n")
    return "".join(lines)


def scramble(text):
    data = ("\ufeff" + text).encode("utf-16-le")
    return bytes(b ^ SCRAMBLE for b in data)


def main():
    ref = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_REF
    tables = {c: load_table(ref, c) for c in CODES}
    checks = load_glyph_check(ref)
    notes = []
    dropped = drop_bzd_double_listings(tables, notes.append)
    notes.append(f"BZD: {dropped} listings dropped (second sequence of a code, FZ disagrees)")
    changed = correct(tables, checks, notes.append)
    add_fz_extras(tables["FZ"])
    add_hka_identities(tables["HKA"])
    variants = {c: add_spelling_variants(tables[c]) for c in CODES}
    os.makedirs(os.path.join(ROOT, "resources", "embedded"), exist_ok=True)
    os.makedirs(os.path.join(ROOT, "resources", "tables"), exist_ok=True)
    for code in CODES:
        rows = tables[code]
        left_out = [r for r in rows if r.key is None]
        ordered, unreadable = table_roundtrip.drop_unreadable(order_rows(code, rows), lambda r: r.key,
                                                              lambda r: r.seq)
        for r in unreadable:
            notes.append(f"{code} {r.gbk}: {seq_label(r.seq)} not written (the code reads as another unit)")
        table_roundtrip.require_round_trip(code, ordered, lambda r: r.key, lambda r: r.seq,
                                           lambda r: f"{r.origin} ({r.gbk})")
        text = table_text(ordered)
        with open(os.path.join(ROOT, "resources", "embedded", f"{code}.tbl"), "wb") as f:
            f.write(scramble(text))
        with open(os.path.join(ROOT, "resources", "tables", f"{code}.txt"), "w", encoding="utf-8",
                  newline="") as f:
            f.write(text)
        print(f"{code}: {len(ordered)} lines, {changed[code]} corrected, {variants[code]} spellings added, "
              f"{len(left_out)} left out (not code page 936), {len(unreadable)} not written")
    for n in notes:
        print(n)


if __name__ == "__main__":
    main()
