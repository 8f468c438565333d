#!/usr/bin/env bash
# Starts the program on a virtual display with a small sample address book
# and body, and saves pictures of the main window (docs/main-window.png), of
# the settings dialog as "/setup" opens it (docs/settings-dialog.png) and of
# the main window with the preview window beside it (docs/preview.png), of
# the history window over three sample records (docs/history-window.png), of
# the terms window beside a body marked past the limit (docs/count-terms.png)
# and of the settings dialog's page of defined terminal types
# (docs/settings-types.png).
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
wm_pid=
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null || true; wait "$wm_pid" 2>/dev/null || true; fi
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
VCount=10
PLeft=650
PTop=0
[TerminalTypes]
Name10=ドコモメール
Limit10=10000
Fixed10=0
Sender10=0
Subject10=1
Shifts10=0
Attachments10=1
FinalBreak10=1
SubjectBox10=1
PinBox10=0
AttachmentBox10=1
AnimationBox10=0
Name11=社内ページャー
Limit11=200
Fixed11=20
Sender11=3
Subject11=0
Shifts11=1
Attachments11=0
FinalBreak11=0
SubjectBox11=0
PinBox11=1
AttachmentBox11=0
AnimationBox11=0
INI
sjis >"$work/data/Signature.txt" <<'SIG'
こんにちは。今夜の待ち合わせは
駅の東口、ﾊﾝｶｸｶﾅもOKです。
①時間に遅れないでね！
SIG

# Three sent mails, as the send run records them.
mkdir -p "$work/data/mail"
record() { # FILE TO SUBJECT RESULT BODY
  printf 'To: %s\nDate: %s\nSubject: %s\nFrom: me@example.jp\nMessage-ID: %s.1_me@example.jp\nX-ktml-PhoneType: i-mode\nX-ktml-Server: smtp.example.jp\nX-ktml-Attachments: \nX-ktml-Result: %s\nX-Mailer: Kitemail Pro Version 0.50\n\n%s\n' \
    "$2" "$3" "$4" "${1%00}" "$5" "$6" | sjis >"$work/data/mail/$1.eml"
}
record 2026060506421300 taro@docomo.ne.jp "Fri, 05 June 2026 06:42:13" 待ち合わせ Succeed "今日は10時に東京駅で。"
record 2026060512000000 hanako@ezweb.ne.jp "Fri, 05 June 2026 12:00:00" 了解 Succeed "了解です！"
record 2026060518305500 taro@docomo.ne.jp "Fri, 05 June 2026 18:30:55" 遅れます "Connect Timeout Error" "10分遅れます。ごめん！"

# A display of the main window's own designed height, with room for the
# preview window on its right; black where no window is, cut off from the
# pictures. No window manager, so windows sit without a frame.
start_display() { # SIZE
  local fifo=$work/display
  rm -f "$fifo"
  Xvfb -displayfd 3 -screen 0 "$1x24" -br -nolisten tcp 3>"$fifo" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -s "$fifo" ] && break
    sleep 0.1
  done
  display=:$(head -n 1 "$fifo")
}
start_display 900x403
data=$work/data
mkdir -p "$out"

# click X Y: a left click on the virtual display, through its XTEST
# extension, as the user's mouse would.
click() {
  DISPLAY=$display python3 - "$1" "$2" <<'PY'
import ctypes, sys
x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(x11.XOpenDisplay(None))
xtst.XTestFakeMotionEvent(display, -1, int(sys.argv[1]), int(sys.argv[2]), 0)
for pressed in (1, 0):
    xtst.XTestFakeButtonEvent(display, 1, pressed, 0)
x11.XFlush(display)
x11.XCloseDisplay(display)
PY
}

# capture PICTURE ACTION [ARGS...]: the screen while the program runs with
# ARGS, after ACTION (a command, or "true"), cut to what the program shows.
capture() {
  local picture=$1 action=$2
  shift 2
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$bin" --data-dir "$data" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  sleep 2
  $action
  sleep 1
  DISPLAY=$display import -window root "$work/screen.png"
  convert "$work/screen.png" -bordercolor black -border 1 -trim +repage "$picture"
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
  echo "screenshot: $picture" >&2
}

# keys KEYSYM...: clicks into the body, then presses each key (a "+" joins
# a held modifier), through the XTEST extension.
keys() {
  DISPLAY=$display python3 - "$@" <<'PY'
import ctypes, sys, time
x11, xtst = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
d = x11.XOpenDisplay(None)
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
# A click in the body: without a window manager the keyboard follows it.
xtst.XTestFakeMotionEvent(d, -1, 400, 200, 0)
xtst.XTestFakeButtonEvent(d, 1, 1, 0)
xtst.XTestFakeButtonEvent(d, 1, 0, 0)
x11.XFlush(d)
time.sleep(0.5)
for chord in sys.argv[1:]:
    codes = [x11.XKeysymToKeycode(d, x11.XStringToKeysym(k.encode())) for k in chord.split("+")]
    for c in codes:
        xtst.XTestFakeKeyEvent(d, c, 1, 0)
    for c in reversed(codes):
        xtst.XTestFakeKeyEvent(d, c, 0, 0)
    x11.XFlush(d)
    time.sleep(0.5)
PY
}

capture "$out/main-window.png" true
# The dialog opens centred, before the main window is shown.
capture "$out/settings-dialog.png" true /setup
# The tool bar's "プレビュー" button.
capture "$out/preview.png" "click 157 36"
# The history window from the Tools menu, centred over the main window.
capture "$out/history-window.png" "keys Alt_L+t l"

# The terms window ("ツール" > "容量の内訳"), placed beside the main window,
# over a body past vodafone long mail's limit held to 140 bytes: on a wider
# display with a window manager, so both windows show their frames.
kill "$xvfb_pid" 2>/dev/null || true
wait "$xvfb_pid" 2>/dev/null || true
start_display 1010x460
DISPLAY=$display openbox >"$work/wm.log" 2>&1 &
wm_pid=$!
sleep 1
cp -r "$work/data" "$work/terms"
# The earlier runs saved the settings, [Length] among them, with 0=6000.
if grep -q '^\[Length\]' "$work/terms/Kiteml.ini"; then
  sed -i 's/^0=6000\r$/0=140\r/' "$work/terms/Kiteml.ini"
else
  printf '[Length]\r\n0=140\r\n' >>"$work/terms/Kiteml.ini"
fi
data=$work/terms
capture "$out/count-terms.png" "keys Alt_L+t b"

# The settings dialog, centred on the same display, on "端末タイプ定義"
# with the second defined type chosen.
data=$work/data
types_page() { click 509 118; sleep 1; click 339 154; }
capture "$out/settings-types.png" types_page /setup
