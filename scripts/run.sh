#!/usr/bin/env bash
# Installs what is missing, builds Kitemail Pro (Release, build/release) and
# starts it: the window when a display is there, else the command-line tool.
# Arguments that name a command go to the command-line tool:
#   scripts/run.sh count --type 0 --body-file mail.txt
# Build output goes to stderr, so standard output is the program's alone.
# Warnings are not errors here, so that a new warning (GCC 12 at -O3 has
# given false -Wrestrict ones inside std::string) never stops a user's build;
# scripts/test.sh holds the code to them.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$root/build/release

{
  "$root/scripts/deps.sh"
  mkdir -p "$root/build"
  cmake -S "$root" -B "$dir" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DKITEMAIL_WERROR=OFF -DKITEMAIL_BUILD_BENCH=OFF >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; exit 1; }
  cmake --build "$dir" -j "${KITEMAIL_JOBS:-$(nproc)}" --target kitemail-cli kitemail
} 1>&2

# The window takes no arguments but the settings switch.
wants_window=0
arg=${1:-}
case "${arg,,}" in
  "" | /setup | -setup) wants_window=1 ;;
esac

if [ "$wants_window" = 1 ]; then
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$dir/kitemail" "$@"
  fi
  echo "run.sh: no display (DISPLAY is not set), so here is the command-line tool" >&2
fi
if [ $# -eq 0 ]; then
  exec "$dir/kitemail-cli" --help
fi
exec "$dir/kitemail-cli" "$@"
