#!/usr/bin/env bash
# Builds MoraImport and runs the whole test suite.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/build.sh"
cd "${MORA_BUILD_DIR:-$repo/build}"
ctest --output-on-failure -j2
