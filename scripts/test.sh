#!/usr/bin/env bash
# Builds MoraImport and runs the whole test suite, in three steps:
#   1. the normal build (build/) and every test;
#   2. every test again, built with AddressSanitizer and
#      UndefinedBehaviorSanitizer (build-asan/): any report fails;
#   3. the fuzz targets, built with clang (build-fuzz/), each run for
#      MORA_FUZZ_SECONDS (30) seconds: any crash fails.
# MORA_QUICK=1 runs step 1 only; CI (CI=true) always runs all three.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
quick="${MORA_QUICK:-0}"
if [ "${CI:-}" = true ]; then
  quick=0
fi
fuzz_seconds="${MORA_FUZZ_SECONDS:-30}"

run_tests() {
  "$repo/scripts/build.sh"
  (cd "${MORA_BUILD_DIR:-$repo/build}" && ctest --output-on-failure -j2)
}

run_sanitized_tests() {
  local dir="$repo/build-asan"
  cmake -S "$repo" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORA_SANITIZE=ON >/dev/null
  cmake --build "$dir" -j2
  (cd "$dir" &&
    ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_string_checks=1 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --output-on-failure -j2)
}

run_fuzz_targets() {
  local dir="$repo/build-fuzz"
  cmake -S "$repo" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DMORA_FUZZ=ON >/dev/null
  cmake --build "$dir" -j2
  local seeds target work
  for seeds in "$repo"/tests/fuzz/corpus/*/; do
    target="$(basename "$seeds")"
    # New inputs go to the first folder: the build's, never the repo's seeds.
    work="$dir/corpus/$target"
    mkdir -p "$work"
    echo "Fuzzing $target for ${fuzz_seconds} s"
    if ! "$dir/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -artifact_prefix="$dir/" \
        "$work" "$seeds" >"$dir/$target.log" 2>&1; then
      tail -n 60 "$dir/$target.log"
      echo "$target failed; the input that broke it is in $dir/" >&2
      return 1
    fi
    tail -n 1 "$dir/$target.log"
  done
}

"$repo/scripts/install-deps.sh" --test
run_tests
if [ "$quick" = 1 ]; then
  echo "MORA_QUICK=1: sanitizer tests and fuzz targets skipped"
  exit 0
fi
run_sanitized_tests
run_fuzz_targets
