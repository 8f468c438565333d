#!/usr/bin/env bash
# Times `kitemail-cli convert --to-jis` against nkf -j and
# iconv -f CP932 -t ISO-2022-JP on one mixed Japanese/ASCII Shift_JIS corpus:
# the CPU time (user + system, start-up included) of each, the least of
# several runs taken in turn, and checks that our output decodes back to the
# input. Target: at most 0.05 times nkf's CPU time, and less than iconv's.
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

# cpu_time CMD...: the CPU seconds (user + system) of `CMD < corpus > /dev/null`.
cpu_time() {
  python3 - "$work/corpus.sjis" "$@" <<'EOF'
import resource, subprocess, sys
before = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(sys.argv[1], "rb") as corpus, open("/dev/null", "wb") as sink:
    subprocess.run(sys.argv[2:], stdin=corpus, stdout=sink, check=True)
after = resource.getrusage(resource.RUSAGE_CHILDREN)
print(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
EOF
}

least() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

# The tools in turn, so that a busy machine weighs on all of them alike.
t_kite="" t_nkf="" t_iconv=""
for ((i = 0; i < runs; i++)); do
  t_kite=$(least "$(cpu_time "$cli" convert --to-jis)" "$t_kite")
  t_nkf=$(least "$(cpu_time nkf -j)" "$t_nkf")
  t_iconv=$(least "$(cpu_time iconv -f CP932 -t ISO-2022-JP)" "$t_iconv")
done

"$cli" convert --to-jis <"$work/corpus.sjis" >"$work/kitemail.jis"
if iconv -f ISO-2022-JP -t CP932 "$work/kitemail.jis" >"$work/back.sjis" && cmp -s "$work/back.sjis" "$work/corpus.sjis"; then
  roundtrip="decodes back to the input"
  roundtrip_ok=1
else
  roundtrip="DOES NOT decode back to the input"
  roundtrip_ok=0
fi

awk -v bytes="$bytes" -v runs="$runs" -v k="$t_kite" -v n="$t_nkf" -v i="$t_iconv" -v rt="$roundtrip" '
function row(name, t) { printf "%-40s %9.4f %10.1f %10.3f\n", name, t, bytes / 1e6 / t, k / t }
BEGIN {
  printf "corpus: %.1f MB mixed Japanese/ASCII Shift_JIS, least CPU time of %d runs\n\n", bytes / 1e6, runs
  printf "%-40s %9s %10s %10s\n", "converter", "CPU s", "MB/CPU s", "kitemail/"
  row("kitemail-cli convert --to-jis", k)
  row("nkf -j", n)
  row("iconv -f CP932 -t ISO-2022-JP", i)
  printf "\nkitemail-cli output %s\n", rt
  printf "target at most 0.05 of nkf: %s (%.3f); less than iconv: %s (%.3f)\n",
    (k <= 0.05 * n ? "met" : "MISSED"), k / n, (k < i ? "met" : "MISSED"), k / i
}'

[ "$roundtrip_ok" = 1 ]
