#!/usr/bin/env bash
# Writes the document-model fixtures tests/data/doc_*.pdf. Most are written here by hand
# (a small Python writer that computes the offsets), each to show one way a file locates
# its objects; doc_linearized.pdf and doc_objstreams.pdf are doc_tree.pdf rewritten by qpdf.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"

python3 - "$out" <<'PY'
import struct, sys, zlib

out = sys.argv[1]
HEADER = b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"


class Writer:
    def __init__(self, header=HEADER):
        self.b = bytearray(header)
        self.off = {}

    def obj(self, num, body, gen=0):
        self.off[num] = len(self.b)
        self.b += b"%d %d obj\n%s\nendobj\n" % (num, gen, body)
        return self.off[num]

    def stream(self, num, data, extra=b"", length=None):
        length = b"%d" % len(data) if length is None else length
        return self.obj(num, b"<< /Length %s%s >>\nstream\n%s\nendstream" % (length, extra, data))

    def xref(self, subsections):
        """subsections: [(first, [(offset, gen, kind)])]; entries are exactly 20 bytes."""
        pos = len(self.b)
        self.b += b"xref\n"
        for first, entries in subsections:
            self.b += b"%d %d\n" % (first, len(entries))
            for offset, gen, kind in entries:
                self.b += b"%010d %05d %s\r\n" % (offset, gen, kind)
        return pos

    def table(self, numbers, free=()):
        """One subsection from 0 over the given objects; numbers in free are marked free."""
        top = max(numbers)
        entries = [(0, 65535, b"f")]
        for n in range(1, top + 1):
            if n in free or n not in self.off:
                entries.append((0, 0, b"f"))
            else:
                entries.append((self.off[n], 0, b"n"))
        return self.xref([(0, entries)])

    def trailer(self, body, xref_pos, keyword=b"trailer\n"):
        self.b += keyword + body + b"\nstartxref\n%d\n%%%%EOF\n" % xref_pos

    def xref_stream(self, num, rows, widths, index=None, extra=b""):
        """A compressed cross-reference stream object; rows are (type, field2, field3)."""
        data = b"".join(b"".join(v.to_bytes(w, "big") for v, w in zip(row, widths) if w) for row in rows)
        packed = zlib.compress(data)
        idx = b"" if index is None else b" /Index [%s]" % b" ".join(b"%d" % i for i in index)
        size = max(num + 1, (index[-2] + index[-1]) if index else len(rows))
        pos = self.obj(num, b"<< /Type /XRef /Size %d /W [%s]%s /Filter /FlateDecode /Length %d%s >>\nstream\n%s\nendstream"
                       % (size, b" ".join(b"%d" % w for w in widths), idx, len(packed), extra, packed))
        return pos

    def save(self, name):
        with open(f"{out}/{name}", "wb") as f:
            f.write(self.b)


def content(text):
    return text.encode()


# doc_tree.pdf: nested page tree with inherited, reversed, indirect and cropped media boxes,
# a content stream whose /Length is a reference, and a page with /Rotate.
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 5 /Kids [3 0 R 6 0 R 11 0 R 12 0 R] /MediaBox [0 0 595 842] >>")
w.obj(3, b"<< /Type /Pages /Count 2 /Parent 2 0 R /Kids [4 0 R 5 0 R] >>")
w.obj(4, b"<< /Type /Page /Parent 3 0 R /Contents 7 0 R >>")
w.obj(5, b"<< /Type /Page /Parent 3 0 R /MediaBox [612 792 0 0] >>")
w.obj(6, b"<< /Type /Page /Parent 2 0 R /MediaBox 10 0 R /CropBox [0 0 100 100] >>")
data = content("BT /F1 12 Tf 72 720 Td (Hello) Tj ET")
w.stream(7, data, length=b"8 0 R")
w.obj(8, b"%d" % len(data))
w.obj(10, b"[0 0 300.5 400]")
w.obj(11, b"<< /Type /Page /Parent 2 0 R /MediaBox [-100 -50 200 250] /Rotate 90 >>")
w.obj(12, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 1224 792] >>")
w.trailer(b"<< /Size 13 /Root 1 0 R >>", w.table(range(1, 13)))
w.save("doc_tree.pdf")

# doc_update.pdf: an incremental update. The update gives page 1 a new media box (the newest
# entry wins) and marks object 5 free although the first section lists it in use. Some
# trailing bytes follow the last %%EOF.
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 200] >>")
w.obj(4, b"(first)")
w.obj(5, b"(freed later)")
first = w.table(range(1, 6))
w.trailer(b"<< /Size 6 /Root 1 0 R >>", first)
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>")
w.obj(4, b"(second)")
second = w.xref([(0, [(0, 65535, b"f")]), (3, [(w.off[3], 0, b"n"), (w.off[4], 0, b"n"), (0, 1, b"f")])])
w.trailer(b"<< /Size 6 /Root 1 0 R /Prev %d >>" % first, second)
w.b += b"\n% trailing bytes after the end marker\n" * 4
w.save("doc_update.pdf")

# doc_edges.pdf: objects that load as null or without data. Objects 3 and 4 share one
# offset; the entry of object 8 points at a stray text of object 7 (listed elsewhere);
# object 9's /Length is a reference to a
# number; object 11's /Length names a missing object; object 13's "stream" keyword is
# followed by a blank before the end-of-line.
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [6 0 R] >>")
w.obj(3, b"(three)")
w.obj(6, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] >>")
w.obj(7, b"(seven)")
stray = len(w.b)
w.b += b"7 0 obj\n(stray seven)\nendobj\n"
payload = bytes(range(256)) * 4 + b"tail"
w.stream(9, payload, length=b"10 0 R")
w.obj(10, b"%d" % len(payload))
w.stream(11, b"data of a stream without a length", length=b"99 0 R")
w.obj(13, b"<< /Length 4 >>\nstream \nabcd\nendstream")
w.off[4] = w.off[3]
w.off[8] = stray
w.trailer(b"<< /Size 14 /Root 1 0 R >>", w.table(range(1, 14)))
w.save("doc_edges.pdf")

# doc_xrefstream.pdf: a cross-reference stream with /W [1 4 2] and two /Index ranges, an
# object stream holding objects 4 and 5, an entry of object 6 whose index in that stream
# holds object 5, and an entry of an unknown type 7 that shifts nothing.
w = Writer(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 500] /Resources << /X 4 0 R >> >>")
objs = [b"<< /Four 4 >>", b"(five)"]
head, body = b"", b""
for n, text in zip((4, 5), objs):
    head += b"%d %d " % (n, len(body))
    body += text + b" "
packed = zlib.compress(head + body)
w.obj(10, b"<< /Type /ObjStm /N 2 /First %d /Filter /FlateDecode /Length %d >>\nstream\n%s\nendstream"
      % (len(head), len(packed), packed))
rows = [(0, 0, 65535), (1, w.off[1], 0), (1, w.off[2], 0), (1, w.off[3], 0), (2, 10, 0), (2, 10, 1),
        (2, 10, 1), (7, 99, 99)]
rows2 = [(1, w.off[10], 0), (1, len(w.b), 0)]
pos = len(w.b)
w.xref_stream(11, rows + rows2, (1, 4, 2), index=[0, 8, 10, 2], extra=b" /Root 1 0 R")
w.b += b"startxref\n%d\n%%%%EOF\n" % pos
w.save("doc_xrefstream.pdf")

# doc_hybrid.pdf: a classic table for the plain objects whose trailer names, through
# /XRefStm, a cross-reference stream for objects 5 and 6 kept in object stream 7. The
# classic table marks 5 and 6 free, as a hybrid file does for older readers.
w = Writer(b"%PDF-1.5\n%\xe2\xe3\xcf\xd3\n")
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox 5 0 R /Resources 6 0 R >>")
head, body = b"", b""
for n, text in ((5, b"[0 0 210 297]"), (6, b"<< /ProcSet [/PDF] >>")):
    head += b"%d %d " % (n, len(body))
    body += text + b"\n"
packed = zlib.compress(head + body)
w.obj(7, b"<< /Type /ObjStm /N 2 /First %d /Filter /FlateDecode /Length %d >>\nstream\n%s\nendstream"
      % (len(head), len(packed), packed))
stm = len(w.b)
w.xref_stream(8, [(2, 7, 0), (2, 7, 1)], (1, 2, 1), index=[5, 2])
table = w.table(range(1, 9), free={5, 6})
w.trailer(b"<< /Size 9 /Root 1 0 R /XRefStm %d >>" % stm, table)
w.save("doc_hybrid.pdf")

# doc_trailer_glued.pdf: the keyword "trailer" directly followed by "<<".
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 250 350] >>")
w.trailer(b"<< /Size 4 /Root 1 0 R >>", w.table(range(1, 4)), keyword=b"trailer")
w.save("doc_trailer_glued.pdf")

# doc_prev_loop.pdf: two sections whose /Prev entries name each other, and a page tree whose
# /Kids and /Parent entries lead back to nodes already visited.
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 3 /Kids [3 0 R 4 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 5 0 R >>")
w.obj(4, b"<< /Type /Pages /Count 2 /Parent 2 0 R /Kids [4 0 R] >>")
w.obj(5, b"<< /Type /Pages /Parent 6 0 R >>")
w.obj(6, b"<< /Type /Pages /Parent 5 0 R >>")
older = len(w.b)
w.xref([(0, [(0, 65535, b"f")]), (1, [(w.off[n], 0, b"n") for n in (1, 2, 3)])])
newer_guess = len(w.b) + len(b"trailer\n<< /Size 7 /Root 1 0 R /Prev 0000000000 >>\n")
w.b += b"trailer\n<< /Size 7 /Root 1 0 R /Prev %010d >>\n" % newer_guess
newer = len(w.b)
assert newer == newer_guess
w.xref([(4, [(w.off[n], 0, b"n") for n in (4, 5, 6)])])
w.trailer(b"<< /Size 7 /Root 1 0 R /Prev %d >>" % older, newer)
w.save("doc_prev_loop.pdf")

# doc_nobox.pdf: a page with no /MediaBox anywhere up its /Parent chain.
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R >>")
w.trailer(b"<< /Size 4 /Root 1 0 R >>", w.table(range(1, 4)))
w.save("doc_nobox.pdf")
PY

# qpdf rewrites of the page-tree fixture: linearized, and with object streams.
qpdf --deterministic-id --linearize "$out/doc_tree.pdf" "$out/doc_linearized.pdf"
qpdf --deterministic-id --object-streams=generate "$out/doc_tree.pdf" "$out/doc_objstreams.pdf"
