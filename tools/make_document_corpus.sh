#!/usr/bin/env bash
# Makes the LibreOffice half of tests/data/documents: every hand-written
# Word-style RTF (word-<enc>.rtf) is opened by LibreOffice headless and saved
# as .rtf, .docx, .doc and .odt (lo-<enc>.<ext>), the way users make such
# files. Run it again after changing a word-*.rtf and commit what it writes.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
corpus="$here/tests/data/documents"
soffice="${SOFFICE:-soffice}"
command -v "$soffice" >/dev/null || { echo "soffice not found" >&2; exit 1; }

work="$(mktemp -d /tmp/yig-corpus.XXXXXX)"
trap 'rm -rf "$work"' EXIT
profile="file://$work/profile"

for src in "$corpus"/word-*.rtf; do
  enc="$(basename "$src" .rtf)"
  enc="${enc#word-}"
  for ext in rtf docx doc odt; do
    rm -rf "$work/out" && mkdir "$work/out"
    # The input keeps an extension LibreOffice would not pick for the output,
    # so an .rtf to .rtf save cannot overwrite its own source.
    cp "$src" "$work/out-src.rtf"
    "$soffice" -env:UserInstallation="$profile" --headless --infilter="Rich Text Format" \
      --convert-to "$ext" --outdir "$work/out" "$work/out-src.rtf" >/dev/null 2>&1
    [ -s "$work/out/out-src.$ext" ] || { echo "LibreOffice wrote no $ext for $src" >&2; exit 1; }
    mv "$work/out/out-src.$ext" "$corpus/lo-$enc.$ext"
  done
  echo "lo-$enc: rtf docx doc odt"
done
