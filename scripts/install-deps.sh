#!/usr/bin/env bash
# Installs the Debian packages needed to build and run MoraImport; with
# --test also those of the tests, the benchmarks, the screenshot and the
# package check. Does nothing for packages that are already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # lrelease and the CMake package that runs it, for the translations.
  qt6-tools-dev qt6-l10n-tools
  libsqlite3-dev libpq-dev libssl-dev
  # Workbooks: QuaZip for the zip packages (.xlsx, .ods), freexl for .xls.
  libquazip1-qt6-dev libfreexl-dev
  # A server's password in the desktop's keyring; QtKeychain loads libsecret
  # when the program runs.
  qtkeychain-qt6-dev libsecret-1-0
  fonts-ipafont-gothic
  # Qt's own texts in Japanese: the window's buttons and file dialogs.
  qt6-translations-l10n
  # The package step: CPack's dependency search runs file and dpkg-shlibdeps.
  file dpkg-dev
)
test_packages=(
  googletest libgtest-dev libgmock-dev
  sqlite3 postgresql
  # A Secret Service of its own for the keyring's test: a session bus and gnome-keyring.
  dbus-daemon gnome-keyring
  xvfb x11-utils imagemagick openbox
  desktop-file-utils appstream lintian man-db
  # The fuzz targets: clang with libFuzzer and the sanitizer run-times.
  clang-14 libclang-rt-14-dev
)
if [ "${1:-}" = "--test" ]; then
  packages+=("${test_packages[@]}")
fi

missing=()
for pkg in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
