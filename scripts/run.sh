#!/usr/bin/env bash
# Builds MoraImport and starts its window in the current directory, where
# the ledger database lives under Data/.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work_dir="$PWD"
"$repo/scripts/build.sh" MoraImport
build="${MORA_BUILD_DIR:-$repo/build}"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "MoraImport needs a graphical display, and none is set (DISPLAY and WAYLAND_DISPLAY are empty)." >&2
  echo "Start it from a desktop session, or under a virtual one: xvfb-run -a scripts/run.sh" >&2
  exit 1
fi

mkdir -p "$work_dir/Data"
echo "Ledger database: $work_dir/Data/iOrvanta.mdb (SQLite; created at the first import)"
cd "$work_dir"
exec "$build/window/MoraImport"
