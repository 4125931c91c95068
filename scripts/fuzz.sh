#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a given time.
#
#   scripts/fuzz.sh SECONDS [--merge] [--jobs N] [TARGET...]
#
# SECONDS    how long each target runs (20 for a quick pass, 1800 for a long one)
# --merge    afterwards, add the inputs that found new coverage to fuzz/corpus/<target>/
# --jobs N   run N targets at the same time (default 1)
# TARGET     fuzz_* names to run (default: all)
#
# Seeds are read from fuzz/corpus/<target>/; new inputs go to
# $FUZZ_BUILD_DIR/corpus/<target>/ and crash, leak and timeout inputs to
# $FUZZ_BUILD_DIR/findings/<target>/. The script exits non-zero when any target
# finds something; the finding's file stays there to be replayed with
#   $FUZZ_BUILD_DIR/fuzz/<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -lt 1 || ! $1 =~ ^[0-9]+$ ]]; then
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
SECONDS_EACH=$1
shift
MERGE=0
JOBS=1
TARGETS=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --merge) MERGE=1 ;;
    --jobs) JOBS=$2; shift ;;
    *) TARGETS+=("$1") ;;
  esac
  shift
done

BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
CXX_FOR_FUZZ=${FUZZ_CXX:-clang++}
if ! command -v "$CXX_FOR_FUZZ" >/dev/null; then
  echo "fuzz.sh: $CXX_FOR_FUZZ not found (install clang)" >&2
  exit 1
fi
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER="$CXX_FOR_FUZZ" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DYIGSGYUR_FUZZ=ON -DYIGSGYUR_GUI=OFF -DYIGSGYUR_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target yig_fuzz_all -j"$(nproc)"

if [[ ${#TARGETS[@]} -eq 0 ]]; then
  for src in fuzz/fuzz_*.cpp; do
    name=$(basename "$src" .cpp)
    TARGETS+=("$name")
  done
fi

# Leaks count as findings; the fuzzer's own memory limit keeps runaway inputs in check.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

run_one() {
  local name=$1
  local exe="$BUILD/fuzz/$name"
  local seeds="fuzz/corpus/$name"
  local work="$BUILD/corpus/$name"
  local findings="$BUILD/findings/$name"
  local log="$BUILD/logs/$name.log"
  mkdir -p "$work" "$findings" "$(dirname "$log")" "$seeds"
  local dict=()
  [[ -f fuzz/$name.dict ]] && dict=(-dict="fuzz/$name.dict")
  local status=0
  echo running >"$BUILD/logs/$name.status"
  "$exe" "$work" "$seeds" "${dict[@]}" -max_total_time="$SECONDS_EACH" -timeout=30 -rss_limit_mb=2560 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?
  local execs cov
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1 || true)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*' || true)
  if [[ $status -ne 0 ]]; then
    echo "FINDING  $name (exit $status): see $log and $findings/"
    grep -m1 -E 'ERROR|SUMMARY|invariant|runtime error' "$log" || true
    echo finding >"$BUILD/logs/$name.status"
    return 1
  fi
  echo "ok       $name: ${execs:-?} executions, cov ${cov:-?} in ${SECONDS_EACH}s"
  if [[ $MERGE -eq 1 ]]; then
    "$exe" -merge=1 "$seeds" "$work" >>"$log" 2>&1 || echo "merge of $name failed, see $log"
  fi
  echo ok >"$BUILD/logs/$name.status"
}

failed=0
for name in "${TARGETS[@]}"; do
  if [[ ! -x "$BUILD/fuzz/$name" ]]; then
    echo "fuzz.sh: no target $name" >&2
    failed=1
    continue
  fi
  run_one "$name" &
  while [[ $(jobs -rp | wc -l) -ge $JOBS ]]; do wait -n || true; done
done
wait || true
for name in "${TARGETS[@]}"; do
  [[ -f "$BUILD/logs/$name.status" && $(cat "$BUILD/logs/$name.status") == ok ]] || failed=1
done
exit $failed
