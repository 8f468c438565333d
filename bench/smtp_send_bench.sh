#!/usr/bin/env bash
# Sends a message with a large attachment (20 MB, then 200 MB) to a local
# SMTP server, once with the mail component and once with Python's smtplib
# (the same file as a base64 attachment), each as a whole process, and
# prints throughput and peak memory side by side. The mail component must
# be at least as fast as smtplib and stay under 30 MB whatever the size;
# the script exits non-zero when it does not.
#
#   bench/smtp_send_bench.sh [BUILD_DIR] [SIZE_MB...]
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="${1:-$root/build}"
shift || true
sizes=(20 200)
[[ $# -eq 0 ]] || sizes=("$@")
peak_limit_mb=30
tool="$build/bench/kitemail_smtp_send"
python=/usr/bin/python3
[[ -x "$tool" ]] || { echo "missing $tool: build the target kitemail_smtp_send first" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (package time)" >&2; exit 1; }

work="$(mktemp -d)"
server_pid=""
cleanup() {
    [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/mail"
"$python" "$root/tests/servers/smtp_sink.py" --dir "$work/mail" > "$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
    grep -q '^PORT ' "$work/server.out" 2>/dev/null && break
    sleep 0.05
done
port="$(sed -n 's/^PORT //p' "$work/server.out")"
[[ -n "$port" ]] || { echo "the SMTP server did not start" >&2; cat "$work/server.err" >&2; exit 1; }

cat > "$work/smtplib_send.py" <<'PY'
import email.policy, smtplib, sys
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
host, port, sender, to, path = sys.argv[1:6]
msg = MIMEMultipart()
msg["From"], msg["To"], msg["Subject"] = sender, to, "attachment"
msg.attach(MIMEText("The file is attached."))
with open(path, "rb") as f:
    part = MIMEApplication(f.read(), Name="attachment.bin")
part["Content-Disposition"] = 'attachment; filename="attachment.bin"'
msg.attach(part)
with smtplib.SMTP(host, int(port)) as s:
    s.helo("bench")
    s.sendmail(sender, [to], msg.as_bytes(policy=email.policy.SMTP))
PY

# measure NAME COMMAND...: prints a line and leaves seconds and peak MB in
# $secs and $peak_mb.
measure() {
    local name="$1"; shift
    local stats="$work/time.out"
    /usr/bin/time -v -o "$stats" "$@"
    local kb
    secs="$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$stats" | awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')"
    kb="$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$stats")"
    peak_mb="$(awk -v k="$kb" 'BEGIN { printf "%.1f", k / 1024 }')"
    awk -v n="$name" -v s="$secs" -v p="$peak_mb" -v mb="$size_mb" \
        'BEGIN { printf "%-22s %8.2f s %9.1f MB/s %9.1f MB peak\n", n, s, (s > 0 ? mb / s : 0), p }'
}

failed=0
for size_mb in "${sizes[@]}"; do
    rm -f "$work/mail"/*
    head -c "$((size_mb * 1024 * 1024))" /dev/urandom > "$work/attachment.bin"
    echo "attachment: ${size_mb} MB to 127.0.0.1:$port (aiosmtpd)"
    measure "kitemail SendMail" "$tool" 127.0.0.1 "$port" bench@example.jp to@example.jp "$work/attachment.bin"
    ours_secs="$secs" ours_peak="$peak_mb"
    measure "python smtplib" "$python" "$work/smtplib_send.py" 127.0.0.1 "$port" bench@example.jp to@example.jp "$work/attachment.bin"
    theirs_secs="$secs"

    stored="$(ls "$work/mail"/*.eml | wc -l)"
    [[ "$stored" -eq 2 ]] || { echo "expected 2 stored messages, found $stored" >&2; exit 1; }
    # Both messages must carry the file intact.
    "$python" - "$work/attachment.bin" "$work/mail"/*.eml <<'PY'
import email, email.policy, sys
want = open(sys.argv[1], "rb").read()
for path in sys.argv[2:]:
    msg = email.message_from_bytes(open(path, "rb").read(), policy=email.policy.default)
    got = [p.get_payload(decode=True) for p in msg.iter_attachments()]
    if got != [want]:
        sys.exit("attachment differs in " + path)
print("both stored messages carry the file byte for byte")
PY
    if awk -v a="$ours_secs" -v b="$theirs_secs" 'BEGIN { exit !(a > b) }'; then
        echo "slower than smtplib at ${size_mb} MB" >&2
        failed=1
    fi
    if awk -v p="$ours_peak" -v l="$peak_limit_mb" 'BEGIN { exit !(p >= l) }'; then
        echo "peak memory ${ours_peak} MB at ${size_mb} MB, the limit is ${peak_limit_mb} MB" >&2
        failed=1
    fi
done
exit "$failed"
