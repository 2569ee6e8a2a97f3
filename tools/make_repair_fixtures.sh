#!/usr/bin/env bash
# Writes the repair fixtures tests/data/repair_*.pdf: one clean file, and copies of it each
# damaged in one way, as files arrive from broken writers, cut transfers and careless edits.
# Every copy keeps the clean file's bytes wherever its damage allows, and a reader that
# repairs what it finds must still come to the nine pages.
#   repair_clean.pdf               9 pages (page 1 595x842, pages 2-8 612x792, page 9 420x595,
#                                  page 5 rotated 90), each with a Flate content stream showing
#                                  "(Page N)" in the Helvetica font that all pages share; a root
#                                  /Pages with two /Pages nodes under it (4 and 5 pages); /Info
#                                  with /Title and /Author; a fixed /ID; and an incremental
#                                  update (new /Title, new content for page 3) with its own
#                                  classic xref section and /Prev
#   repair_no_startxref.pdf        the last "startxref" line and its number removed (%%EOF kept;
#                                  the first revision's startxref is still in the file)
#   repair_startxref_plus1000.pdf  the last startxref value 1000 too large
#   repair_startxref_beyond.pdf    the last startxref value equal to the file's length: the
#                                  first offset past the end
#   repair_prev_loop1.pdf          the newest section's /Prev names that section itself
#   repair_prev_loop2.pdf          the older section's trailer gets a /Prev naming the newest
#                                  section, whose /Prev names the older one: a loop of two
#   repair_shift3.pdf              every in-use offset of both xref sections 3 bytes too large
#   repair_shift40.pdf             ... 40 bytes too large
#   repair_shift_minus40.pdf       ... 40 bytes too small (never below 0)
#   repair_garbage_before.pdf      1024 bytes of garbage before %PDF; offsets count from %PDF
#                                  (qpdf looks for %PDF only within the first 1024 bytes)
#   repair_garbage_before_1000.pdf the same with 1000 bytes, where qpdf finds the header
#   repair_garbage_after.pdf       4096 bytes of garbage after the last %%EOF
#   repair_truncated.pdf           the last 30 bytes cut off
#   repair_huge_subsection.pdf     the newest section's first subsection claims 2147483648 entries
#   repair_bad_w.pdf               the clean file rewritten by qpdf with object streams and a
#                                  cross-reference stream, whose /W is then [1 9 9]
#   repair_bad_w_zero.pdf          the same, with /W [0 0 0] (rows of no bytes at all)
#   repair_length_missing.pdf      page 1's content stream without /Length
#   repair_length_negative.pdf     ... with /Length -5
#   repair_length_huge.pdf         ... with /Length 999999999
#   repair_length_dangling.pdf     ... with /Length 99 0 R, an object the file does not hold
#   repair_rc4_broken_xref.pdf     the clean file encrypted by qpdf (RC4, 128 bits, user
#                                  password "user", owner password "owner"), then every offset
#                                  of its xref table 3 bytes too large
# The prev_loop2 and length files are written again by the writer below (so their offsets stay
# right); the others are the clean file (or qpdf's rewrite of it) with bytes edited in place.
# The /W and the field edits keep the file's length.
# Then prints what qpdf, pdfinfo and mutool (when present) make of every fixture, and writes
# tests/data/repair_expected.txt, one line per fixture: "name pages width height" as pdfinfo
# reads them (the page count, and page 1's size in points); where pdfinfo reads no page, as
# mutool reads them, and "0 0 0" where neither does (repair_bad_w_zero). The script stops
# when qpdf finds other than 9 pages in a fixture not named in UNREAD_BY_QPDF, or when qpdf
# reads the clean file as anything but clean.
# Fixed /ID values and qpdf's --static-id make every run write the same bytes.
# Needs /usr/bin/python3, qpdf and pdfinfo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 - "$out" "$work" <<'PY'
import hashlib, re, shutil, subprocess, sys, zlib

out, work = sys.argv[1], sys.argv[2]
HEADER = b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"
FONT = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"
ID1 = hashlib.md5(b"repair_clean.pdf").hexdigest().upper().encode()
ID2 = hashlib.md5(b"repair_clean.pdf, second revision").hexdigest().upper().encode()
PAGES = 9
SIZE = {1: (595, 842), 9: (420, 595)}  # the others are 612x792
ROTATE = {5: 90}
USER, OWNER = "user", "owner"
# Fixtures qpdf 11 cannot read, kept because that damage is what they hold: offsets clamped
# to 0 (qpdf takes an offset of 0 for a missing object and gives up on /Root instead of
# rebuilding the table), and a broken cross-reference stream in a file with no "trailer"
# keyword (qpdf's rebuild needs one, and does not look inside object streams).
UNREAD_BY_QPDF = {"repair_shift_minus40.pdf", "repair_bad_w.pdf", "repair_bad_w_zero.pdf"}


class Writer:
    def __init__(self):
        self.b = bytearray(HEADER)
        self.off = {}

    def obj(self, num, body):
        self.off[num] = len(self.b)
        self.b += b"%d 0 obj\n%s\nendobj\n" % (num, body)

    def stream(self, num, data, length=None):
        """A Flate stream; length is the whole /Length entry (b"" leaves it out)."""
        length = b"/Length %d " % len(data) if length is None else length
        self.obj(num, b"<< %s/Filter /FlateDecode >>\nstream\n%s\nendstream" % (length, data))

    def xref(self, subsections):
        """subsections: [(first, [(offset, gen, kind)])]; entries are exactly 20 bytes."""
        pos = len(self.b)
        self.b += b"xref\n"
        for first, entries in subsections:
            self.b += b"%d %d\n" % (first, len(entries))
            for offset, gen, kind in entries:
                self.b += b"%010d %05d %s\r\n" % (offset, gen, kind)
        return pos

    def trailer(self, body, xref_pos):
        self.b += b"trailer\n" + body + b"\nstartxref\n%d\n%%%%EOF\n" % xref_pos


def page(n):
    return 5 + 2 * n  # page n's object; its content stream is the next number


def content(n, revised=False):
    w, h = SIZE.get(n, (612, 792))
    text = b"BT /F1 24 Tf 72 %d Td (Page %d) Tj ET" % (h - 100, n)
    if revised:
        text += b"\nBT /F1 12 Tf 72 %d Td (changed in the second revision) Tj ET" % (h - 130)
    return zlib.compress(text, 9)


def build(length1=None, older_prev=False):
    """The clean file; or with page 1's /Length entry replaced by length1; or with a /Prev in
    the older trailer that names the newest section. Returns the bytes and the offsets of the
    older and the newest xref sections."""
    w = Writer()
    w.obj(1, b"<< /Type /Catalog /Pages 2 0 R >>")
    w.obj(2, b"<< /Type /Pages /Count %d /Kids [3 0 R 4 0 R] >>" % PAGES)
    for node, pages in ((3, range(1, 5)), (4, range(5, PAGES + 1))):
        kids = b" ".join(b"%d 0 R" % page(n) for n in pages)
        w.obj(node, b"<< /Type /Pages /Parent 2 0 R /Count %d /Kids [%s] >>" % (len(pages), kids))
    w.obj(5, FONT)
    w.obj(6, b"<< /Title (Repair fixture) /Author (Parvex tests) >>")
    for n in range(1, PAGES + 1):
        width, height = SIZE.get(n, (612, 792))
        rotate = b" /Rotate %d" % ROTATE[n] if n in ROTATE else b""
        parent = 3 if n < 5 else 4
        w.obj(page(n), b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d]%s /Contents %d 0 R"
                       b" /Resources << /Font << /F1 5 0 R >> >> >>"
                       % (parent, width, height, rotate, page(n) + 1))
        w.stream(page(n) + 1, content(n), length1 if n == 1 else None)
    size = page(PAGES) + 2
    older = w.xref([(0, [(0, 65535, b"f")] + [(w.off[n], 0, b"n") for n in range(1, size)])])
    prev = b" /Prev 0000000000" if older_prev else b""
    w.trailer(b"<< /Size %d /Root 1 0 R /Info 6 0 R /ID [<%s><%s>]%s >>" % (size, ID1, ID1, prev), older)
    patch = w.b.rfind(b"/Prev 0000000000") + 6
    # The second revision: a new /Title, and new content for page 3 under the same number.
    w.obj(6, b"<< /Title (Repair fixture, second revision) /Author (Parvex tests) >>")
    w.stream(page(3) + 1, content(3, revised=True))
    newest = w.xref([(0, [(0, 65535, b"f")]), (6, [(w.off[6], 0, b"n")]),
                     (page(3) + 1, [(w.off[page(3) + 1], 0, b"n")])])
    w.trailer(b"<< /Size %d /Root 1 0 R /Info 6 0 R /ID [<%s><%s>] /Prev %d >>" % (size, ID1, ID2, older), newest)
    if older_prev:
        w.b[patch:patch + 10] = b"%010d" % newest
    return bytes(w.b), older, newest


def save(name, data):
    with open(f"{out}/{name}", "wb") as f:
        f.write(data)


def run(*cmd):
    p = subprocess.run(cmd, capture_output=True)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def last_startxref(data):
    m = list(re.finditer(rb"startxref\s+(\d+)", data))[-1]
    return m.start(1), m.end(1), int(m.group(1))


def sections(data):
    """Offsets of the classic xref sections, newest first, by startxref and the /Prev chain."""
    pos, seen = last_startxref(data)[2], []
    while pos is not None and pos not in seen:
        seen.append(pos)
        t = data.index(b"trailer", pos)
        m = re.search(rb"/Prev (\d+)", data[t:data.index(b"startxref", t)])
        pos = int(m.group(1)) if m else None
    return seen


def entries(data, pos):
    """(position, offset, kind) of every 20-byte entry of the xref section at pos."""
    m = re.compile(rb"xref\s+").match(data, pos)
    assert m, pos
    p, rows = m.end(), []
    while h := re.compile(rb"(\d+) (\d+)[ \t]*\r?\n").match(data, p):
        p = h.end()
        for _ in range(int(h.group(2))):
            e = data[p:p + 20]
            assert re.fullmatch(rb"\d{10} \d{5} [nf](?: \r| \n|\r\n)", e), e
            rows.append((p, int(e[:10]), e[17:18]))
            p += 20
    assert data.startswith(b"trailer", p)
    return rows


def shift(data, delta):
    """Every in-use offset of every xref section moved by delta (never below 0)."""
    b = bytearray(data)
    for pos in sections(data):
        for p, offset, kind in entries(data, pos):
            if kind == b"n":
                b[p:p + 10] = b"%010d" % max(0, offset + delta)
    assert len(b) == len(data)
    return bytes(b)


def garbage(n, salt):
    """n bytes of hash output that hold nothing a reader could take for a PDF token."""
    b, i = bytearray(), 0
    while len(b) < n:
        b += hashlib.sha256(b"%s %d" % (salt, i)).digest()
        i += 1
    b = bytes(b[:n])
    for word in (b"%PDF", b"obj", b"xref", b"trailer", b"startxref", b"%%EOF", b"stream"):
        assert word not in b, word
    return b


def set_w(data, widths):
    """The cross-reference stream's /W array given new widths of the same number of digits."""
    found = list(re.finditer(rb"/W *\[ *(\d+) +(\d+) +(\d+) *\]", data))
    assert len(found) == 1, found
    b = bytearray(data)
    for i, v in reversed(list(enumerate(widths, 1))):
        s, e = found[0].span(i)
        new = b"%0*d" % (e - s, v)
        assert len(new) == e - s
        b[s:e] = new
    return bytes(b)


clean, older, newest = build()
save("repair_clean.pdf", clean)
fixtures = {"repair_clean.pdf": clean}
rc, text, err = run("qpdf", "--check", f"{out}/repair_clean.pdf")
assert rc == 0 and not err and "No syntax or stream encoding errors" in text, text + err

s, e, value = last_startxref(clean)
assert value == newest
line = clean.rindex(b"startxref", 0, s)
fixtures["repair_no_startxref.pdf"] = clean[:line] + clean[e + 1:]
fixtures["repair_startxref_plus1000.pdf"] = clean[:s] + b"%d" % (value + 1000) + clean[e:]
end = len(clean)
while len(clean) - (e - s) + len(b"%d" % end) != end:  # the value is the new file's own length
    end = len(clean) - (e - s) + len(b"%d" % end)
fixtures["repair_startxref_beyond.pdf"] = clean[:s] + b"%d" % end + clean[e:]
assert len(fixtures["repair_startxref_beyond.pdf"]) == end

prev = b"/Prev %d >>" % older
t = clean.rindex(prev)
fixtures["repair_prev_loop1.pdf"] = clean[:t] + b"/Prev %0*d >>" % (len(b"%d" % older), newest) + clean[t + len(prev):]
loop2, older2, newest2 = build(older_prev=True)
assert sections(loop2) == [newest2, older2]
fixtures["repair_prev_loop2.pdf"] = loop2

fixtures["repair_shift3.pdf"] = shift(clean, 3)
fixtures["repair_shift40.pdf"] = shift(clean, 40)
fixtures["repair_shift_minus40.pdf"] = shift(clean, -40)
fixtures["repair_garbage_before.pdf"] = garbage(1024, b"before") + clean
fixtures["repair_garbage_before_1000.pdf"] = garbage(1000, b"before") + clean
fixtures["repair_garbage_after.pdf"] = clean + garbage(4096, b"after")
fixtures["repair_truncated.pdf"] = clean[:-30]

head = b"xref\n0 1\n"
assert clean.startswith(head, newest)
fixtures["repair_huge_subsection.pdf"] = clean[:newest] + b"xref\n0 2147483648\n" + clean[newest + len(head):]

subprocess.run(["qpdf", "--static-id", "--object-streams=generate", f"{out}/repair_clean.pdf",
                f"{work}/objstm.pdf"], check=True)
objstm = open(f"{work}/objstm.pdf", "rb").read()
assert b"/Type /ObjStm" in objstm and b"/Type /XRef" in objstm
fixtures["repair_bad_w.pdf"] = set_w(objstm, (1, 9, 9))
fixtures["repair_bad_w_zero.pdf"] = set_w(objstm, (0, 0, 0))

for name, entry in (("missing", b""), ("negative", b"/Length -5 "), ("huge", b"/Length 999999999 "),
                    ("dangling", b"/Length 99 0 R ")):
    fixtures[f"repair_length_{name}.pdf"] = build(length1=entry)[0]

subprocess.run(["qpdf", "--static-id", "--allow-weak-crypto", "--encrypt", USER, OWNER, "128", "--use-aes=n",
                "--", f"{out}/repair_clean.pdf", f"{work}/rc4.pdf"], check=True)
rc4 = open(f"{work}/rc4.pdf", "rb").read()
assert b"/Encrypt" in rc4 and len(sections(rc4)) == 1
fixtures["repair_rc4_broken_xref.pdf"] = shift(rc4, 3)

for name, data in fixtures.items():
    save(name, data)


# What the peers make of each fixture: qpdf's check, the page counts, page 1's size, and which
# revision's /Title each reads (1 or 2; "-" when none).
def field(pattern, text):
    m = re.search(pattern, text, re.M)
    return m.group(1) if m else "-"


def revision(text):
    m = re.search(r"Repair fixture(, second revision)?", text)
    return "-" if not m else "2" if m.group(1) else "1"


GENERIC = ("file is damaged", "Attempting to reconstruct cross-reference table")


def check_summary(rc, out, err):
    warnings = [l for l in (out + err).splitlines() if l.startswith("WARNING")]
    telling = [re.sub(r"^WARNING: [^:]*: ", "", l) for l in warnings if not l.endswith(GENERIC)]
    if rc == 2:
        return ("error: " + re.sub(r"^qpdf: [^:]*: ", "", err.strip().splitlines()[-1]))[:70]
    if rc == 0 and not warnings:
        return "clean"
    return (f"{len(warnings)} warnings" + (f": {telling[0]}" if telling else ""))[:70]


def qpdf_title(path, pw):
    rc, out, _ = run("qpdf", *pw, "--show-object=trailer", path)
    info = re.search(r"/Info (\d+) \d+ R", out)
    return run("qpdf", *pw, f"--show-object={info.group(1)}", path)[1] if rc in (0, 3) and info else ""


mutool = shutil.which("mutool")
rows, expected, unread = [], [], []
for name in fixtures:
    path = f"{out}/{name}"
    rc4_file = "rc4" in name
    qpw = [f"--password={USER}"] if rc4_file else []
    summary = check_summary(*run("qpdf", *qpw, "--check", path))
    rc, npages, _ = run("qpdf", *qpw, "--show-npages", path)
    qpages = npages.strip() if rc in (0, 3) else "fail"
    if qpages != str(PAGES):
        unread.append(name)
    ipw = ["-upw", USER] if rc4_file else []
    rc, info, _ = run("pdfinfo", *ipw, "-f", "1", "-l", "1", path)
    ipages = field(r"^Pages:\s+(\d+)", info)
    size = re.search(r"^Page +1 size:\s+([\d.]+) x ([\d.]+) pts", info, re.M)
    pages, (width, height) = ipages, size.groups() if size else ("-", "-")
    revs = [revision(qpdf_title(path, qpw)), revision(info)]
    mpages = "-"
    if mutool:
        mpw = ["-p", USER] if rc4_file else []
        _, minfo, _ = run(mutool, "info", *mpw, path)
        mpages = field(r"^Pages: (\d+)", minfo)
        revs.append(revision(minfo))
        if not size and mpages not in ("-", "0"):  # pdfinfo reads nothing: mutool's view
            box = run(mutool, "pages", *mpw, path, "1")[1]
            m = re.search(r'<MediaBox l="([-\d.]+)" b="([-\d.]+)" r="([-\d.]+)" t="([-\d.]+)"', box)
            if m:
                l, b, r, t = (float(v) for v in m.groups())
                pages, width, height = mpages, "%g" % (r - l), "%g" % (t - b)
    if pages == "-" or width == "-":
        pages, width, height = "0", "0", "0"
    rows.append((name[:-4], summary, qpages, ipages, "-" if not size else f"{width}x{height}", mpages,
                 "/".join(revs)))
    expected.append(f"{name[:-4]} {pages} {width} {height}\n")

with open(f"{out}/repair_expected.txt", "w") as f:
    f.writelines(expected)

head = ("fixture", "qpdf --check", "qpdf pages", "pdfinfo pages", "page 1", "mutool pages", "rev q/i/m")
widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head))]
for r in [head] + rows:
    print("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip())
missing = sorted(set(unread) - UNREAD_BY_QPDF)
if missing:
    print("qpdf does not find %d pages in: %s" % (PAGES, " ".join(missing)), file=sys.stderr)
    sys.exit(1)
PY
