#!/usr/bin/env bash
# Starts the program on a virtual display with a small sample address book
# and body, and saves pictures of the main window (docs/main-window.png) and
# of the settings dialog as "/setup" opens it (docs/settings-dialog.png).
#   scripts/screenshot.sh [OUTPUT_DIR]
# KITEMAIL_BIN names an already built window program; otherwise it is built
# (Release, build/release) as scripts/run.sh does.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/docs}
bin=${KITEMAIL_BIN:-}

if [ -z "$bin" ]; then
  dir=$root/build/release
  {
    "$root/scripts/deps.sh"
    mkdir -p "$root/build"
    cmake -S "$root" -B "$dir" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DKITEMAIL_BUILD_BENCH=OFF >"$dir.configure.log" 2>&1 ||
      { cat "$dir.configure.log"; exit 1; }
    cmake --build "$dir" -j "${KITEMAIL_JOBS:-$(nproc)}" --target kitemail
  } 1>&2
  bin=$dir/kitemail
fi

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Sample data: the settings file and the signature are Shift_JIS with CR LF.
mkdir -p "$work/data"
sjis() { iconv -f UTF-8 -t CP932 | sed 's/$/\r/'; }
sjis >"$work/data/Kiteml.ini" <<'INI'
[TEL]
How=3
0=山田太郎,taro@docomo.ne.jp,,3,-1
1=佐藤花子,hanako@ezweb.ne.jp,,6,-1
2=鈴木一郎,ichiro@t.vodafone.ne.jp,,0,0
[MyAddress]
How=1
0=me@example.jp
[Configuration]
19=1
22=1
INI
sjis >"$work/data/Signature.txt" <<'SIG'
こんにちは。今夜の待ち合わせは
駅の東口、ﾊﾝｶｸｶﾅもOKです。
①時間に遅れないでね！
SIG

# A display of the main window's own designed size, black where no window
# is; no window manager, so windows sit without a frame.
fifo=$work/display
Xvfb -displayfd 3 -screen 0 640x403x24 -br -nolisten tcp 3>"$fifo" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -s "$fifo" ] && break
  sleep 0.1
done
display=:$(head -n 1 "$fifo")
mkdir -p "$out"

# capture PICTURE [ARGS...]: the screen while the program runs with ARGS,
# cut to what the program shows.
capture() {
  local picture=$1
  shift
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$bin" --data-dir "$work/data" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  sleep 2
  DISPLAY=$display import -window root "$work/screen.png"
  convert "$work/screen.png" -bordercolor black -border 1 -trim +repage "$picture"
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
  echo "screenshot: $picture" >&2
}

capture "$out/main-window.png"
# The dialog opens centred, before the main window is shown.
capture "$out/settings-dialog.png" /setup
