#!/bin/sh
# Batch conversion benchmark: COUNT generated Unicode Tibetan RTF documents
# (about TOTAL_MB in all, in ten folders) converted HIMA -> BZD by
# `yigsgyur convert -r` with -j 1 and -j 2. Prints files/s, MB/s, the
# speed-up and the peak memory of each run, with the load average, since
# the numbers mean little on a busy machine without it.
#
#   bench/batch_bench.sh [YIGSGYUR] [COUNT] [TOTAL_MB] [WORKDIR]
#
# YIGSGYUR defaults to build-bench/cli/yigsgyur (build it in Release:
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build-bench --target yigsgyur).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-$here/build-bench/cli/yigsgyur}
count=${2:-1000}
total_mb=${3:-200}
work=${4:-$(mktemp -d "${TMPDIR:-/tmp}/yig-batch-bench.XXXXXX")}
[ -x "$tool" ] || { echo "no yigsgyur at $tool" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (apt-get install time)" >&2; exit 2; }
mkdir -p "$work"
echo "work folder: $work"

# --- documents ---------------------------------------------------------------
# Ten base documents from 0.5x to 1.5x the mean size, made from the bundled
# Tibetan word list by the tool itself (text2rtf: every character escaped as
# the editor writes it); the files are copies of them under their own names.
source_text="$here/tests/data/sorting/kangyur-phrases.txt"
[ -f "$source_text" ] || source_text="$here/samples/sample-hima.txt"
mean_bytes=$((total_mb * 1024 * 1024 / count))
base="$work/base"
mkdir -p "$base"
one=$("$tool" text2rtf "$source_text" -o - | wc -c)
for k in 0 1 2 3 4 5 6 7 8 9; do
  want=$((mean_bytes * (45 + 10 * k) / 90))  # 0.5x .. 1.5x the mean
  reps=$(( (want + one - 1) / one ))
  : >"$base/text$k.txt"
  i=0
  while [ "$i" -lt "$reps" ]; do cat "$source_text" >>"$base/text$k.txt"; i=$((i + 1)); done
  # Trim to the wanted share of the source (whole lines).
  lines=$(wc -l <"$base/text$k.txt")
  keep=$(( lines * want / (reps * one) ))
  head -n "$keep" "$base/text$k.txt" >"$base/cut$k.txt"
  "$tool" text2rtf "$base/cut$k.txt" -o "$base/doc$k.rtf"
done
in="$work/in"
if [ ! -d "$in" ]; then
  i=0
  while [ "$i" -lt "$count" ]; do
    folder="$in/part$((i % 10))"
    mkdir -p "$folder"
    cp "$base/doc$((i % 10)).rtf" "$folder/doc$(printf %04d "$i").rtf"
    i=$((i + 1))
  done
fi
bytes=$(du -sb "$in" | cut -f1)
files=$(find "$in" -name '*.rtf' | wc -l)
echo "documents: $files files, $((bytes / 1024 / 1024)) MB (mean $((bytes / files / 1024)) KB)"

# --- runs --------------------------------------------------------------------
run() {
  jobs=$1
  out="$work/out-j$jobs"
  rm -rf "$out"
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  /usr/bin/time -v "$tool" convert --from HIMA --to BZD -r -j "$jobs" "$in" -o "$out" \
    >"$work/run-j$jobs.out" 2>"$work/run-j$jobs.err" || true
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/run-j$jobs.err" |
         awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/run-j$jobs.err")
  cpu=$(sed -n 's/.*Percent of CPU this job got: //p' "$work/run-j$jobs.err")
  written=$(find "$out" -name '*.rtf' | wc -l)
  awk -v j="$jobs" -v f="$files" -v b="$bytes" -v w="$wall" -v r="$rss" -v c="$cpu" -v l="$load" -v n="$written" 'BEGIN {
    printf "-j %s: %.1f s, %.1f files/s, %.2f MB/s, peak memory %.0f MB, CPU %s, %d outputs, load average before: %s\n",
      j, w, f / w, b / 1048576 / w, r / 1024, c, n, l }'
  echo "$wall" >"$work/wall-j$jobs"
  tail -n 1 "$work/run-j$jobs.out"
}
run 1
run 2
awk -v a="$(cat "$work/wall-j1")" -v b="$(cat "$work/wall-j2")" 'BEGIN { printf "speed-up -j 2 over -j 1: %.2fx\n", a / b }'
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg), cores: $(nproc)"
