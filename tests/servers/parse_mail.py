"""Reads a stored message with Python's email package as a mail reader
would: decoded headers, the body text and every attachment's decoded bytes
(base64), for the JSON beside the message (smtp_sink.py)."""

import base64
import email
import email.policy
from email.header import decode_header, make_header


def uudecode(raw):
    out = bytearray()
    inside = False
    for line in raw.splitlines():
        if not inside:
            inside = line.startswith(b"begin ")
            continue
        if line.strip() == b"end":
            break
        if not line:
            continue
        out += uudecode_line(line)
    return bytes(out)


def uudecode_line(line):
    # Lenient about the filler of the last group, which need not be zero.
    n = (line[0] - 32) & 63
    values = [(c - 32) & 63 for c in line[1:]]
    data = bytearray()
    for i in range(0, len(values) - 3, 4):
        a, b, c, d = values[i:i + 4]
        data += bytes([(a << 2 | b >> 4) & 255, (b << 4 | c >> 2) & 255, (c << 6 | d) & 255])
    return bytes(data[:n])


def part_info(part):
    raw = part.get_payload(decode=False)
    raw_bytes = raw.encode("latin-1") if isinstance(raw, str) else b""
    decoded = part.get_payload(decode=True) or b""
    if b"\nbegin 666 " in b"\n" + raw_bytes:
        decoded = uudecode(raw_bytes)
    return {
        "content_type": part.get_content_type(),
        "filename": part.get_filename(),
        "description": part.get("Content-Description"),
        "payload_b64": base64.b64encode(decoded).decode("ascii"),
    }


def raw_header(data, name):
    return email.message_from_bytes(data)[name]


def parse(data):
    msg = email.message_from_bytes(data, policy=email.policy.default)
    result = {
        "subject": str(msg["Subject"]) if msg["Subject"] is not None else None,
        "from": str(msg["From"]) if msg["From"] is not None else None,
        # RFC 2047 6.2 joins adjacent encoded words; the default policy's
        # address parser puts a blank between them, so read it as words too.
        "from_words": str(make_header(decode_header(raw_header(data, "From"))))
        if msg["From"] is not None else None,
        "date": msg["Date"].datetime.isoformat() if msg["Date"] is not None and msg["Date"].datetime else None,
        "to": [str(v) for v in msg.get_all("To", [])],
        "cc": [str(v) for v in msg.get_all("Cc", [])],
        "has_bcc": msg["Bcc"] is not None,
        "content_type": msg.get_content_type(),
        "body": None,
        "parts": [],
        "defects": [type(d).__name__ for d in msg.defects],
    }
    body_part = None
    if msg.is_multipart():
        subparts = msg.get_payload()
        if subparts and subparts[0].get_content_type() == "text/plain" and subparts[0].get_filename() is None \
                and subparts[0].get_param("name") is None:
            body_part = subparts[0]
            subparts = subparts[1:]
        result["parts"] = [part_info(p) for p in subparts]
    else:
        body_part = msg
    if body_part is not None:
        raw = body_part.get_payload(decode=True) or b""
        result["body"] = raw.decode(body_part.get_content_charset() or "ascii", errors="replace")
    return result
