#!/usr/bin/env bash
# Makes the fuzz targets' first inputs from the inputs the tests build: the
# tests below run with TOMEKEEPER_SEED_DIR set, and keep every zip, list file,
# settings file, page, web archive, entry name and query they make in a folder
# of its kind (tests/support/seedcorpus.h). Nothing comes from elsewhere.
#
#   fuzz/make-seeds.sh BUILD_DIR SEED_DIR   runs them from BUILD_DIR/tests
#   fuzz/make-seeds.sh --tests              names the tests, for building them
set -euo pipefail

tests=(
  tst_zipsafety tst_zipreader tst_zipinterop tst_entryname
  tst_listfile tst_listfilereading
  tst_inifile tst_settingsroundtrip
  tst_pagetext tst_search
)

if [ "${1:-}" = --tests ]; then
  echo "${tests[*]}"
  exit 0
fi
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SEED_DIR | --tests" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seeds=$2

rm -rf "$seeds"
mkdir -p "$seeds"
seeds=$(cd "$seeds" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for test in "${tests[@]}"; do
  # A failing test still leaves its inputs; make test is where it is reported.
  if ! (cd "$work" && TOMEKEEPER_SEED_DIR="$seeds" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
          "$build/tests/$test" -silent >/dev/null 2>&1); then
    echo "make-seeds: $test failed; its seeds may be incomplete" >&2
  fi
done
for kind in "$seeds"/*/; do
  echo "make-seeds: $(basename "$kind"): $(find "$kind" -type f | wc -l) inputs"
done
