#!/usr/bin/env bash
# Runs a command with a Secret Service of its own: a private session bus
# and a gnome-keyring unlocked with a throwaway password, in scratch
# folders that go when the command ends. Nothing of the user's keyring is
# reached or changed.
set -euo pipefail
if [ "${1:-}" != --inside ]; then
  exec dbus-run-session -- "$0" --inside "$@"
fi
shift
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/.local/share"
export XDG_CONFIG_HOME="${XDG_CONFIG_HOME:-$scratch/home/.config}"
export XDG_RUNTIME_DIR="$scratch/run" MORA_TEST_KEYRING=1
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The daemon forks, stays on the bus, and ends with it.
printf '%s' throwaway | gnome-keyring-daemon --unlock --components=secrets >/dev/null
"$@"
