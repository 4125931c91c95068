#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Seeds come from the test documents (small files only) and from short RTF
documents built here with text in each of the seven encodings, so that the
fuzzers start inside the interesting paths. Run again after adding test data.
"""
import os
import pathlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
DATA = ROOT / "tests" / "data"
TABLES = ROOT / "resources" / "embedded"
SMALL = 8 * 1024


def table_rows(code):
    raw = (TABLES / f"{code}.tbl").read_bytes()
    text = bytes(b ^ 0x6E for b in raw).decode("utf-16le", "replace").lstrip("\ufeff")
    return [line.split("\t") for line in text.split("\r\n") if "\t" in line]


def esc(text):
    out = []
    for ch in text:
        n = ord(ch)
        if n < 0x80 and ch not in "\\{}":
            out.append(ch)
        else:
            out.append(f"\\u{n - 65536 if n >= 0x8000 else n}?")
    return "".join(out)


def gbk(text):
    out = []
    for b in text.encode("gbk", "replace"):
        out.append(f"\\'{b:02x}" if b >= 0x80 else chr(b))
    return "".join(out)


FONTS = {
    "HIMA": "{\\f0\\fnil\\fcharset0 Microsoft Himalaya;}",
    "BZD": "{\\f0\\fnil\\fprq2\\fcharset134 BZDBT;}",
    "TY": "{\\f0\\fnil\\fcharset134 CHINATIBET;}",
    "FZ": "{\\f0\\fnil\\fcharset134 \\'b7\\'bd\\'d5\\'fd\\'b2\\'d8\\'ce\\'c4\\'cc\\'e5;}",
    "HG": "{\\f0\\fnil\\fcharset134 JBHGZW;}",
    "HKA": "{\\f0\\fnil\\fcharset134 Sunshine_Unicode;}",
    "SAM": "{\\f0\\fnil\\fcharset2 Ededris-a;}",
}


def document(code, body):
    return ("{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl" + FONTS[code] +
            "{\\f1\\fswiss\\fcharset0 Tahoma;}{\\f2\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n"
            "{\\colortbl ;\\red0\\green0\\blue255;}\r\n\\viewkind4\\uc1\\pard\\f0\\fs48 " + body +
            "\\f1\\fs24  Latin \\cf1 blue\\cf0\\par\r\n\\f2 " + gbk("中文") + "\\f0 " + body[:40] + "\\par\r\n}\r\n")


def samples():
    """One RTF document per encoding, built from the first rows of its table."""
    docs = {}
    tibetan = (DATA / "sambhota" / "roundtrip-sample.txt").read_text(encoding="utf-8")[:120]
    docs["HIMA"] = document("HIMA", esc(tibetan.replace("\n", " ")))
    for code in ("BZD", "TY", "FZ", "HG", "HKA"):
        rows = table_rows(code)[:60:3]
        docs[code] = document(code, esc("".join(r[0] for r in rows)))
    rows = table_rows("SAM")[:40:2]
    docs["SAM"] = document("SAM", esc("".join(r[0] for r in rows)))
    return docs


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main():
    docs = samples()
    rtf_files = [p for p in sorted((DATA / "rtf").glob("*.rtf")) if p.stat().st_size <= SMALL]
    for p in rtf_files:
        write("fuzz_rtf_roundtrip", p.name, p.read_bytes())
        write("fuzz_text_reader", p.name, p.read_bytes())
    for code, rtf in docs.items():
        write("fuzz_rtf_roundtrip", f"{code}.rtf", rtf.encode("ascii"))

    # fuzz_convert: byte 0 = operation | first national code << 3 | raw << 7,
    # byte 1 = second code << 3, or for requests source | target << 3.
    national = ["BZD", "TY", "FZ", "HG", "HKA"]
    every = ["BZD", "TY", "FZ", "HG", "HKA", "HIMA", "SAM"]
    ops = {0: "HIMA", 1: None, 2: "SAM", 3: "HIMA", 4: "SAM", 5: None, 6: None}
    for op, source in ops.items():
        for i, code in enumerate(national):
            text = docs[source or code]
            write("fuzz_convert", f"op{op}-{code}.rtf", bytes([op | i << 3, ((i + 1) % 5) << 3]) + text.encode("ascii"))
            if source:
                break
    for s, src in enumerate(every):
        for d, dst in enumerate(every):
            if src != dst and (s + d) % 3 == 0:
                write("fuzz_convert", f"req-{src}-{dst}.rtf", bytes([7, s | d << 3]) + docs[src].encode("ascii"))

    for code in ("BZD", "TY", "FZ", "HG", "HKA", "SAM"):
        raw = (TABLES / f"{code}.tbl").read_bytes()
        # A table's first lines only: long seeds slow the fuzzer down.
        write("fuzz_mapping_table", f"{code}.tbl", raw[:1200])

    for p in sorted((DATA / "text").glob("*")):
        if p.stat().st_size <= SMALL:
            write("fuzz_cp936", p.name, p.read_bytes())
            write("fuzz_text_reader", p.name, p.read_bytes())
            write("fuzz_guess", p.name, p.read_bytes())
    write("fuzz_cp936", "gbk-mixed.txt", "藏文 ཀ 中文 €".encode("gbk", "replace"))

    sorting = (DATA / "sorting" / "kangyur-phrases.txt").read_text(encoding="utf-8").splitlines()
    for k in range(4):
        text = "\r\n".join(sorting[k * 40:(k + 1) * 40]) + "\r\n"
        write("fuzz_sort", f"kangyur-{k}.txt", b"\x00" + text.encode("utf-16le"))
        write("fuzz_guess", f"kangyur-{k}.txt", text.encode("utf-16le"))
    for name in ("JM", "PX", "DL"):
        raw = (TABLES / f"{name}.txt").read_bytes()
        write("fuzz_sort", f"table-{name}.txt", b"\x01" + raw[:1500])
    sample = (DATA / "sambhota" / "roundtrip-sample.txt").read_text(encoding="utf-8")[:600]
    write("fuzz_proof", "sample.txt", sample.encode("gbk", "replace"))


if __name__ == "__main__":
    main()
