#!/usr/bin/env bash
# Writes the whole-file copy fixtures tests/data/copy_*.pdf. Each is a valid file that shows
# one way a copy made object by object can lose data; a copy of it must hold every object
# with the same value (and every stream with the same bytes).
#   copy_comment_indent.pdf   laid out the way cairo writes: "<< /Type /Page % 1" followed by
#                             indented entries, indirect /Length objects, a /Resources object
#                             with two comments in a row and an empty line between entries,
#                             a comment right after a number and one inside /Kids
#   copy_trailer_comment.pdf  laid out the way ReportLab writes: one entry per line, "/ID " then
#                             the array on the next line, a comment line and an empty line inside
#                             the trailer before /Info, /Root and /Size; ASCII85+Flate content
#                             that ends in "~>endstream" with no line end
#   copy_long_reals.pdf       reals that print back only as written: a fill colour
#                             "0.431373 0.0784314 0.996078 rg", a form with /Matrix
#                             [0.00001 0 0 0.00001 20 20], an annotation holding 123.456789,
#                             -0.000001, 1.50, .5, -.25, 5., 17 significant digits, -0.0 and an
#                             integer above 32 bits
#   copy_string_escapes.pdf   literal strings with \i (a backslash the format drops), \8, \9, \0,
#                             \12, \123, \( and \), a backslash-newline continuation, a CR LF
#                             inside a string (read as one LF), and the hex string
#                             <48 65 6C 6C 6F 2> (odd digit count, spaces), in /Info and in a
#                             /URI action
#   copy_plus_numbers.pdf     numbers with a plus sign (/MediaBox [+0 +0 +612 +792], /Rect
#                             [+10 +10 +100 +100], /Count +1, +0.5, +.5) each followed by entries
#                             that are lost when a "+" ends the value
#   copy_attachment.pdf       a base file with an attachment added by qpdf (an embedded file
#                             stream with /Subtype /application#2Foctet-stream whose data hold
#                             "endstream" and "endobj" lines), and three forms whose
#                             dictionaries hold "stream" before the real keyword: in a string,
#                             in a name followed by a line end, in a string holding a line end
#   copy_bad_length.pdf       three pages whose content streams have a /Length 10 too long
#                             (it takes in "\nendstream"), 5 too short, missing, and a /Length
#                             held in an object of its own; the data run up to "endstream"
#   copy_version17.pdf        a clean file with the header %PDF-1.7
#   copy_version13.pdf        a clean file with the header %PDF-1.3
# Every file has fixed /ID values and fixed dates, so writing again gives the same bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$out" "$work" <<'PY'
import base64, hashlib, sys, zlib

out, work = sys.argv[1], sys.argv[2]
BINARY = b"%\xe2\xe3\xcf\xd3\n"
FONT = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"
DATE = b"(D:20240101120000Z)"


class Writer:
    def __init__(self, version=b"1.4", second_line=BINARY):
        self.b = bytearray(b"%PDF-" + version + b"\n" + second_line)
        self.off = {}

    def obj(self, num, body):
        self.off[num] = len(self.b)
        self.b += b"%d 0 obj\n%s\nendobj\n" % (num, body)

    def stream(self, num, data, extra=b"", length=None, tail=b"\nendstream"):
        length = b"/Length %d " % len(data) if length is None else length
        self.obj(num, b"<< %s%s>>\nstream\n%s%s" % (length, extra, data, tail))

    def table(self):
        """One subsection from 0 over objects 1..max; every number is in use."""
        top = max(self.off)
        pos = len(self.b)
        self.b += b"xref\n0 %d\n0000000000 65535 f \n" % (top + 1)
        for n in range(1, top + 1):
            self.b += b"%010d 00000 n \n" % self.off[n]
        return pos

    def trailer(self, body, xref_pos):
        self.b += b"trailer\n" + body + b"\nstartxref\n%d\n%%%%EOF\n" % xref_pos

    def save(self, name, folder=out):
        with open(f"{folder}/{name}", "wb") as f:
            f.write(self.b)


def file_id(name):
    """Both halves of a fixed /ID, from the file's name."""
    h = hashlib.md5(name.encode()).hexdigest().upper().encode()
    return b"[<%s><%s>]" % (h, h)


def page_text(n):
    return b"BT /F1 12 Tf 72 712 Td (Page %d) Tj ET" % n


def info(title):
    return b"<< /Title (%s) /Producer (Parvex fixtures) /CreationDate %s /ModDate %s >>" % (title, DATE, DATE)


def plain(name, version, pages):
    """A clean file: catalog 1, pages 2, then per page a page object and its content stream;
    font and information last."""
    w = Writer(version)
    kids = [3 + 2 * i for i in range(pages)]
    font, inf = 3 + 2 * pages, 4 + 2 * pages
    w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    w.obj(2, b"<< /Type /Pages /Count %d /Kids [%s] >>" % (pages, b" ".join(b"%d 0 R" % k for k in kids)))
    for i, k in enumerate(kids):
        w.obj(k, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents %d 0 R"
                 b" /Resources << /Font << /F1 %d 0 R >> >> >>" % (k + 1, font))
        w.stream(k + 1, page_text(i + 1))
    w.obj(font, FONT)
    w.obj(inf, info(name.encode()))
    w.trailer(b"<< /Size %d /Root 1 0 R /Info %d 0 R /ID %s >>" % (inf + 1, inf, file_id(name)), w.table())
    return w


# copy_comment_indent.pdf: cairo's layout, two pages.
name = "copy_comment_indent.pdf"
w = Writer()
w.obj(1, b"<< /Type /Pages\n   /Kids [ 3 0 R % first page\n   7 0 R ]\n   /Count 2% two pages\n"
         b"   % no more entries\n>>")
w.obj(2, b"<< /Font << /F1 6 0 R >>\n   % fonts used on these pages\n   % (one Type 1 face)\n\n"
         b"   /ProcSet [ /PDF /Text ]\n>>")
for page, (obj, contents) in enumerate(((3, 4), (7, 8)), start=1):
    w.obj(obj, b"<< /Type /Page %% %d\n   /Parent 1 0 R\n   /MediaBox [ 0 0 595.275574 841.889771 ]\n"
               b"   /Contents %d 0 R\n   /Group <<\n      /Type /Group\n      /S /Transparency\n"
               b"      /I true\n      /CS /DeviceRGB\n   >>\n   /Resources 2 0 R\n>>" % (page, contents))
    data = zlib.compress(b"q 0.2 0.4 0.6 rg 72 650 200 40 re f Q\n" + page_text(page) + b"\n")
    w.stream(contents, data, length=b"/Length %d 0 R\n   /Filter /FlateDecode\n" % (contents + 1))
    w.obj(contents + 1, b"   %d" % len(data))
w.obj(6, FONT)
w.obj(10, b"<< /Producer (cairo 1.16.0 \\(https://cairographics.org\\))\n   /CreationDate %s\n>>" % DATE)
w.obj(11, b"<< /Type /Catalog\n   /Pages 1 0 R\n>>")
w.trailer(b"<< /Size 12\n   /Root 11 0 R\n   /Info 10 0 R\n   /ID %s\n>>" % file_id(name), w.table())
w.save(name)

# copy_trailer_comment.pdf: ReportLab's layout, one page.
name = "copy_trailer_comment.pdf"
w = Writer(second_line=b"%\x93\x8c\x8b\x9e ReportLab Generated PDF document\n")
w.obj(1, b"<<\n/F1 2 0 R\n>>")
w.obj(2, b"<<\n/BaseFont /Helvetica /Encoding /WinAnsiEncoding /Name /F1 /Subtype /Type1 /Type /Font\n>>")
w.obj(3, b"<<\n/Contents 7 0 R /MediaBox [ 0 0 595.2756 841.8898 ] /Parent 6 0 R /Resources <<\n"
         b"/Font 1 0 R /ProcSet [ /PDF /Text /ImageB /ImageC /ImageI ]\n>> /Rotate 0 /Trans <<\n\n>> \n"
         b"  /Type /Page\n>>")
w.obj(4, b"<<\n/PageMode /UseNone /Pages 6 0 R /Type /Catalog\n>>")
w.obj(5, b"<<\n/Author (anonymous) /CreationDate %s /Creator (ReportLab PDF Library) /Keywords () "
         b"/ModDate %s /Producer (ReportLab PDF Library) \n  /Subject (unknown) /Title (untitled) "
         b"/Trapped /False\n>>" % (DATE, DATE))
w.obj(6, b"<<\n/Count 1 /Kids [ 3 0 R ] /Type /Pages\n>>")
data = base64.a85encode(zlib.compress(page_text(1) + b"\n")) + b"~>"
w.obj(7, b"<<\n/Filter [ /ASCII85Decode /FlateDecode ] /Length %d\n>>\nstream\n%sendstream" % (len(data), data))
xref = w.table()
w.b += (b"trailer\n<<\n/ID \n%s\n%% ReportLab generated PDF document -- digest (opensource)\n\n"
        b"/Info 5 0 R\n/Root 4 0 R\n/Size 8\n>>\nstartxref\n%d\n%%%%EOF\n" % (file_id(name), xref))
w.save(name)

# copy_long_reals.pdf: one page with a coloured box, a scaled form and an annotation of reals.
name = "copy_long_reals.pdf"
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.275574 841.889771] /Contents 4 0 R"
         b" /Resources << /Font << /F1 7 0 R >> /XObject << /Fm1 5 0 R >> >> /Annots [6 0 R] >>")
w.stream(4, b"q 0.431373 0.0784314 0.996078 rg 72.5 600.25 227.625 49.8125 re f Q\nq /Fm1 Do Q\n" + page_text(1))
w.stream(5, b"0 0 1 rg 0 0 1000000 1000000 re f",
         b"/Type /XObject /Subtype /Form /BBox [0 0 1000000 1000000] /Matrix [0.00001 0 0 0.00001 20 20] ")
w.obj(6, b"<< /Type /Annot /Subtype /Square /Rect [72.5 600.25 300.125 650.0625] /C [0.431373 0.0784314 0.996078]"
         b" /CA .5 /Border [0 0 1.50] /PXValues << /A 123.456789 /B -0.000001 /C 1.50 /D .5 /E -.25 /F 5."
         b" /G 0.12345678901234567 /H -0.0 /I 4294967296 /J 100000000.25 >> /F 4 >>")
w.obj(7, FONT)
w.obj(8, info(b"Long reals"))
w.trailer(b"<< /Size 9 /Root 1 0 R /Info 8 0 R /ID %s >>" % file_id(name), w.table())
w.save(name)

# copy_string_escapes.pdf: one page with a link; the escapes sit in /Info and in the /URI.
name = "copy_string_escapes.pdf"
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
         b" /Resources << /Font << /F1 6 0 R >> >> /Annots [5 0 R] >>")
w.stream(4, page_text(1) + b"\nBT /F1 12 Tf 72 690 Td (mailto:chd@example.org) Tj ET")
w.obj(5, b"<< /Type /Annot /Subtype /Link /Rect [70 685 250 705] /Border [0 0 0]"
         b" /A << /S /URI /URI (mailto:\\ichd@example.org) >> >>")
w.obj(6, FONT)
w.obj(7, b"<< /Title <48 65 6C 6C 6F 2>\n/Author (Version \\8 and \\9)\n"
         b"/Subject (paren \\( and \\) unbalanced \\( nested (kept) backslash \\\\ end)\n"
         b"/Keywords (octal \\123\\1234 newline\\12nul\\0end)\n"
         b"/Creator (one line \\\ncontinued)\n"
         b"/Producer (two\r\nlines)\n/CreationDate %s >>" % DATE)
w.trailer(b"<< /Size 8 /Root 1 0 R /Info 7 0 R /ID %s >>" % file_id(name), w.table())
w.save(name)

# copy_plus_numbers.pdf: one page and an annotation written with plus signs.
name = "copy_plus_numbers.pdf"
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count +1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /MediaBox [+0 +0 +612 +792] /Rotate +0 /Parent 2 0 R /Contents 4 0 R"
         b" /Resources << /Font << /F1 6 0 R >> >> /Annots [5 0 R] >>")
w.stream(4, page_text(1))
w.obj(5, b"<< /Type /Annot /Subtype /Square /Rect [+10 +10 +100 +100] /F +4 /Border [+0 +0 +1]"
         b" /C [+0.5 +.5 -3] /PXNumbers << /A +5 /B +0.5 /C -3 /D (after the numbers) >> /P 3 0 R >>")
w.obj(6, FONT)
w.obj(7, info(b"Plus numbers"))
w.trailer(b"<< /Size 8 /Root 1 0 R /Info 7 0 R /ID %s >>" % file_id(name), w.table())
w.save(name)

# The base of copy_attachment.pdf: one page drawing three forms whose dictionaries hold
# "stream"; the second and third get their line ends after qpdf has written the file.
name = "copy_attachment.pdf"
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 1 /Kids [3 0 R] >>")
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources"
         b" << /Font << /F1 8 0 R >> /XObject << /Fm1 5 0 R /Fm2 6 0 R /Fm3 7 0 R >> >> >>")
w.stream(4, b"q 1 0 0 1 72 600 cm /Fm1 Do Q q 1 0 0 1 172 600 cm /Fm2 Do Q q 1 0 0 1 272 600 cm /Fm3 Do Q\n"
         + page_text(1))
form = b"/Type /XObject /Subtype /Form /BBox [0 0 50 50] "
w.stream(5, b"0 g 0 0 50 50 re f", form + b"/Note (not the stream keyword) ")
w.stream(6, b"1 0 0 rg 0 0 50 50 re f", form + b"/Kind /upstream ")
w.stream(7, b"% endstream in a comment\n0 0 1 rg 0 0 50 50 re f", form + b"/Note (about the stream keyword) ")
w.obj(8, FONT)
w.obj(9, info(b"Attachment"))
w.trailer(b"<< /Size 10 /Root 1 0 R /Info 9 0 R /ID %s >>" % file_id(name), w.table())
w.save("base.pdf", work)
with open(f"{work}/notes.txt", "wb") as f:
    f.write(b"Notes kept with the file.\nstream\nendstream\nendobj\nThe last line.\n")

# copy_bad_length.pdf: three pages; page 3 has two content streams.
name = "copy_bad_length.pdf"
w = Writer()
w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
w.obj(2, b"<< /Type /Pages /Count 3 /Kids [3 0 R 5 0 R 7 0 R] >>")
res = b" /Resources << /Font << /F1 11 0 R >> >> >>"
w.obj(3, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R" + res)
data = page_text(1)
w.stream(4, data, length=b"/Length %d " % (len(data) + 10))
w.obj(5, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R" + res)
data = page_text(2)
w.stream(6, data, length=b"/Length %d " % (len(data) - 5))
w.obj(7, b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents [8 0 R 9 0 R]" + res)
w.stream(8, b"q 0 0 1 rg 72 650 100 20 re f Q", length=b"")
data = page_text(3)
w.stream(9, data, length=b"/Length 10 0 R ")
w.obj(10, b"%d" % len(data))
w.obj(11, FONT)
w.obj(12, info(b"Bad lengths"))
w.trailer(b"<< /Size 13 /Root 1 0 R /Info 12 0 R /ID %s >>" % file_id(name), w.table())
w.save(name)

plain("copy_version17.pdf", b"1.7", 2).save("copy_version17.pdf")
plain("copy_version13.pdf", b"1.3", 1).save("copy_version13.pdf")
PY

# The attachment is added by qpdf with fixed dates; streams stay as written so the data of
# notes.txt (with its "endstream" line) are stored as they are.
qpdf --deterministic-id --compress-streams=n --object-streams=disable "$work/base.pdf" \
  --add-attachment "$work/notes.txt" --key=notes.txt --filename=notes.txt --mimetype=application/octet-stream \
  --creationdate=D:20240101120000Z --moddate=D:20240101120000Z --description="Notes" -- "$work/attached.pdf"
# qpdf writes every dictionary on one line; two forms then get a line end right after their
# "stream", each in place of one blank, so no offset moves.
python3 - "$work/attached.pdf" "$out/copy_attachment.pdf" <<'PY'
import sys

data = open(sys.argv[1], "rb").read()
for before, after in ((b"/upstream ", b"/upstream\n"), (b"(about the stream keyword)", b"(about the stream\nkeyword)")):
    assert data.count(before) == 1, before
    data = data.replace(before, after)
open(sys.argv[2], "wb").write(data)
PY

# qpdf must accept every fixture; only the bad lengths may draw warnings (its exit code 3).
for f in "$out"/copy_*.pdf; do
  rc=0
  qpdf --check "$f" >/dev/null 2>&1 || rc=$?
  case "$rc:$(basename "$f")" in
    0:* | 3:copy_bad_length.pdf) ;;
    *) echo "qpdf --check gives $rc for $f" >&2 && exit 1 ;;
  esac
done
