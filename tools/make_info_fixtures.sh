#!/usr/bin/env bash
# Writes the information-field fixtures tests/data/info_*.pdf:
#   info_texts.pdf   one page; /Title in UTF-16BE (with a character Windows-1252 lacks and one
#                    outside the basic plane), /Author in PDFDocEncoding with byte 0x92 (the
#                    trade mark sign), /Subject an indirect string, /Keywords a stream
#   info_direct.pdf  /Info written as a direct dictionary in the trailer
#   info_rc4.pdf     info_texts.pdf encrypted by qpdf, RC4 128-bit, user "user", owner "owner"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"

python3 - "$out" <<'PY'
import sys

out = sys.argv[1]


def write(name, objects, trailer_extra):
    b = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for num, body in objects:
        offsets[num] = len(b)
        b += b"%d 0 obj\n%s\nendobj\n" % (num, body)
    xref = len(b)
    top = max(offsets)
    b += b"xref\n0 %d\n0000000000 65535 f \n" % (top + 1)
    for n in range(1, top + 1):
        b += b"%010d 00000 n \n" % offsets[n]
    b += b"trailer\n<< /Size %d /Root 1 0 R %s >>\nstartxref\n%d\n%%%%EOF\n" % (top + 1, trailer_extra, xref)
    with open("%s/%s" % (out, name), "wb") as f:
        f.write(b)


content = b"BT /F1 24 Tf 72 700 Td (Information) Tj ET"
page = [
    (1, b"<< /Type /Catalog /Pages 2 0 R >>"),
    (2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>"),
    (3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Contents 4 0 R >>"),
    (4, b"<< /Length %d >>\nstream\n%s\nendstream" % (len(content), content)),
]
title = "Caf\u00e9 \u20ac \u0411 \U0001F600".encode("utf-16-be")
keywords = b"one, two"
write("info_texts.pdf", page + [
    (5, b"<< /Title <FEFF%s> /Author (Brand\x92 Corp) /Subject 6 0 R /Keywords 7 0 R >>" % title.hex().encode()),
    (6, b"(Indirect subject)"),
    (7, b"<< /Length %d >>\nstream\n%s\nendstream" % (len(keywords), keywords)),
], b"/Info 5 0 R")
write("info_direct.pdf", page, b"/Info << /Title (Direct title) /Author (Direct author) >>")
PY

qpdf --allow-weak-crypto --static-id --encrypt user owner 128 --use-aes=n -- \
  "$out/info_texts.pdf" "$out/info_rc4.pdf"
