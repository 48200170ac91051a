#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build
# (gcc), the same tests built with clang's AddressSanitizer and
# UndefinedBehaviorSanitizer, and each libFuzzer target (from that same
# build) for a few seconds on its seed corpus. Ends with
# the CTest summary of both test runs.
set -uo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=${VZ_JOBS:-$(nproc)}
fuzz_seconds=${VZ_FUZZ_SECONDS:-5}

./scripts/install-deps.sh || { echo "dependency installation failed"; exit 1; }

status=0
summary=""

# --- normal build and tests ---------------------------------------------------
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
cmake --build build -j "$jobs" || exit 1
ctest --test-dir build -j "$jobs" --output-on-failure --timeout 300 2>&1 | tee build/ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
summary+="build:      $(grep -E 'tests passed|tests failed' build/ctest.log | tail -n1)"$'\n'

# --- the same tests under ASan and UBSan, and the fuzz targets -----------------
# One clang build serves both: everything is compiled once with the
# sanitizers and libFuzzer's coverage hooks (VZ_FUZZ), the tests run from it
# and so do the fuzz targets.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVZ_FUZZ=ON -DVZ_BENCH=OFF >/dev/null || exit 1
cmake --build build-asan -j "$jobs" || exit 1
ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 600 2>&1 | tee build-asan/ctest.log
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
summary+="sanitizers: $(grep -E 'tests passed|tests failed' build-asan/ctest.log | tail -n1)"$'\n'

# --- fuzz targets, a few seconds each on their seed corpora --------------------
fuzz_pass=0
fuzz_fail=0
for f in build-asan/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  work=$(mktemp -d)
  # The seeds kept in the tree, and those the build makes (archives written
  # by the peer tools at build time).
  for seeds in "$root/fuzz/corpus/$name" "$root/build-asan/fuzz/corpus/$name"; do
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  done
  maxlen=$(sed -n 's/^max_len *= *//p' "fuzz/$name.options" 2>/dev/null)
  if (cd "$(mktemp -d)" && "$root/$f" -max_total_time="$fuzz_seconds" ${maxlen:+-max_len=$maxlen} \
        "$work" >"$root/build-asan/$name.log" 2>&1); then
    echo "fuzz $name: ok"
    fuzz_pass=$((fuzz_pass + 1))
  else
    echo "fuzz $name: FAILED (see build-asan/$name.log)"
    tail -n 40 "build-asan/$name.log"
    fuzz_fail=$((fuzz_fail + 1))
    status=1
  fi
  rm -rf "$work"
done
summary+="fuzzing:    $fuzz_pass fuzz targets ran clean, $fuzz_fail failed"$'\n'

echo
echo "== Summary =="
printf '%s' "$summary"
# The combined CTest result, last, for whoever reads only the closing lines.
total_pass=0
total_fail=0
for log in build/ctest.log build-asan/ctest.log; do
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$line" ]; then
    failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    total_fail=$((total_fail + failed))
    total_pass=$((total_pass + total - failed))
  else
    status=1
  fi
done
total_fail=$((total_fail + fuzz_fail))
total_pass=$((total_pass + fuzz_pass))
echo "$total_pass passed, $total_fail failed"
exit $status
