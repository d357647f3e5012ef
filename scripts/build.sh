#!/usr/bin/env bash
# Installs what is missing, then configures and builds MoraImport in build/
# (or $MORA_BUILD_DIR). Arguments name the targets to build; none builds all.
# MORA_BUILD_TESTING=OFF builds the program alone, without the tests' needs.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
testing="${MORA_BUILD_TESTING:-ON}"
if [ "$testing" = OFF ]; then
  "$repo/scripts/install-deps.sh"
else
  "$repo/scripts/install-deps.sh" --test
fi

build="${MORA_BUILD_DIR:-$repo/build}"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING="$testing" >/dev/null
targets=()
for target in "$@"; do
  targets+=(--target "$target")
done
cmake --build "$build" -j2 "${targets[@]}"
