#!/usr/bin/env python3
"""Builds the collation table "PX" and the delimiter table "DL" for sorting.

    tools/gen_px.py [--reference DIR] [--out DIR] [--report] [--readable FILE]

PX lists every unit the sort can rank, one row per unit, "rank TAB unit", in
collation order:

  rows 1-36    the marks that come before every syllable (head marks, brackets,
               the shad family, the tsheg, ...), then the ten digits, each
               followed by its half-digit form;
  then         the syllables in Tibetan dictionary order: every syllable that the
               rules of Tibetan spelling allow (prefix, superscript, root,
               subscripts, vowel, suffix, post-suffix, particles), every stack of
               the national-standard and Sambhota tables with each vowel, and
               every well-formed syllable of the reference corpus;
  then         the further Tibetan marks, the isolated vowel signs and subjoined
               letters, the symbols U+0FBE-U+0FCF;
  last         the eight CJK brackets and quotation marks.

Both tables are written in their stored form: UTF-16LE with a byte-order mark,
CR LF line ends. PX ends with one NUL after its last CR LF, DL with an empty
line.

The dictionary order (see `syllable_key`): root letter first, then the head
(prefix and superscript together), the subscripts, the vowel, and last the
letters after the root stack, letter by letter. The generator is standard
library only and needs the reference folder (../shared/reference by default)
for the table stacks and the corpus; its output is committed.
"""

import argparse
import glob
import os
import sys
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

# --------------------------------------------------------------------------
# Letters

# The thirty letters of the alphabet, in order.
ALPHABET = "ཀཁགངཅཆཇཉཏཐདནཔཕབམཙཚཛཝཞཟའཡརལཤསཧཨ"

# Letter order used for every consonant that is compared as a letter (root,
# subscripts, letters after the root stack): the alphabet with each retroflex
# letter right after the letter it mirrors, ཫ after ཀ, ཬ after ར, and the sign
# letters ྈ-ྌ at the very end.
LETTER_ORDER = ("ཀཫཁགངཅཆཇཉཏཊཐཋདཌནཎཔཕབམཙཚཛཝཞཟའཡརཬལཤཥསཧཨ"
                "\u0F88\u0F89\u0F8A\u0F8B\u0F8C")
LETTER_WEIGHT = {c: i + 1 for i, c in enumerate(LETTER_ORDER)}
# Variant letters: compared as their plain letter, told apart at the tertiary level.
LETTER_VARIANT = {"ཪ": "ར"}
# Retroflex and similar root letters: filed after every syllable of the plain
# letter that has no subscript, before the plain letter's first subscript.
ROOT_MIRROR = {"ཊ": "ཏ", "ཋ": "ཐ", "ཌ": "ད", "ཎ": "ན", "ཥ": "ཤ", "ཫ": "ཀ", "ཬ": "ར"}
RETRO_MARK = 0  # below every letter weight

BASE_FIRST, BASE_LAST = 0x0F40, 0x0F6C
SUB_FIRST, SUB_LAST = 0x0F90, 0x0FBC
SIGN_LETTERS = "\u0F88\u0F89\u0F8A\u0F8B\u0F8C"
# Fixed-form subjoined letters: variants of ྭ ྱ ྲ.
SUB_VARIANT = {"\u0FBA": "ཝ", "\u0FBB": "ཡ", "\u0FBC": "ར"}


def is_base(c):
    return BASE_FIRST <= ord(c) <= BASE_LAST or c in SIGN_LETTERS


def is_sub(c):
    return SUB_FIRST <= ord(c) <= SUB_LAST


def sub_letter(c):
    """The letter a subjoined letter stands for (ྐ -> ཀ)."""
    if c in SUB_VARIANT:
        return SUB_VARIANT[c]
    return chr(ord(c) - 0x50)


def letter_of(c):
    """(letter for comparison, tertiary difference) of a base or subjoined character."""
    tert = 0
    if is_sub(c):
        if c in SUB_VARIANT:
            tert = 1
        c = sub_letter(c)
    if c in LETTER_VARIANT:
        c = LETTER_VARIANT[c]
        tert = 1
    return c, tert


# Vowel signs: (base vowel weight, long mark). none < ཱ < ི < ཱི < ྀ < ཱྀ < ུ < ཱུ < ེ < ཻ < ོ < ཽ
VOWEL_BASE = {"\u0F72": 1, "\u0F80": 2, "\u0F74": 3, "\u0F7A": 4, "\u0F7C": 5}
VOWEL_DOUBLE = {"\u0F7B": 4, "\u0F7D": 5}  # ཻ counts as ེེ, ཽ as ོོ
A_CHUNG = "\u0F71"
# Signs that stand for a letter after the root stack: ཾ as མ, ྂ and ྃ as ང.
SIGN_AS_LETTER = {"\u0F7E": ("མ", 1), "\u0F82": ("ང", 2), "\u0F83": ("ང", 1)}
# Signs that do not change the primary order (halanta, and the like).
IGNORABLE_SIGNS = set("\u0F84\u0F85\u0F86\u0F87\u0F19\u0F18\u0F35\u0F37\u0F39")
VOWEL_SIGNS = set(VOWEL_BASE) | set(VOWEL_DOUBLE) | {A_CHUNG}
REST_VOWEL = 1000  # vowels after the root stack rank after every consonant

# Precomposed characters and their parts. The corpus holds both forms, so the
# generator writes the composed variant of every syllable beside the plain one.
COMPOSE = [
    ("\u0F42\u0FB7", "\u0F43"), ("\u0F4C\u0FB7", "\u0F4D"), ("\u0F51\u0FB7", "\u0F52"),
    ("\u0F56\u0FB7", "\u0F57"), ("\u0F5B\u0FB7", "\u0F5C"), ("\u0F40\u0FB5", "\u0F69"),
    ("\u0F92\u0FB7", "\u0F93"), ("\u0F9C\u0FB7", "\u0F9D"), ("\u0FA1\u0FB7", "\u0FA2"),
    ("\u0FA6\u0FB7", "\u0FA7"), ("\u0FAB\u0FB7", "\u0FAC"), ("\u0F90\u0FB5", "\u0FB9"),
    ("\u0F71\u0F72", "\u0F73"), ("\u0F71\u0F74", "\u0F75"), ("\u0F71\u0F80", "\u0F81"),
]
COMPOSE_CONSONANTS = COMPOSE[:12]
COMPOSE_VOWELS = COMPOSE[12:]


def decompose(s):
    """Canonical decomposition, with ༀ read as ཨོཾ, ཷ as ྲཱྀ and ཹ as ླཱྀ."""
    s = s.replace("\u0F00", "\u0F68\u0F7C\u0F7E")
    s = s.replace("\u0F77", "\u0FB2\u0F71\u0F80").replace("\u0F79", "\u0FB3\u0F71\u0F80")
    return unicodedata.normalize("NFD", s)


def compose(s, table=COMPOSE):
    for parts, whole in table:
        s = s.replace(parts, whole)
    return s


# --------------------------------------------------------------------------
# Tibetan spelling: which stacks and which prefixes go together

SUPERSCRIPTED = {
    "ར": "ཀགངཇཉཏདནབམཙཛ",
    "ལ": "ཀགངཅཇཏདཔབཧ",
    "ས": "ཀགངཉཏདནཔབམཙ",
}
SUBSCRIPTED = {
    "ཡ": "ཀཁགཔཕབམ",
    "ར": "ཀཁགཏཐདནཔཕབམཤསཧ",
    "ལ": "ཀགབཟརས",
    "ཝ": "ཀཁགཅཉཏདཙཚཞཟརལཤསཧ",
}
# Stacks with a superscript and a subscript, and those with two subscripts.
SUPER_SUB = ["རྐྱ", "རྒྱ", "རྨྱ", "སྐྱ", "སྒྱ", "སྤྱ", "སྦྱ", "སྨྱ",
             "སྐྲ", "སྒྲ", "སྣྲ", "སྤྲ", "སྦྲ", "སྨྲ", "རྩྭ"]
DOUBLE_SUB = ["གྲྭ", "ཕྱྭ", "ཀྱྭ", "ཀྲྭ", "ཁྱྭ", "ཏྲྭ", "དྲྭ"]

# Which prefixes stand before which root letters (stack without superscript).
PREFIX_ROOTS = {
    "ག": "ཅཉཏདནཙཞཟཡཤས",
    "ད": "ཀགངཔབམ",
    "བ": "ཀགཅཏདཙཞཟཤས",
    "མ": "ཁགངཆཇཉཐདནཚཛ",
    "འ": "ཁགཆཇཐདཕབཚཛ",
}
# Prefixed stacks with subscripts, as written.
PREFIXED_SUBSCRIPTED = [
    "དཀྱ", "དཀྲ", "དགྱ", "དགྲ", "དཔྱ", "དཔྲ", "དབྱ", "དབྲ", "དམྱ",
    "བཀྱ", "བཀྲ", "བཀླ", "བགྱ", "བགྲ", "བཟླ", "བསླ", "བསྲ", "བརླ",
    "མཁྱ", "མཁྲ", "མགྱ", "མགྲ",
    "འཁྱ", "འཁྲ", "འགྱ", "འགྲ", "འདྲ", "འཕྱ", "འཕྲ", "འབྱ", "འབྲ",
    "བསྐྱ", "བསྒྱ", "བསྐྲ", "བསྒྲ", "བརྒྱ", "བསྣྲ", "བསྒྲྭ",
    "གཤྭ", "དབྱྭ", "གྲྭ",
]
# བ before superscripted stacks.
BA_SUPERSCRIPTED = {"ར": "ཀགངཇཉཏདནཙཛ", "ལ": "ཏད", "ས": "ཀགངཉཏདནཙ"}

SUFFIXES = "གངདནབམའརལས"
POST_SUFFIX = {"ག": "ས", "ང": "ས", "བ": "ས", "མ": "ས", "ན": "ད", "ར": "ད", "ལ": "ད"}
PARTICLES = ["འི", "འོ", "འང", "འམ", "འུ", "འུའི", "འུར", "འུས", "འིའོ"]
VOWELS = ["", "\u0F72", "\u0F74", "\u0F7A", "\u0F7C"]
SANSKRIT_VOWELS = ["", "\u0F71", "\u0F72", "\u0F71\u0F72", "\u0F80", "\u0F71\u0F80",
                   "\u0F74", "\u0F71\u0F74", "\u0F7A", "\u0F7B", "\u0F7C", "\u0F7D"]


def subjoin(letter):
    return chr(ord(letter) + 0x50)


def tibetan_stacks():
    """Every root stack of Tibetan spelling, without prefix, as written."""
    stacks = set(ALPHABET)
    for sup, roots in SUPERSCRIPTED.items():
        stacks.update(sup + subjoin(r) for r in roots)
    for sub, roots in SUBSCRIPTED.items():
        stacks.update(r + subjoin(sub) for r in roots)
    stacks.update(SUPER_SUB)
    stacks.update(DOUBLE_SUB)
    return stacks


TIBETAN_STACKS = tibetan_stacks()


def prefixed_stacks():
    """Every prefix + root stack combination, as written."""
    out = set()
    for p, roots in PREFIX_ROOTS.items():
        out.update(p + r for r in roots)
    out.update(s for s in PREFIXED_SUBSCRIPTED)
    for sup, roots in BA_SUPERSCRIPTED.items():
        out.update("བ" + sup + subjoin(r) for r in roots)
    out.add("བརླ")
    return out


PREFIXED = prefixed_stacks()


def generated_syllables():
    """Every syllable the rules of spelling build: head, vowel, then a suffix
    (with its post-suffix) or a particle."""
    heads = TIBETAN_STACKS | PREFIXED
    out = set()
    for head in heads:
        for v in VOWELS:
            base = head + v
            out.add(base)
            for s in SUFFIXES:
                out.add(base + s)
                for ps in POST_SUFFIX.get(s, ""):
                    out.add(base + s + ps)
            for p in PARTICLES:
                out.add(base + p)
    return out


# --------------------------------------------------------------------------
# Reading a syllable


class Stack:
    __slots__ = ("base", "subs", "vowels", "signs", "text")

    def __init__(self, base):
        self.base = base
        self.subs = []
        self.vowels = []
        self.signs = []
        self.text = base

    def bare(self):
        return not self.subs and not self.vowels and not self.signs

    def has_vowel(self):
        return bool(self.vowels)


def split_stacks(s):
    """Splits a decomposed syllable into stacks, or None when it is not one
    (it starts with a sign, or holds a character that is not a letter, a
    subjoined letter or a sign)."""
    stacks = []
    for c in s:
        if is_base(c):
            stacks.append(Stack(c))
            continue
        if not stacks:
            return None
        st = stacks[-1]
        st.text += c
        if is_sub(c):
            if st.vowels or st.signs:
                return None  # a subjoined letter after a vowel sign is not a stack
            if len(st.subs) >= 2 and st.subs[-1] == st.subs[-2] == c:
                return None  # nor is one subjoined letter three times running
            st.subs.append(c)
        elif c in VOWEL_SIGNS:
            st.vowels.append(c)
        elif c in SIGN_AS_LETTER or c in IGNORABLE_SIGNS:
            st.signs.append(c)
        else:
            return None
    return stacks or None


def superscript_reading(stack):
    """(superscript, root letter, subscripts) of a stack."""
    base = LETTER_VARIANT.get(stack.base, stack.base)
    if stack.subs and base in SUPERSCRIPTED:
        first = sub_letter(stack.subs[0])
        if first in SUPERSCRIPTED[base] or (base == "ར" and first == "ལ"):
            return base, first, stack.subs[1:]
    return None, stack.base, stack.subs


def consonants(stack):
    return stack.base + "".join(stack.subs)


def is_tibetan_stack(stack):
    return consonants(stack) in TIBETAN_STACKS or stack.base in ALPHABET and not stack.subs


def valid_prefix(p, stack):
    """True when the bare letter p can be the prefix of `stack`."""
    if not p.bare() or p.base not in PREFIX_ROOTS:
        return False
    cons = consonants(stack)
    if not stack.subs:
        return stack.base in PREFIX_ROOTS[p.base]
    if stack.subs == [subjoin("ཝ")] and stack.base in SUBSCRIPTED["ཝ"]:
        return stack.base in PREFIX_ROOTS[p.base]  # the wa-zur keeps the root's prefixes (བསྭ, གདྭ)
    if p.base == "བ" and cons in SUPER_SUB and sub_letter(cons[1]) in BA_SUPERSCRIPTED.get(cons[0], ""):
        return True  # so does a subscript under a superscripted root (བརྐྱ)
    return (p.base + cons) in PREFIXED


AMBIGUOUS_SECOND = {"དགས", "འགས", "དབས", "འབས", "དམས"}
AMBIGUOUS_FIRST = {"དངས", "བགས", "མགས", "མངས"}


def find_root(stacks):
    """Index of the root stack (0 or 1)."""
    n = len(stacks)
    first = stacks[0]
    if first.subs or first.vowels:
        return 0
    if n == 1:
        return 0
    second = stacks[1]
    if second.subs:
        return 1 if valid_prefix(first, second) else 0
    if second.vowels and second.base != "འ":
        return 1 if valid_prefix(first, second) else 0
    # Consonants only (or a vowel only on a following འ): count the
    # consonants up to the first འ that carries a vowel.
    count = 0
    for st in stacks:
        count += 1
        if st.base == "འ" and st.vowels:
            break
        if st.subs or (st.vowels and st.base != "འ"):
            break
    if not valid_prefix(first, second):
        return 0
    if count <= 2:
        # The second letter is the suffix unless it cannot be one (དཀ).
        return 0 if second.base in SUFFIXES else 1
    if count >= 4:
        return 1
    third = stacks[2]
    word = first.base + second.base + third.base
    if third.base == "ས" and not third.vowels:
        if word in AMBIGUOUS_FIRST:
            return 0
        if word in AMBIGUOUS_SECOND:
            return 1
        return 0 if second.base in "གངབམ" else 1
    return 1


HEAD_WEIGHT = {None: 0, "ག": 1, "ད": 2, "བ": 3, "མ": 4, "འ": 5}
SUPER_WEIGHT = {"ར": 6, "ལ": 7, "ས": 8}


def vowel_key(vowels):
    bases = []
    long = 0
    for v in vowels:
        if v == A_CHUNG:
            long = 1
        elif v in VOWEL_BASE:
            bases.append(VOWEL_BASE[v])
        elif v in VOWEL_DOUBLE:
            bases += [VOWEL_DOUBLE[v]] * 2
    return (tuple(bases), long)


def syllable_key(unit):
    """Sort key of a syllable in dictionary order, or None when the unit is not
    a well-formed syllable. The key compares the primary weights (root, head,
    subscripts, vowel, following letters) first and the tertiary differences
    (variant letters, anusvara, precomposed forms, ignorable signs) after
    them; the unit itself breaks the last ties."""
    text = decompose(unit)
    # The honorific mark ༸ before a syllable and the non-breaking tsheg after
    # it leave the syllable's place unchanged.
    marks = (text.startswith("\u0F38"), text.endswith("\u0F0C"))
    text = text[1 if marks[0] else 0:len(text) - (1 if marks[1] else 0)]
    stacks = split_stacks(text)
    if stacks is None:
        return None
    r = find_root(stacks)
    prefix = stacks[0].base if r == 1 else None
    root = stacks[r]
    sup, root_letter, subs = superscript_reading(root)
    tert = []

    letter, t = letter_of(root_letter)
    tert.append(t)
    sub_weights = []
    if letter in ROOT_MIRROR:
        sub_weights.append(RETRO_MARK)
        letter = ROOT_MIRROR[letter]
    root_weight = LETTER_WEIGHT[letter]
    if sup is not None and root.base in LETTER_VARIANT:
        tert.append(1)
    for c in subs:
        l, t = letter_of(c)
        sub_weights.append(LETTER_WEIGHT[l])
        tert.append(t)

    head = HEAD_WEIGHT[prefix] if sup is None else (
        SUPER_WEIGHT[sup] + (0 if prefix is None else 3 if prefix == "བ" else 6 + HEAD_WEIGHT[prefix]))

    rest = []
    second = [int(marks[0]), int(marks[1])]

    def add_signs(stack):
        for c in stack.signs:
            if c in SIGN_AS_LETTER:
                l, t = SIGN_AS_LETTER[c]
                rest.append(LETTER_WEIGHT[l])
                tert.append(t)
            else:
                second.append(ord(c))

    add_signs(root)
    for st in stacks[r + 1:]:
        l, t = letter_of(st.base)
        rest.append(LETTER_WEIGHT[l])
        tert.append(t)
        for c in st.subs:
            l, t = letter_of(c)
            rest.append(LETTER_WEIGHT[l])
            tert.append(2 + t)  # a subjoined letter after a plain one of the same letter
        vb, vl = vowel_key(st.vowels)
        if vb or vl:
            vb = vb or (0,)
            rest.extend(REST_VOWEL + 2 * b for b in vb[:-1])
            rest.append(REST_VOWEL + 2 * vb[-1] + vl)
        add_signs(st)
    composed = tuple(ord(c) for c in unit)
    return ((root_weight, head, tuple(sub_weights), vowel_key(root.vowels), tuple(rest)),
            tuple(second), tuple(tert), composed)


def well_formed(unit):
    return syllable_key(unit) is not None


# --------------------------------------------------------------------------
# The table rows

# Rows 1-36.
LEADING_MARKS = [
    "༄༅", "༄", "༅", "༆", "༇",      # head marks
    "\u0F3A", "\u0F3B", "\u0F12",       # ༺ ༻ ༒
    "།", "༎", "༏", "༐", "༑",           # the shad family
    "་", "\u0F14", "\u0F7F",            # tsheg, ༔, ཿ
]
DIGITS = "༠༡༢༣༤༥༦༧༨༩"
HALF_DIGITS = "༳༪༫༬༭༮༯༰༱༲"  # half zero, half one, ... half nine
for d, h in zip(DIGITS, HALF_DIGITS):
    LEADING_MARKS += [d, h]

CLOSING_MARKS = ["》", "《", "〉", "〈", "”", "“", "’", "‘"]


def further_marks():
    """Tibetan marks that are neither in the leading rows nor letters or signs."""
    taken = set(LEADING_MARKS)
    out = ["༄༅༅"]
    for cp in list(range(0x0F01, 0x0F40)) + [0x0F85] + list(range(0x0F88, 0x0F90)):
        c = chr(cp)
        if c in taken or not unicodedata.name(c, ""):
            continue
        out.append(c)
    return out


def isolated_signs():
    """Isolated vowel signs and other combining signs, subjoined letters, then
    the symbols U+0FBE-U+0FCF."""
    out = []
    for cp in range(0x0F71, 0x0F88):
        c = chr(cp)
        if c == "\u0F7F" or cp == 0x0F85 or not unicodedata.name(c, ""):
            continue
        out.append(c)
    for cp in range(SUB_FIRST, SUB_LAST + 1):
        if unicodedata.name(chr(cp), ""):
            out.append(chr(cp))
    for cp in range(0x0FBE, 0x0FD0):
        if unicodedata.name(chr(cp), ""):
            out.append(chr(cp))
    return out


DELIMITER_RANGES = [(0x0F02, 0x0F03), (0x0F06, 0x0F0B), (0x0F0D, 0x0F18), (0x0F1A, 0x0F37),
                    (0x0F39, 0x0F3F), (0x0F7F, 0x0F7F), (0x0FBE, 0x0FCC), (0x0FCF, 0x0FCF),
                    (0x2018, 0x2019), (0x201C, 0x201D), (0x3008, 0x300B)]


def delimiters():
    out = []
    for a, b in DELIMITER_RANGES:
        out += [chr(c) for c in range(a, b + 1)]
    assert len(out) == 82, len(out)
    return out


def tokens_of_line(line, delims):
    """Tokens of a line as the sort cuts it: at every delimiter, blank and "~";
    delimiters and blanks are tokens of their own."""
    out = []
    cur = []
    for c in line:
        if c in delims or c == " " or c == "~":
            if cur:
                out.append("".join(cur))
                cur = []
            if c != "~":
                out.append(c)
        else:
            cur.append(c)
    if cur:
        out.append("".join(cur))
    return out


def tibetan_part(token):
    return "".join(c for c in token if 0x0F00 <= ord(c) <= 0x0FCF)


def corpus_syllables(reference):
    """Counts of the Tibetan part of every token of the corpus."""
    delims = set(delimiters())
    counts = {}
    for path in sorted(glob.glob(os.path.join(reference, "corpus", "*.txt"))):
        with open(path, encoding="utf-8") as f:
            for line in f:
                for tok in tokens_of_line(line.rstrip("\r\n"), delims):
                    t = tibetan_part(tok)
                    if t and t not in delims:
                        counts[t] = counts.get(t, 0) + 1
    return counts


def table_stacks(reference):
    """Every single-stack unit of the national-standard and Sambhota tables:
    the units as they stand and their consonant stacks."""
    units = set()
    for path in sorted(glob.glob(os.path.join(reference, "tables", "*.tsv"))):
        name = os.path.basename(path)
        if name.split(".")[0] not in ("BZD", "TY", "FZ", "HG", "HKA", "SAM"):
            continue
        with open(path, encoding="utf-8") as f:
            header = f.readline().rstrip("\n").split("\t")
            col = header.index("unicode")
            for line in f:
                cells = line.rstrip("\n").split("\t")
                if col >= len(cells) or not cells[col].startswith("U+"):
                    continue
                try:
                    units.add("".join(chr(int(x[2:], 16)) for x in cells[col].split()))
                except ValueError:
                    continue
    stacks = set()
    whole = set()
    for u in units:
        st = split_stacks(decompose(u))
        if st is None or len(st) != 1:
            continue
        whole.add(u)
        stacks.add(consonants(st[0]))
    return whole, stacks


def sanskrit_syllables(stacks):
    """Each table stack with every vowel, and with the anusvara after no vowel
    or the long a."""
    out = set()
    for s in stacks:
        for v in SANSKRIT_VOWELS:
            out.add(s + v)
        out.add(s + "\u0F7E")
        out.add(s + "\u0F71\u0F7E")
    return out


MAX_UNIT = 9  # characters in one unit


def build_px(reference, with_corpus=True):
    syll = set(generated_syllables())
    whole, stacks = table_stacks(reference)
    syll |= whole
    syll |= sanskrit_syllables(stacks)
    syll |= set(SIGN_LETTERS)
    syll.add("\u0F00")
    corpus = corpus_syllables(reference)
    if with_corpus:
        syll |= {s for s in corpus if well_formed(s)}
    # Precomposed letters (བྷ as U+0F57) and long vowels (ཱི as U+0F73) occur in
    # real text: every syllable is also ranked with its consonants composed,
    # its long vowels composed, and both.
    plain = list(syll)
    syll |= {compose(s, COMPOSE_CONSONANTS) for s in plain}
    syll |= {compose(s, COMPOSE_VOWELS) for s in plain}
    syll |= {compose(s) for s in plain}
    # The non-breaking tsheg is written after ང before a shad (དང༌།).
    syll |= {s + "\u0F0C" for s in list(syll) if s.endswith("ང")}
    taken = set(LEADING_MARKS) | set(CLOSING_MARKS)
    syll = {s for s in syll if s not in taken and len(s) <= MAX_UNIT}
    ordered = sorted(syll, key=syllable_key)
    rows = list(LEADING_MARKS) + ordered
    seen = set(rows)
    for u in further_marks() + isolated_signs():
        if u not in seen:
            rows.append(u)
            seen.add(u)
    rows += CLOSING_MARKS
    assert len(rows) == len(set(rows)), "duplicate unit"
    assert len(rows) <= 99999, "ranks must stay five digits"
    return rows, corpus


# Sequences in dictionary order that the key must reproduce; the generator
# stops when one of them comes out in another order.
KNOWN_ORDERS = [
    "ཀ ཀག ཀགས ཀང ཀངས ཀད ཀན ཀབ ཀབས ཀམ ཀམས ཀའ ཀའང ཀའམ ཀའི ཀའིའོ ཀའུ ཀའུའི ཀའུར ཀའུས ཀའོ ཀར ཀལ ཀས ཀི ཀིག",
    "ཀ དཀ བཀ རྐ ལྐ སྐ བརྐ བསྐ",
    "ད གདན བདག མདའ འདས རྡ ལྡ སྡ བརྡ བལྡ བསྡ",
    "ཀ ཀྭ ཀྱ ཀྱྭ ཀྲ ཀྲྭ ཀླ",
    "ཀོས ཀྭ",
    "ག དགས འགས ང ད དངས གདས བདས འདས ན བ བགས དབས འབས མ མགས མངས དམས ཙ",
    "ཏོལ ཊ ཊམ ཊིའུ ཊཱིཀ ཏྭོན",
    "ཀྙ ཀྥ ཀྭ ཀྱ ཀྱྭ ཀྱྲ ཀྲ ཀྲྭ ཀྲྱ ཀླ ཀྵ ཀྷ",
    "ཀར ཀརྐ ཀརྨ ཀརྵ ཀལ ཀལྤ ཀས ཀསྨིར ཀི",
    "མང མཉྫ མད",
    "ཀམ ཀཾ ཀམས",
    "ཀང ཀྃ ཀངས",
    "ཀ ཀཱ ཀི ཀཱི ཀྀ ཀཱྀ ཀུ ཀཱུ ཀེ ཀཻ ཀོ ཀཽ",
    "གློས དགག དགྲོས བསྒྲུབས ང",
    " ".join(ALPHABET),
    "བུ བུད བུདྡྷ བུན",
    "གྱི རྒན རྒྱ རྒྱལ བརྒྱད ང",
]


def check_known_orders():
    for seq in KNOWN_ORDERS:
        units = seq.split()
        keys = [syllable_key(u) for u in units]
        for a, b, ka, kb in zip(units, units[1:], keys, keys[1:]):
            if ka is None or kb is None or not ka < kb:
                sys.exit("gen_px.py: dictionary order broken: %s should sort before %s" % (a, b))


def stored_px(rows):
    text = "".join("%05d\t%s\r\n" % (i + 1, u) for i, u in enumerate(rows)) + "\0"
    return b"\xff\xfe" + text.encode("utf-16-le")


def stored_dl():
    text = "".join(d + "\r\n" for d in delimiters())
    return b"\xff\xfe" + text.encode("utf-16-le")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--reference", default=os.path.join(ROOT, "..", "shared", "reference"))
    ap.add_argument("--out", default=os.path.join(ROOT, "resources", "embedded"))
    ap.add_argument("--report", action="store_true", help="print the corpus coverage")
    ap.add_argument("--readable", metavar="FILE", help="also write the table as UTF-8 text, LF line ends")
    ap.add_argument("--without-corpus", action="store_true",
                    help="leave the corpus syllables out (to see how the sort does on text the table has not seen)")
    args = ap.parse_args()
    check_known_orders()
    rows, corpus = build_px(args.reference, with_corpus=not args.without_corpus)
    if args.readable:
        with open(args.readable, "w", encoding="utf-8", newline="\n") as f:
            f.writelines("%05d\t%s\n" % (i + 1, u) for i, u in enumerate(rows))
    with open(os.path.join(args.out, "PX.txt"), "wb") as f:
        f.write(stored_px(rows))
    with open(os.path.join(args.out, "DL.txt"), "wb") as f:
        f.write(stored_dl())
    nsyll = sum(1 for u in rows if syllable_key(u) is not None)
    print("PX: %d rows (%d syllables), DL: %d delimiters" % (len(rows), nsyll, len(delimiters())))
    if args.report:
        ranked = set(rows)
        miss = {s: n for s, n in corpus.items() if s not in ranked}
        tokens = sum(corpus.values())
        print("corpus: %d distinct syllables, %d tokens" % (len(corpus), tokens))
        print("ranked: %.3f %% distinct, %.3f %% tokens" % (
            100.0 * (len(corpus) - len(miss)) / len(corpus),
            100.0 * (tokens - sum(miss.values())) / tokens))
        for s, n in sorted(miss.items(), key=lambda x: -x[1]):
            print("  unranked %s (%s) x%d" % (s, " ".join("U+%04X" % ord(c) for c in s), n))


if __name__ == "__main__":
    sys.exit(main())
