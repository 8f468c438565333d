#!/usr/bin/env bash
# Times `kitemail-cli convert --to-jis` against nkf -j and
# iconv -f CP932 -t ISO-2022-JP on one mixed Japanese/ASCII Shift_JIS corpus
# (best of several runs each), and checks that our output decodes back to the
# input. Target: at least 10 times nkf's throughput and faster than iconv.
#
#   bench/convert_bench.sh [MEGABYTES]      (default 32)
#
# KITEMAIL_CLI names the binary to time; without it the Release build of
# scripts/run.sh (build/release) is built and used. RUNS sets the repetitions.
set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
megabytes=${1:-32}
runs=${RUNS:-5}

for tool in nkf iconv python3; do
  command -v "$tool" >/dev/null || { echo "convert_bench: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done

cli=${KITEMAIL_CLI:-}
if [ -z "$cli" ]; then
  dir=$root/build/release
  mkdir -p "$root/build"
  cmake -S "$root" -B "$dir" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DKITEMAIL_WERROR=OFF -DKITEMAIL_BUILD_BENCH=OFF >/dev/null
  cmake --build "$dir" --target kitemail-cli >/dev/null
  cli=$dir/kitemail-cli
fi

if [ ! -x "$cli" ]; then
  echo "convert_bench: no kitemail-cli at $cli" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Lines of Japanese phrases mixed with ASCII words and numbers, as mail is
# written; only JIS X 0208 characters, no half-width kana, so that every tool
# can convert it and the result decodes back to the input.
python3 - "$megabytes" >"$work/corpus.txt" <<'EOF'
import random, sys
random.seed(20240601)
target = int(sys.argv[1]) * 1000 * 1000
japanese = ["今日は", "東京駅で", "待ち合わせ", "しましょう。", "メールを", "送信しました", "よろしく",
            "お願いします。", "明日の会議は", "午後から", "です", "ありがとうございました！", "漢字変換",
            "携帯電話", "文字数", "（確認）", "「件名」", "ー", "、", "。"]
ascii = ["OK", "10:30", "Kitemail Pro", "http://example.jp/", "2024", "mail", "PIN 1234", "e.g.", "x"]
out, size = [], 0
while size < target:
    words = []
    for _ in range(random.randint(4, 14)):
        words.append(random.choice(japanese) if random.random() < 0.7 else " " + random.choice(ascii) + " ")
    line = "".join(words) + "\r\n"
    out.append(line)
    size += len(line.encode("cp932"))
sys.stdout.write("".join(out))
EOF
iconv -f UTF-8 -t CP932 "$work/corpus.txt" >"$work/corpus.sjis"
bytes=$(stat -c %s "$work/corpus.sjis")

# best_of CMD...: the shortest wall time in seconds of `CMD < corpus > /dev/null`.
best_of() {
  local best="" t0 t1 dt i
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s.%N)
    "$@" <"$work/corpus.sjis" >/dev/null
    t1=$(date +%s.%N)
    dt=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    if [ -z "$best" ] || awk -v a="$dt" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$dt
    fi
  done
  echo "$best"
}

t_kite=$(best_of "$cli" convert --to-jis)
t_nkf=$(best_of nkf -j)
t_iconv=$(best_of iconv -f CP932 -t ISO-2022-JP)

"$cli" convert --to-jis <"$work/corpus.sjis" >"$work/kitemail.jis"
if iconv -f ISO-2022-JP -t CP932 "$work/kitemail.jis" >"$work/back.sjis" && cmp -s "$work/back.sjis" "$work/corpus.sjis"; then
  roundtrip="decodes back to the input"
  roundtrip_ok=1
else
  roundtrip="DOES NOT decode back to the input"
  roundtrip_ok=0
fi

awk -v bytes="$bytes" -v runs="$runs" -v k="$t_kite" -v n="$t_nkf" -v i="$t_iconv" -v rt="$roundtrip" '
function row(name, t) { printf "%-40s %9.4f %10.1f %9.2fx\n", name, t, bytes / 1e6 / t, t / k }
BEGIN {
  printf "corpus: %.1f MB mixed Japanese/ASCII Shift_JIS, best of %d runs\n\n", bytes / 1e6, runs
  printf "%-40s %9s %10s %10s\n", "converter", "seconds", "MB/s", "kitemail"
  row("kitemail-cli convert --to-jis", k)
  row("nkf -j", n)
  row("iconv -f CP932 -t ISO-2022-JP", i)
  printf "\nkitemail-cli output %s\n", rt
  printf "target 10x nkf: %s (%.1fx); faster than iconv: %s (%.1fx)\n",
    (n / k >= 10 ? "met" : "MISSED"), n / k, (i > k ? "met" : "MISSED"), i / k
}'

[ "$roundtrip_ok" = 1 ]
