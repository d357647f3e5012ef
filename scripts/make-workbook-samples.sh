#!/usr/bin/env bash
# Makes the workbooks the tests read (tests/data/workbooks/) from one set of
# sales lines: LibreOffice writes .xlsx, .ods and .xls from a flat
# OpenDocument file; Excel's own layout (shared strings with phonetic
# guides, built-in date formats, the 1904 date system) and openpyxl's
# (inline strings, absolute part names) are written by hand. Needs
# LibreOffice Calc and python3-openpyxl, for this script only:
#   apt-get install --no-install-recommends libreoffice-calc python3-openpyxl
# The results are committed; run again only to change them.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$repo/tests/data/workbooks"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir -p "$out"
/usr/bin/python3 "$repo/scripts/workbook-samples.py" "$work" "$out"
# A profile of its own, so that a LibreOffice already open is not asked.
for format in xlsx ods xls; do
  soffice -env:UserInstallation="file://$work/profile" --headless --convert-to "$format" \
    --outdir "$work/converted" "$work/sales.fods" "$work/date1904.fods" >/dev/null
done
for format in xlsx ods xls; do
  cp "$work/converted/sales.$format" "$out/libreoffice.$format"
  cp "$work/converted/date1904.$format" "$out/libreoffice-1904.$format"
done
ls -l "$out"
