#!/usr/bin/env bash
# Takes docs/screenshot.png: the window on a virtual X display, after a
# sample file was dropped on it. Optional argument: the file to drop
# (by default the purchase sample, under a Japanese name of the kind users
# give their files). Then docs/history.png, docs/check.png and
# docs/ledger-place.png: the program's history window over a ledger of both
# samples and a file with two refused lines, the look before an import of a
# file that overlaps the sales sample, and its ledger-place dialog set for
# an office's server, with a keyring of its own (tests/app/with-keyring.sh).
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="$repo/docs/screenshot.png"

"$repo/scripts/build.sh" window_screenshot MoraImport
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

program="$build/app/MoraImport"
ledger_dir="$work_dir/ledger"
mkdir -p "$ledger_dir/Data" "$work_dir/config/MoraImport"
cp "$repo/samples/purchase-cp932.csv" "$ledger_dir/仕入データ_2024年4月.csv"
cp "$repo/samples/sales-utf8.csv" "$ledger_dir/販売データ_2024年4月.csv"
printf '%s\r\n' \
  '日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先' \
  '2024/06/03,文具,北星,のーと,ノート A4,N-4,A4 30枚,10,120,きたやま,北山商店' \
  '2024/13/5,文具,北星,のーと,ノート A4,N-4,A4 30枚,10,120,きたやま,北山商店' \
  '2024/06/10,文具,北星,ぼーるぺん,ボールペン 黒,B-1,0.5mm,五,80,みなみ,南書房' \
  >"$ledger_dir/販売データ_2024年6月.csv"
# The sales sample's last lines again, with new ones after them.
{
  head -n 1 "$repo/samples/sales-utf8.csv"
  tail -n 4 "$repo/samples/sales-utf8.csv"
  printf '%s\r\n' \
    '2024/06/03,周辺機器,ミナト工業,わいやれすまうす,ワイヤレスマウス,MW-300,USB レシーバー付,3,2480,かぶしきがいしゃ まるやましょうかい,株式会社　丸山商会' \
    '2024/06/04,消耗品,北斗製紙,ふせん,付箋 75mm,FS-75,黄色 10冊,6,450,いちかわこうむてん,市川工務店' \
    '2024/06/31,消耗品,北斗製紙,こぴーようし,コピー用紙 A4,PPC-A4,"500枚×5冊, 白色度93%",10,3300,,'
} >"$ledger_dir/販売データ_2024年5月-6月.csv"
cat >"$work_dir/config/MoraImport/MoraImport.conf" <<'INI'
[Ledger]
Server="host=ledger.office.example dbname=orvanta user=keiri sslmode=verify-full sslrootcert=/etc/ssl/office/ca.crt"
Schema=public
INI
(
  cd "$ledger_dir"
  for file in 仕入データ_2024年4月.csv 販売データ_2024年4月.csv 販売データ_2024年6月.csv; do
    XDG_CONFIG_HOME="$work_dir/empty-config" "$program" --import "$file" >/dev/null 2>&1 || true
  done
)

# Opens one of the program's windows, waits for it to settle, and saves it
# with its title bar. The window is found by the start of its title.
cat >"$work_dir/shoot.sh" <<'SH'
#!/usr/bin/env bash
set -euo pipefail
title="$1" output="$2"
shift 2
"$@" >/dev/null 2>&1 &
app=$!
window=""
for _ in $(seq 50); do
  # By the start of its title: the history's goes on with the ledger it shows.
  window="$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title" 'index($0, t) { print $1; exit }')" || true
  [ -n "$window" ] && break
  sleep 0.2
done
status=0
if [ -n "$window" ]; then
  sleep 1.5
  import -frame -window "$window" "$output" || status=$?
else
  echo "no window $title" >&2
  status=1
fi
kill "$app"
exit $status
SH
chmod +x "$work_dir/shoot.sh"

xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96 -nolisten tcp" \
  env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
  bash -c '
    openbox --sm-disable --config-file "$1/openbox.xml" >/dev/null 2>&1 &
    wm_pid=$!
    sleep 1
    cd "$1/ledger"
    XDG_CONFIG_HOME="$1/empty-config" "$1/shoot.sh" 取り込み履歴 "$3/docs/history.png" "$2" --history-window
    XDG_CONFIG_HOME="$1/empty-config" "$4" --check 販売データ_2024年5月-6月.csv "$3/docs/check.png"
    cp "$3/samples/patterns/sales-system.csv" 売上明細.csv
    XDG_CONFIG_HOME="$1/empty-config" "$4" --pattern 売上明細.csv "$3/docs/pattern.png"
    XDG_CONFIG_HOME="$1/config" "$3/tests/app/with-keyring.sh" "$1/shoot.sh" 台帳の場所 "$3/docs/ledger-place.png" \
      "$2" --ledger-place
    kill "$wm_pid"
  ' screenshot "$work_dir" "$program" "$repo" "$build/tests/window/window_screenshot"
echo "Screenshots: $repo/docs/history.png, $repo/docs/check.png, $repo/docs/pattern.png, $repo/docs/ledger-place.png"
