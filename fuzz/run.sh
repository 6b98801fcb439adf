#!/usr/bin/env bash
# Runs the fuzz targets one after another, each for SECONDS seconds, from the
# inputs found before (FUZZ_BUILD_DIR/corpus), the inputs kept in the
# repository (fuzz/corpus) and the seeds the tests made (SEED_DIR). An input
# that crashes, takes more than a second of processor time (the targets
# check; FUZZ_TIMEOUT, 10 s by the clock by default, catches what never
# returns), leaks or does something undefined is written to
# FUZZ_BUILD_DIR/findings/<target>/ and fails the run once every target has run.
#
#   fuzz/run.sh FUZZ_BUILD_DIR SEED_DIR SECONDS [TARGET...]
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 3 ]; then
  echo "usage: $0 FUZZ_BUILD_DIR SEED_DIR SECONDS [TARGET...]" >&2
  exit 2
fi
build=$1
seeds=$2
seconds=$3
shift 3
timeout=${FUZZ_TIMEOUT:-10}

# target     seeds      dictionary     longest input (bytes)
targets="
zipread      zip        zip.dict       65536
zipunpack    zip        zip.dict       65536
entryname    entryname  zip.dict       2048
listfile     listfile   listfile.dict  16384
settings     settings   settings.dict  16384
pagetext     pagetext   html.dict      65536
mht          mht        mht.dict       65536
search       search     -              1024
"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
# The targets that take a path write their input to a scratch folder; in
# memory, the settings file's sync to disk costs nothing.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

failed=()
while read -r target seed dict maxlen; do
  [ -n "$target" ] || continue
  if [ $# -gt 0 ] && [[ " $* " != *" $target "* ]]; then
    continue
  fi
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  log=$build/findings/$target.log
  mkdir -p "$corpus" "$findings"
  args=(-max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048 -max_len="$maxlen"
        -print_final_stats=1 -artifact_prefix="$findings/")
  [ "$dict" = - ] || args+=(-dict="$here/dict/$dict")
  folders=("$corpus" "$here/corpus/$target")
  [ -d "$seeds/$seed" ] && folders+=("$seeds/$seed")
  echo "== $target: $seconds s (log: $log)"
  if "$build/fuzz/fuzz_$target" "${args[@]}" "${folders[@]}" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE|^Done|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log"
  else
    failed+=("$target")
    tail -n 60 "$log"
    echo "== $target found a fault; the input is in $findings/"
  fi
done <<<"$targets"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzzing found nothing"
