#!/usr/bin/env bash
# Builds the Debian package (see package.sh; an argument names the build
# folder to package from), lists it and checks what a desktop needs of it:
# a stripped binary, a desktop entry and AppStream metainfo that validate,
# the icon, and dependencies worked out from the binary; and what Debian
# needs of it: lintian --pedantic reporting nothing, manual pages, the
# copyright file, and a changelog and metainfo release of this version.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deb="$("$repo/scripts/package.sh" "$@" | tail -n 1)"
echo "Package: $deb"

dpkg-deb --field "$deb" Package Version Depends
dpkg-deb -c "$deb"

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

for file in usr/bin/MoraImport \
            usr/share/applications/jp.orvanta.MoraImport.desktop \
            usr/share/icons/hicolor/scalable/apps/jp.orvanta.MoraImport.svg \
            usr/share/metainfo/jp.orvanta.MoraImport.metainfo.xml \
            usr/share/man/man1/MoraImport.1.gz \
            usr/share/man/ja/man1/MoraImport.1.gz \
            usr/share/doc/moraimport/copyright \
            usr/share/doc/moraimport/changelog.gz; do
  [ -f "$root/$file" ] || fail "missing /$file"
done

if readelf -S --wide "$root/usr/bin/MoraImport" | grep -Eq '\.(symtab|debug_info)'; then
  fail "/usr/bin/MoraImport is not stripped"
else
  echo "/usr/bin/MoraImport is stripped"
fi
dpkg-deb --field "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the libraries the binary links"

echo "desktop-file-validate:"
desktop-file-validate "$root/usr/share/applications/jp.orvanta.MoraImport.desktop" || fail "desktop-file-validate"
echo "appstreamcli validate --no-net:"
appstreamcli validate --no-net "$root/usr/share/metainfo/jp.orvanta.MoraImport.metainfo.xml" \
  || fail "appstreamcli validate"

version="$(dpkg-deb --field "$deb" Version)"
changelog_version="$(zcat "$root/usr/share/doc/moraimport/changelog.gz" | dpkg-parsechangelog -l - -S Version || true)"
[ "$changelog_version" = "$version" ] || fail "the changelog's latest entry is $changelog_version, not $version"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" \
  "$root/usr/share/metainfo/jp.orvanta.MoraImport.metainfo.xml" || fail "the metainfo has no release $version with a date"

# Overrides, if ever needed, go to usr/share/lintian/overrides/moraimport,
# each with a comment that says why.
echo "lintian --pedantic:"
lintian_output="$(lintian --pedantic --fail-on error,warning,pedantic "$deb" 2>&1)" || fail "lintian"
printf '%s\n' "$lintian_output" | grep -v 'running with root privileges' || true

if [ "$failed" -ne 0 ]; then
  exit 1
fi
echo "Package check passed."
