#!/usr/bin/env bash
# Builds the Debian package of MoraImport and prints its path on the last
# line. By default from a Release build of the program alone in
# build-package/; an argument names an already configured build folder to
# package from instead (the package check uses the test build).
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$repo/scripts/install-deps.sh"
if ! command -v dpkg-shlibdeps >/dev/null; then
  echo "package.sh: dpkg-shlibdeps is missing (apt install dpkg-dev)" >&2
  exit 1
fi

if [ $# -ge 1 ]; then
  build="$(realpath "$1")"
else
  build="$repo/build-package"
  cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" -j2 --target MoraImport --target package_docs

output="$build/package"
rm -rf "$output"
(cd "$build" && cpack -G DEB -B "$output" >/dev/null)
debs=("$output"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "package.sh: expected one .deb in $output" >&2
  exit 1
fi
echo "${debs[0]}"
