#!/usr/bin/env bash
# Builds MoraImport (the program alone) and starts it in the current
# directory, where the ledger database lives under Data/. Arguments go to
# the program: a file to open, or --import FILE to import without a window.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work_dir="$PWD"
MORA_BUILD_TESTING=OFF "$repo/scripts/build.sh" MoraImport >&2
build="${MORA_BUILD_DIR:-$repo/build}"

mkdir -p "$work_dir/Data"
echo "Ledger database: $work_dir/Data/iOrvanta.mdb (SQLite, created at the first import; unless a ledger server is configured)" >&2
cd "$work_dir"
exec "$build/app/MoraImport" "$@"
