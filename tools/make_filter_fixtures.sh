#!/usr/bin/env bash
# Also writes the seed inputs of fuzz/fuzz_decode.cpp (dictionary text, a NUL, stream data).
# Writes tests/data/filters_objstm.pdf: a three-page PDF written here by hand, then rewritten by
# qpdf with object streams and a cross-reference stream. The three page contents keep the
# encodings written here (qpdf preserves stream data): Flate, ASCII85 over Flate, and LZW.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 - "$tmp/plain.pdf" "$root/fuzz/seeds/fuzz_decode" <<'PY'
import base64, os, sys, zlib

def lzw_encode(data):
    """LZW with 9..12-bit codes and early change, starting with a clear code."""
    table = {bytes([i]): i for i in range(256)}
    next_code, width, bits, nbits, out = 258, 9, 0, 0, bytearray()
    def put(code):
        nonlocal bits, nbits
        bits = (bits << width) | code
        nbits += width
        while nbits >= 8:
            nbits -= 8
            out.append((bits >> nbits) & 0xFF)
    put(256)
    w = b""
    for b in data:
        wb = w + bytes([b])
        if wb in table:
            w = wb
            continue
        put(table[w])
        if next_code < 4096:
            table[wb] = next_code
            next_code += 1
        # The decoder adds its entry one code later, so it widens when its next code
        # reaches 2**width - 1, the moment this side's reaches 2**width.
        if next_code == (1 << width) and width < 12:
            width += 1
        if next_code == 4095:  # table full: start again
            put(256)
            table = {bytes([i]): i for i in range(256)}
            next_code, width = 258, 9
        w = bytes([b])
    if w:
        put(table[w])
    put(257)
    if nbits:
        out.append((bits << (8 - nbits)) & 0xFF)
    return bytes(out)

def content(page):
    lines = [b"BT /F1 11 Tf 72 760 Td 14 TL"]
    for i in range(300):
        lines.append(b"(Page %d, line %d: the quick brown fox jumps over the lazy dog) '" % (page, i))
    lines.append(b"ET")
    return b"\n".join(lines) + b"\n"

streams = [
    (b"/Filter /FlateDecode", zlib.compress(content(1))),
    (b"/Filter [ /ASCII85Decode /FlateDecode ]", base64.a85encode(zlib.compress(content(2)), adobe=True)[2:]),
    (b"/Filter /LZWDecode", lzw_encode(content(3))),
]
objects = [
    b"<< /Type /Catalog /Pages 2 0 R >>",
    b"<< /Type /Pages /Kids [ 4 0 R 6 0 R 8 0 R ] /Count 3 >>",
    b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
]
for n, (filt, data) in enumerate(streams):
    objects.append(b"<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] "
                   b"/Resources << /Font << /F1 3 0 R >> >> /Contents %d 0 R >>" % (5 + 2 * n))
    objects.append(b"<< /Length %d %s >>\nstream\n" % (len(data), filt) + data + b"\nendstream")

pdf = bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
offsets = []
for i, body in enumerate(objects, 1):
    offsets.append(len(pdf))
    pdf += b"%d 0 obj\n" % i + body + b"\nendobj\n"
xref = len(pdf)
pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
for off in offsets:
    pdf += b"%010d 00000 n \n" % off
pdf += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)
open(sys.argv[1], "wb").write(pdf)

seeds = {
    "xref_png_up": (b"<< /Type /XRef /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 4 >> /W [ 1 2 1 ] >>",
                    zlib.compress(bytes([2, 1, 0, 16, 0, 2, 0, 0, 2, 0, 2, 0, 1, 0, 0]))),
    "a85_flate_parms_array": (b"<< /Filter [ /ASCII85Decode /FlateDecode ] /DecodeParms [ null << /Predictor 15 /Colors 3 /Columns 2 >> ] >>",
                              base64.a85encode(zlib.compress(bytes([4, 9, 8, 7, 6, 5, 4, 1, 1, 1, 1, 1, 1, 1])), adobe=True)[2:]),
    "tiff_dp": (b"<< /Filter /FlateDecode /DP << /Predictor 2 /Colors 3 /Columns 2 >> >>",
                zlib.compress(bytes([10, 20, 30, 1, 2, 3, 7]))),
    "lzw": (b"<< /Filter /LZWDecode >>", lzw_encode(content(1)[:3000])),
}
os.makedirs(sys.argv[2], exist_ok=True)
for name, (dictionary, data) in seeds.items():
    open(os.path.join(sys.argv[2], name), "wb").write(dictionary + b"\0" + data)
PY

qpdf --object-streams=generate --stream-data=preserve --deterministic-id "$tmp/plain.pdf" "$out/filters_objstm.pdf"
qpdf --check "$out/filters_objstm.pdf" >/dev/null
echo "wrote $out/filters_objstm.pdf"
