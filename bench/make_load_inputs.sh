#!/usr/bin/env bash
# Makes the synthetic inputs of bench_load (never committed). Usage:
#   bench/make_load_inputs.sh [out-dir] [pages] [megabytes]
# many_objects.pdf   `pages` pages (default 100000) in a tree of /Pages nodes, each page with
#                    its own content stream and resources: about 3 objects per page, classic table.
# many_objstm.pdf    the same rewritten by qpdf with object streams and a cross-reference stream.
# big_file.pdf       a few pages drawing uncompressed image streams, `megabytes` MB in all
#                    (default 300).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/bench-inputs}
pages=${2:-100000}
megabytes=${3:-300}
mkdir -p "$dir"

python3 - "$dir" "$pages" "$megabytes" <<'PY'
import os, sys

out, pages, megabytes = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])


class Writer:
    def __init__(self, path):
        self.f = open(path, "wb")
        self.pos = 0
        self.off = {}
        self.put(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")

    def put(self, data):
        self.f.write(data)
        self.pos += len(data)

    def obj(self, num, body):
        self.off[num] = self.pos
        self.put(b"%d 0 obj\n" % num)
        self.put(body)
        self.put(b"\nendobj\n")

    def finish(self, root):
        top = max(self.off)
        xref = self.pos
        self.put(b"xref\n0 %d\n0000000000 65535 f\r\n" % (top + 1))
        self.put(b"".join(b"%010d 00000 n\r\n" % self.off[n] if n in self.off else b"0000000000 00000 f\r\n"
                          for n in range(1, top + 1)))
        self.put(b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (top + 1, root, xref))
        self.f.close()


def page_tree(w, leaves, first_free, fanout=64):
    """Balanced /Pages nodes over the given page numbers; returns (root number, next free number)."""
    parent_of = {}
    level = leaves
    nxt = first_free
    nodes = []
    while len(level) > 1 or not nodes:
        groups = [level[i:i + fanout] for i in range(0, len(level), fanout)]
        new_level = []
        for g in groups:
            num = nxt
            nxt += 1
            for kid in g:
                parent_of[kid] = num
            nodes.append((num, g))
            new_level.append(num)
        level = new_level
    counts = {}
    for num, kids in nodes:
        counts[num] = sum(counts.get(k, 1) for k in kids)
    root = level[0]
    for num, kids in nodes:
        parent = b" /Parent %d 0 R" % parent_of[num] if num in parent_of else b" /MediaBox [0 0 612 792]"
        w.obj(num, b"<< /Type /Pages /Count %d /Kids [%s]%s >>"
              % (counts[num], b" ".join(b"%d 0 R" % k for k in kids), parent))
    return root, nxt, parent_of


# Many objects: page n has page object, content stream and a font dictionary.
w = Writer(f"{out}/many_objects.pdf")
leaves = [2 + 3 * i for i in range(pages)]
first_free = 2 + 3 * pages
parent_of = {}
# The tree is written first so every page knows its parent.
tmp_nodes = []
root, nxt, parent_of = page_tree(w, leaves, first_free)
for i, page in enumerate(leaves):
    text = b"BT /F1 12 Tf 72 720 Td (Page %d) Tj ET" % (i + 1)
    w.obj(page, b"<< /Type /Page /Parent %d 0 R /Contents %d 0 R /Resources << /Font << /F1 %d 0 R >> >> >>"
          % (parent_of[page], page + 1, page + 2))
    w.obj(page + 1, b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text))
    w.obj(page + 2, b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>")
w.obj(1, b"<< /Type /Catalog /Pages %d 0 R >>" % root)
w.finish(1)

# A big file: four pages, each drawing an uncompressed image of a quarter of the bytes.
w = Writer(f"{out}/big_file.pdf")
images = 4
each = megabytes * 1024 * 1024 // images
side = int((each // 3) ** 0.5)
chunk = os.urandom(1 << 20)
for i in range(images):
    page, contents, image = 10 + 3 * i, 11 + 3 * i, 12 + 3 * i
    draw = b"q 612 0 0 792 0 0 cm /Im0 Do Q"
    w.obj(page, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R "
          b"/Resources << /XObject << /Im0 %d 0 R >> >> >>" % (contents, image))
    w.obj(contents, b"<< /Length %d >>\nstream\n%s\nendstream" % (len(draw), draw))
    size = side * side * 3
    w.off[image] = w.pos
    w.put(b"%d 0 obj\n<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace /DeviceRGB "
          b"/BitsPerComponent 8 /Length %d >>\nstream\n" % (image, side, side, size))
    left = size
    while left:
        n = min(left, len(chunk))
        w.put(chunk[:n])
        left -= n
    w.put(b"\nendstream\nendobj\n")
w.obj(2, b"<< /Type /Pages /Count %d /Kids [%s] >>" % (images, b" ".join(b"%d 0 R" % (10 + 3 * i) for i in range(images))))
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.finish(1)
PY

qpdf --object-streams=generate "$dir/many_objects.pdf" "$dir/many_objstm.pdf"
ls -l "$dir"
