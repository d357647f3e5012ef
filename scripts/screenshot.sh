#!/usr/bin/env bash
# Takes docs/screenshot.png: the window on a virtual X display, after a
# sample file was dropped on it. Optional argument: the file to drop
# (by default the purchase sample, under a Japanese name of the kind users
# give their files).
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="$repo/docs/screenshot.png"

"$repo/scripts/build.sh" window_screenshot
build="${MORA_BUILD_DIR:-$repo/build}"

mkdir -p "$repo/docs"
work_dir="$(mktemp -d)"
trap 'rm -rf "$work_dir"' EXIT
mkdir -p "$work_dir/Data"
if [ $# -ge 1 ]; then
  sample="$(realpath "$1")"
else
  sample="$work_dir/仕入データ_2024年4月.csv"
  cp "$repo/samples/purchase-cp932.csv" "$sample"
fi

# A window manager draws the title bar the user sees. Openbox would add
# iconify and maximize buttons whatever the window asks for, so its title
# bar is set to what this window asks for: icon, title, close.
cat > "$work_dir/openbox.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <theme><name>Clearlooks</name><titleLayout>NLC</titleLayout></theme>
</openbox_config>
XML

xvfb-run -a -s "-screen 0 640x400x24 -dpi 96 -nolisten tcp" \
  env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
  bash -c '
    wm_pid=""
    if command -v openbox >/dev/null; then
      openbox --sm-disable --config-file "$1/openbox.xml" >/dev/null 2>&1 &
      wm_pid=$!
      sleep 1
    fi
    cd "$1" && "$2" "$3" "$4"
    status=$?
    [ -n "$wm_pid" ] && kill "$wm_pid"
    exit $status
  ' screenshot "$work_dir" "$build/tests/window/window_screenshot" "$sample" "$output"
echo "Screenshot: $output"
