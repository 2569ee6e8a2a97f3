#!/usr/bin/env bash
# Makes the synthetic inputs of bench_crypt.sh (never committed). Usage:
#   bench/make_crypt_inputs.sh [out-dir]
# mixed.pdf      about 50 MB, 50,000 objects: pages with content streams (Flate), resources,
#                annotations with strings, and an image stream on every 25th page.
# images.pdf     about 500 MB, mostly large uncompressed image streams (100 of 5 MB).
# many.pdf       about 75 MB, 500,000 small objects (annotation dictionaries with strings).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/bench-inputs}
mkdir -p "$dir"

python3 - "$dir" <<'PY'
import os, random, sys, zlib

out = sys.argv[1]
rng = random.Random(1)


class Writer:
    def __init__(self, path):
        self.f = open(path, "wb", buffering=1 << 20)
        self.pos = 0
        self.off = {}
        self.put(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")

    def put(self, data):
        self.f.write(data)
        self.pos += len(data)

    def obj(self, num, body, stream=None):
        self.off[num] = self.pos
        self.put(b"%d 0 obj\n" % num)
        self.put(body)
        if stream is not None:
            self.put(b"\nstream\n")
            self.put(stream)
            self.put(b"\nendstream")
        self.put(b"\nendobj\n")

    def finish(self, root, info=None):
        top = max(self.off)
        xref = self.pos
        self.put(b"xref\n0 %d\n0000000000 65535 f \n" % (top + 1))
        for n in range(1, top + 1):
            self.put(b"%010d 00000 n \n" % self.off[n] if n in self.off else b"0000000000 00001 f \n")
        extra = b" /Info %d 0 R" % info if info else b""
        self.put(b"trailer\n<< /Size %d /Root %d 0 R%s >>\nstartxref\n%d\n%%%%EOF\n" % (top + 1, root, extra, xref))
        self.f.close()


def text_content(i, lines):
    ops = [b"BT /F1 10 Tf 72 %d Td (Line %d of page %d: the quick brown fox jumps over the lazy dog) Tj ET" % (
        760 - 12 * k, k, i) for k in range(lines)]
    return zlib.compress(b"\n".join(ops), 6)


def pages_tree(w, first_page_obj, page_objs, pages_num):
    kids = b" ".join(b"%d 0 R" % p for p in page_objs)
    w.obj(pages_num, b"<< /Type /Pages /Kids [ %s ] /Count %d >>" % (kids, len(page_objs)))


def mixed(path):
    w = Writer(path)
    pages = 12500
    font = 3
    w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    w.obj(font, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
    n = 4
    page_objs = []
    image = bytes(rng.getrandbits(8) for _ in range(60000))
    for i in range(pages):
        page, content, annot, res = n, n + 1, n + 2, n + 3
        n += 4
        xobj = b""
        if i % 25 == 0:
            img = n
            n += 1
            w.obj(img, b"<< /Type /XObject /Subtype /Image /Width 200 /Height 100 /ColorSpace /DeviceRGB "
                       b"/BitsPerComponent 8 /Length %d >>" % len(image), image)
            xobj = b" /XObject << /Im0 %d 0 R >>" % img
        data = text_content(i, 76)
        w.obj(content, b"<< /Length %d /Filter /FlateDecode >>" % len(data), data)
        w.obj(annot, b"<< /Type /Annot /Subtype /Text /Rect [ 10 10 50 50 ] /Contents (Note on page %d) "
                     b"/T (Reviewer) >>" % i)
        w.obj(res, b"<< /Font << /F1 %d 0 R >>%s >>" % (font, xobj))
        w.obj(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] /Resources %d 0 R /Contents %d 0 R "
                    b"/Annots [ %d 0 R ] >>" % (res, content, annot))
        page_objs.append(page)
    pages_tree(w, 4, page_objs, 2)
    w.finish(1)


def images(path):
    w = Writer(path)
    w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    n = 3
    page_objs = []
    block = os.urandom(1 << 20)
    for i in range(100):
        page, content, img = n, n + 1, n + 2
        n += 3
        data = (block[i % 7:] + block[:i % 7]) * 5
        w.obj(img, b"<< /Type /XObject /Subtype /Image /Width 1280 /Height 1365 /ColorSpace /DeviceRGB "
                   b"/BitsPerComponent 8 /Length %d >>" % len(data), data)
        c = b"q 612 0 0 792 0 0 cm /Im0 Do Q"
        w.obj(content, b"<< /Length %d >>" % len(c), c)
        w.obj(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] /Resources << /XObject << /Im0 %d 0 R >> >> "
                    b"/Contents %d 0 R >>" % (img, content))
        page_objs.append(page)
    pages_tree(w, 3, page_objs, 2)
    w.finish(1)


def many(path):
    w = Writer(path)
    w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    per_page = 100
    count = 500000
    n = 3
    page_objs = []
    while n < count:
        page, content = n, n + 1
        n += 2
        annots = list(range(n, n + per_page))
        n += per_page
        c = b"BT /F1 12 Tf 72 720 Td (Page) Tj ET"
        w.obj(content, b"<< /Length %d >>" % len(c), c)
        for a in annots:
            w.obj(a, b"<< /Type /Annot /Subtype /Text /Rect [ 10 10 50 50 ] /Contents (Small note %d) /NM (n%d) >>" % (a, a))
        refs = b" ".join(b"%d 0 R" % a for a in annots)
        w.obj(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] /Contents %d 0 R /Annots [ %s ] >>" % (
            content, refs))
        page_objs.append(page)
    pages_tree(w, 3, page_objs, 2)
    w.finish(1)


mixed(os.path.join(out, "mixed.pdf"))
images(os.path.join(out, "images.pdf"))
many(os.path.join(out, "many.pdf"))
for name in ("mixed.pdf", "images.pdf", "many.pdf"):
    print("%-12s %8.1f MB" % (name, os.path.getsize(os.path.join(out, name)) / 1e6))
PY
