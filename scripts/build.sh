#!/usr/bin/env bash
# Installs what is missing, then configures and builds MoraImport in build/
# (or $MORA_BUILD_DIR). Arguments name the targets to build; none builds all.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/install-deps.sh"

build="${MORA_BUILD_DIR:-$repo/build}"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for target in "$@"; do
  targets+=(--target "$target")
done
cmake --build "$build" -j2 "${targets[@]}"
