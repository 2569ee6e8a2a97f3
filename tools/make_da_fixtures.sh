#!/usr/bin/env bash
# Writes the direct-access fixtures tests/data/da_*.pdf and tests/data/sample.pdf.
# Small PDFs are written here by hand (python3, offsets computed), the rest are made from
# them by qpdf:
#   da_classic.pdf      two pages, classic table, a stream whose /Length is a reference
#   da_tree.pdf         seven pages in a three-level tree, /MediaBox inherited from two levels
#   da_update.pdf       three pages plus an update (/Prev) that changes page 2 and frees object 7
#   da_hybrid.pdf       classic table with /XRefStm; the pages are only in that stream's object stream
#   da_wide.pdf         cross-reference stream with 8-byte offset fields
#   da_objstm.pdf       da_tree.pdf rewritten by qpdf with object and cross-reference streams
#   da_linearized.pdf   da_tree.pdf linearized by qpdf
#   da_rc4_{40,128}_{empty,user}.pdf  da_classic.pdf encrypted by qpdf with RC4, owner "owner",
#                       user password empty or "user"
#   da_rc4_128_objstm.pdf  da_tree.pdf, RC4 128-bit, user "user", catalog in an object stream
#   sample.pdf          two pages with a title and an author, for the README demo
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 - "$out" <<'PY'
import sys, zlib

out = sys.argv[1]
HEAD = b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"

def obj(num, body, gen=0):
    return b"%d %d obj\n" % (num, gen) + body + b"\nendobj\n"

def stream_body(dictionary, data):
    return dictionary + b"\nstream\n" + data + b"\nendstream"

def classic(objects, trailer, start=b""):
    """A file (or an update appended to start): objects {num: body}, one classic section."""
    data = bytearray(start or HEAD)
    offsets = {}
    for num in sorted(objects):
        offsets[num] = len(data)
        data += obj(num, objects[num])
    return data, offsets

def table(entries):
    """Classic table text from {num: line}, one subsection per run of numbers."""
    text = b"xref\n"
    nums = sorted(entries)
    i = 0
    while i < len(nums):
        j = i
        while j + 1 < len(nums) and nums[j + 1] == nums[j] + 1:
            j += 1
        text += b"%d %d\n" % (nums[i], j - i + 1)
        for n in nums[i:j + 1]:
            text += entries[n]
        i = j + 1
    return text

def used(offset, gen=0):
    return b"%010d %05d n \n" % (offset, gen)

def free(next_free, gen):
    return b"%010d %05d f \n" % (next_free, gen)

def simple(objects, trailer):
    data, offsets = classic(objects, trailer)
    entries = {0: free(0, 65535)}
    for n, off in offsets.items():
        entries[n] = used(off)
    xref = len(data)
    data += table(entries) + b"trailer\n" + trailer + b"\nstartxref\n%d\n%%%%EOF\n" % xref
    return bytes(data)

def write(name, data):
    with open(f"{out}/{name}", "wb") as f:
        f.write(data)

def page(parent, extra=b""):
    return b"<< /Type /Page /Parent %d 0 R%s >>" % (parent, extra)

content = b"BT /F1 24 Tf 72 720 Td (Hello) Tj ET"

# Two pages of different sizes; the content's /Length is an object of its own.
write("da_classic.pdf", simple({
    1: b"<< /Type /Catalog /Pages 2 0 R >>",
    2: b"<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
    3: page(2, b" /MediaBox [0 0 612 792] /Contents 5 0 R"),
    4: page(2, b" /MediaBox [0 0 595 842]"),
    5: stream_body(b"<< /Length 6 0 R >>", content),
    6: b"%d" % len(content),
    7: b"<< /Title (Classic) /Producer (make_da_fixtures) >>",
}, b"<< /Size 8 /Root 1 0 R /Info 7 0 R /ID [<00112233445566778899aabbccddeeff> <00112233445566778899aabbccddeeff>] >>"))

write("sample.pdf", simple({
    1: b"<< /Type /Catalog /Pages 2 0 R >>",
    2: b"<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>",
    3: page(2, b" /Contents 5 0 R"),
    4: page(2, b" /MediaBox [0 0 595 842] /Contents 5 0 R"),
    5: stream_body(b"<< /Length %d >>" % len(content), content),
    6: b"<< /Title (Parvex sample) /Author (Parvex developers) /Producer (make_da_fixtures) >>",
}, b"<< /Size 7 /Root 1 0 R /Info 6 0 R >>"))

# Root (7 pages, MediaBox 612x792) -> [Pages A (3, MediaBox 595x842), Page, Pages B (3)];
# B -> [Page, Pages C (2), ]; pages of C inherit from the root. One page writes its box
# upside down, one is rotated.
write("da_tree.pdf", simple({
    1: b"<< /Type /Catalog /Pages 2 0 R >>",
    2: b"<< /Type /Pages /Kids [3 0 R 7 0 R 8 0 R] /Count 7 /MediaBox [0 0 612 792] >>",
    3: b"<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R 6 0 R] /Count 3 /MediaBox [0 0 595 842] >>",
    4: page(3),
    5: page(3, b" /MediaBox [612 792 0 0]"),
    6: page(3, b" /Rotate 90"),
    7: page(2, b" /MediaBox [0 0 200 300]"),
    8: b"<< /Type /Pages /Parent 2 0 R /Kids [9 0 R 10 0 R] /Count 3 >>",
    9: page(8, b" /MediaBox [10 20 110 220]"),
    10: b"<< /Type /Pages /Parent 8 0 R /Kids [11 0 R 12 0 R] /Count 2 >>",
    11: page(10),
    12: page(10, b" /MediaBox [0 0 1000.5 500.25]"),
}, b"<< /Size 13 /Root 1 0 R >>"))

# Base: three pages of 612x792 and an unused object 7. Update: page 2 (object 4) gets
# 300x400, object 7 is freed, a new /Info is added.
base_objects = {
    1: b"<< /Type /Catalog /Pages 2 0 R >>",
    2: b"<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 /MediaBox [0 0 612 792] >>",
    3: page(2),
    4: page(2),
    5: page(2),
    6: b"<< /Title (Base) >>",
    7: b"<< /Note (freed by the update) >>",
}
data, offsets = classic(base_objects, None)
entries = {0: free(0, 65535)}
for n, off in offsets.items():
    entries[n] = used(off)
base_xref = len(data)
data += table(entries) + b"trailer\n<< /Size 8 /Root 1 0 R /Info 6 0 R >>\nstartxref\n%d\n%%%%EOF\n" % base_xref
update = {4: page(2, b" /MediaBox [0 0 300 400]"), 8: b"<< /Title (Updated) >>"}
data, offsets = classic(update, None, bytes(data))
entries = {0: free(7, 65535), 7: free(0, 1)}
for n, off in offsets.items():
    entries[n] = used(off)
xref = len(data)
data += table(entries) + (b"trailer\n<< /Size 9 /Root 1 0 R /Info 8 0 R /Prev %d >>\nstartxref\n%d\n%%%%EOF\n"
                          % (base_xref, xref))
write("da_update.pdf", bytes(data))

# Hybrid: catalog and page tree root are plain objects; the two pages live in object
# stream 5, which only the /XRefStm stream (object 6) lists: the classic table leaves them out.
pages = [page(2, b" /MediaBox [0 0 612 792]"), page(2, b" /MediaBox [0 0 420 595]")]
head, body = b"", b""
for num, text in zip((3, 4), pages):
    head += b"%d %d " % (num, len(body))
    body += text + b"\n"
objstm = zlib.compress(head + body)
data = bytearray(HEAD)
offs = {}
for num, text in ((1, b"<< /Type /Catalog /Pages 2 0 R >>"),
                  (2, b"<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>"),
                  (5, stream_body(b"<< /Type /ObjStm /N 2 /First %d /Filter /FlateDecode /Length %d >>"
                                  % (len(head), len(objstm)), objstm))):
    offs[num] = len(data)
    data += obj(num, text)
offs[6] = len(data)
rows = b""
for n in range(0, 7):
    if n in (3, 4):
        rows += bytes([2]) + (5).to_bytes(2, "big") + bytes([n - 3])
    elif n == 0:
        rows += bytes([0]) + (0).to_bytes(2, "big") + bytes([255])
    else:
        rows += bytes([1]) + offs[n].to_bytes(2, "big") + bytes([0])
data += obj(6, stream_body(b"<< /Type /XRef /Size 7 /W [1 2 1] /Length %d >>" % len(rows), rows))
entries = {0: free(0, 65535), 1: used(offs[1]), 2: used(offs[2]), 5: used(offs[5]), 6: used(offs[6])}
xref = len(data)
data += table(entries) + (b"trailer\n<< /Size 7 /Root 1 0 R /XRefStm %d >>\nstartxref\n%d\n%%%%EOF\n"
                          % (offs[6], xref))
write("da_hybrid.pdf", bytes(data))

# Cross-reference stream only, with /W [1 8 2]: offsets in eight-byte fields.
data = bytearray(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
offs = {}
for num, text in ((1, b"<< /Type /Catalog /Pages 2 0 R >>"),
                  (2, b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>"),
                  (3, page(2, b" /MediaBox [0 0 842 1191]"))):
    offs[num] = len(data)
    data += obj(num, text)
offs[4] = len(data)
rows = bytes([0]) + (0).to_bytes(8, "big") + (65535).to_bytes(2, "big")
for n in (1, 2, 3, 4):
    rows += bytes([1]) + offs[n].to_bytes(8, "big") + (0).to_bytes(2, "big")
packed = zlib.compress(rows)
data += obj(4, stream_body(b"<< /Type /XRef /Size 5 /W [1 8 2] /Root 1 0 R /Filter /FlateDecode /Length %d >>"
                           % len(packed), packed))
data += b"startxref\n%d\n%%%%EOF\n" % offs[4]
write("da_wide.pdf", bytes(data))
PY

qpdf=(qpdf --static-id)
"${qpdf[@]}" --object-streams=generate "$out/da_tree.pdf" "$out/da_objstm.pdf"
"${qpdf[@]}" --linearize "$out/da_tree.pdf" "$out/da_linearized.pdf"
for bits in 40 128; do
  aes=(); [ "$bits" = 128 ] && aes=(--use-aes=n)
  "${qpdf[@]}" --allow-weak-crypto --encrypt "" owner "$bits" "${aes[@]}" -- "$out/da_classic.pdf" "$out/da_rc4_${bits}_empty.pdf"
  "${qpdf[@]}" --allow-weak-crypto --encrypt user owner "$bits" "${aes[@]}" -- "$out/da_classic.pdf" "$out/da_rc4_${bits}_user.pdf"
done
"${qpdf[@]}" --allow-weak-crypto --object-streams=generate --encrypt user owner 128 --use-aes=n -- \
  "$out/da_tree.pdf" "$out/da_rc4_128_objstm.pdf"

for f in "$out"/da_*.pdf "$out/sample.pdf"; do
  qpdf --check --password=owner "$f" >/dev/null 2>&1 || { echo "qpdf rejects $f" >&2; exit 1; }
done
echo "direct-access fixtures written to $out"
