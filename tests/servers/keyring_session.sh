#!/bin/sh
# Runs a command in a private D-Bus session whose Secret Service is a GNOME
# Keyring of its own, unlocked: keyring_session.sh HOME command [args...].
# HOME keeps the keyring's file, so a later session in the same HOME finds
# what an earlier one stored. The session, the daemon with it, ends with the
# command.
set -eu
home=$1
shift
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" XDG_CONFIG_HOME="$home/config"
unset DISPLAY WAYLAND_DISPLAY
# The daemon creates the login keyring with this password, or unlocks it.
exec dbus-run-session -- sh -c '
  echo kitemail-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null || exit 125
  exec "$@"' sh "$@"
