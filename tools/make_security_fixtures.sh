#!/usr/bin/env bash
# Makes the fixtures of the security tests, tests/data/sec_*.pdf, and the table of what the
# peers report of them, tests/data/sec_fixtures.txt:
#  - a small plain PDF written here, with a known /Title in its information dictionary;
#  - RC4 copies of it encrypted by qpdf at 40 and 128 bits with known passwords and rights
#    (--static-id keeps the output the same from run to run);
#  - a copy whose /P is rewritten as the unsigned 32-bit number of the same bits (offsets repaired);
#  - a copy of the 40-bit file marked /V 2 with its /Length blanked out, so that the key length
#    falls back to the format's default of 40 bits (qpdf refuses such a file; pdfinfo and
#    mutool open it, and they vouch for that row);
#  - a 128-bit file whose /P is a positive 16-bit number (65532), which qpdf cannot be asked to
#    write: the small independent implementation below writes it, and qpdf must open it.
# Needs qpdf, python3, and for the /V 2 row pdfinfo and mutool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

python3 - "$tmp/plain.pdf" <<'PY'
import sys
objs = [
    b"<< /Type /Catalog /Pages 2 0 R >>",
    b"<< /Type /Pages /Kids [ 3 0 R ] /Count 1 >>",
    b"<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] /Contents 4 0 R >>",
    b"<< /Length 44 >>\nstream\nBT /F1 12 Tf 72 720 Td (Hello, world) Tj ET\nendstream",
    b"<< /Title (Security fixture title) /Author (Parvex tests) >>",
]
out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
offsets = []
for i, body in enumerate(objs, 1):
    offsets.append(len(out))
    out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
for o in offsets:
    out += b"%010d 00000 n \n" % o
out += b"trailer\n<< /Size %d /Root 1 0 R /Info 5 0 R /ID [<0123456789abcdef0123456789abcdef> <0123456789abcdef0123456789abcdef>] >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
open(sys.argv[1], "wb").write(out)
PY

long40="0123456789abcdefghijklmnopqrstuvwxyzABCD"
none=(--print=none --modify=none --extract=n --annotate=n --accessibility=n --assemble=n --form=n)
enc() {  # name user owner bits [restrictions...]
  local name=$1 user=$2 owner=$3 bits=$4
  shift 4
  local aes=()
  [ "$bits" = 128 ] && aes=(--use-aes=n)
  qpdf --static-id --allow-weak-crypto --encrypt "$user" "$owner" "$bits" "${aes[@]}" "$@" -- \
    "$tmp/plain.pdf" "$out/$name.pdf"
}
enc sec_rc4_40 user owner 40
enc sec_rc4_40_denied user owner 40 --print=n --modify=n --extract=n --annotate=n
enc sec_rc4_40_nopw "" "" 40
enc sec_rc4_40_longpw "$long40" owner 40
enc sec_rc4_128 user owner 128
enc sec_rc4_128_denied user owner 128 "${none[@]}"
enc sec_rc4_128_restricted user owner 128 "${none[@]}" --print=low
enc sec_rc4_128_emptyuser "" owner 128
enc sec_rc4_128_emptyowner user "" 128
enc sec_rc4_128_longowner user "$long40" 128

# The same bits of /P written unsigned: the key does not change, only the text and the offsets.
python3 - "$out/sec_rc4_40_denied.pdf" "$out/sec_rc4_40_unsignedp.pdf" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
m = re.search(rb"/P (-\d+)", data)
new = b"/P %d" % (int(m.group(1)) + 2**32)
delta = len(new) - len(m.group(0))
at = m.start()
data = data[:at] + new + data[m.end():]
def fix(entry):
    off = int(entry.group(1))
    return b"%010d %s" % (off + delta if off > at else off, entry.group(2))
x = data.rindex(b"\nxref\n") + 1
head, tail = data[:x], data[x:]
tail = re.sub(rb"(\d{10}) (\d{5} n)", fix, tail)
tail = re.sub(rb"startxref\n(\d+)", lambda s: b"startxref\n%d" % (int(s.group(1)) + delta), tail)
open(sys.argv[2], "wb").write(head + tail)
PY

# /V 2 without /Length: same length of text, so no offset moves.
python3 - "$out/sec_rc4_40.pdf" "$out/sec_rc4_40_v2nolength.pdf" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
assert data.count(b"/Length 40 ") == 1 and data.count(b"/V 1 ") == 1
data = data.replace(b"/Length 40 ", b" " * 11).replace(b"/V 1 ", b"/V 2 ")
open(sys.argv[2], "wb").write(data)
PY

# A 128-bit file with /P 65532 (all rights, upper half zero).
python3 - "$out/sec_rc4_128_p16.pdf" <<'PY'
import hashlib, sys
PAD = bytes.fromhex("28BF4E5E4E758A4164004E56FFFA01082E2E00B6D0683E802F0CA9FE6453697A")
def rc4(key, data):
    s = list(range(256)); j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 255; s[i], s[j] = s[j], s[i]
    i = j = 0; out = bytearray()
    for b in data:
        i = (i + 1) & 255; j = (j + s[i]) & 255; s[i], s[j] = s[j], s[i]
        out.append(b ^ s[(s[i] + s[j]) & 255])
    return bytes(out)
md5 = lambda b: hashlib.md5(b).digest()
pad = lambda p: (p[:32] + PAD)[:32]
user, owner, P = b"user", b"owner", 65532
fid = bytes.fromhex("0123456789abcdef0123456789abcdef")
d = md5(pad(owner))
for _ in range(50): d = md5(d)
O = rc4(d[:16], pad(user))
for i in range(1, 20): O = rc4(bytes(c ^ i for c in d[:16]), O)
d = md5(pad(user) + O + P.to_bytes(4, "little") + fid)
for _ in range(50): d = md5(d)
key = d[:16]
U = rc4(key, md5(PAD + fid))
for i in range(1, 20): U = rc4(bytes(c ^ i for c in key), U)
U += bytes(16)
def objkey(n): return md5(key + n.to_bytes(3, "little") + b"\0\0")[:16]
title = rc4(objkey(5), b"Security fixture title")
author = rc4(objkey(5), b"Parvex tests")
stream = rc4(objkey(4), b"BT /F1 12 Tf 72 720 Td (Hello, world) Tj ET")
objs = [
    b"<< /Type /Catalog /Pages 2 0 R >>",
    b"<< /Type /Pages /Kids [ 3 0 R ] /Count 1 >>",
    b"<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 612 792 ] /Contents 4 0 R >>",
    b"<< /Length %d >>\nstream\n" % len(stream) + stream + b"\nendstream",
    b"<< /Title <" + title.hex().encode() + b"> /Author <" + author.hex().encode() + b"> >>",
    b"<< /Filter /Standard /V 2 /R 3 /Length 128 /O <" + O.hex().encode() + b"> /U <" + U.hex().encode() + b"> /P %d >>" % P,
]
out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
offsets = []
for i, body in enumerate(objs, 1):
    offsets.append(len(out))
    out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
for o in offsets: out += b"%010d 00000 n \n" % o
out += b"trailer\n<< /Size %d /Root 1 0 R /Info 5 0 R /Encrypt 6 0 R /ID [<%s> <%s>] >>\nstartxref\n%d\n%%%%EOF\n" % (
    len(objs) + 1, fid.hex().encode(), fid.hex().encode(), xref)
open(sys.argv[1], "wb").write(out)
PY

# The peers' answers, one row per file.
python3 - "$out" "$long40" >"$out/sec_fixtures.txt" <<'PY'
import json, re, subprocess, sys
out, long40 = sys.argv[1], sys.argv[2]
TITLE = "Security fixture title"
rows = [  # name, user password, owner password
    ("sec_rc4_40", "user", "owner"),
    ("sec_rc4_40_denied", "user", "owner"),
    ("sec_rc4_40_nopw", "", ""),
    ("sec_rc4_40_longpw", long40, "owner"),
    ("sec_rc4_40_unsignedp", "user", "owner"),
    ("sec_rc4_40_v2nolength", "user", "owner"),
    ("sec_rc4_128", "user", "owner"),
    ("sec_rc4_128_denied", "user", "owner"),
    ("sec_rc4_128_restricted", "user", "owner"),
    ("sec_rc4_128_emptyuser", "", "owner"),
    ("sec_rc4_128_emptyowner", "user", ""),
    ("sec_rc4_128_longowner", "user", long40),
    ("sec_rc4_128_p16", "user", "owner"),
]

def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout

def encrypted_title(path, info):
    # The title as the file stores it (every writer here puts it in hex form).
    text = open(path, "rb").read()
    body = re.search(rb"\n%d 0 obj\n(.*?)endobj" % info, text, re.S).group(1)
    return re.search(rb"/Title <([0-9a-fA-F]+)>", body).group(1).decode().lower()

def qpdf_row(path, user, owner):
    # qpdf must accept both passwords; the owner password recovers the user password.
    got = json.loads(run("qpdf", "--json=2", "--json-key=encrypt", "--json-key=qpdf", "--show-encryption-key",
                         "--password=" + (owner or user), path))
    assert got["encrypt"]["recovereduserpassword"] in (None, user[:32]), path
    got = json.loads(run("qpdf", "--json=2", "--json-key=encrypt", "--json-key=qpdf", "--show-encryption-key",
                         "--password=" + user, path))
    assert got["encrypt"]["userpasswordmatched"], path
    p = got["encrypt"]["parameters"]
    objs = got["qpdf"][1]
    trailer = objs["trailer"]["value"]
    info = int(trailer["/Info"].split()[0])
    encrypt = objs["obj:" + trailer["/Encrypt"]]["value"]
    title = objs["obj:%d 0 R" % info]["value"]["/Title"]
    assert title == "u:" + TITLE, (path, title)
    def hexval(s):
        assert s.startswith("b:"), (path, s)  # binary strings come as hex
        return s[2:]
    return dict(R=p["R"], P=p["P"], key=p["key"], id=hexval(trailer["/ID"][0]), O=hexval(encrypt["/O"]),
                U=hexval(encrypt["/U"]), info=info)

def mutool_row(path, user, owner):
    # pdfinfo and mutool open the file with each password and show the title; /O, /U, /P and
    # /ID come from mutool's print of the unencrypted entries. They do not report the key.
    for option, pw in (("-upw", user), ("-opw", owner)):
        assert "Title:           " + TITLE in run("pdfinfo", option, pw, path), path
    trailer = run("mutool", "show", path, "trailer")
    info = int(re.search(r"/Info (\d+) 0 R", trailer).group(1))
    enc = run("mutool", "show", path, re.search(r"/Encrypt (\d+) 0 R", trailer).group(1))
    assert "(" + TITLE + ")" in run("mutool", "show", "-p", user, path, str(info)), path
    hexof = lambda key, text: re.search(r"/%s <([0-9A-Fa-f]+)>" % key, text).group(1).lower()
    return dict(R=int(re.search(r"/R (\d+)", enc).group(1)), P=int(re.search(r"/P (-?\d+)", enc).group(1)),
                key="-", id=re.search(r"/ID \[ <([0-9A-Fa-f]+)>", trailer).group(1).lower(), O=hexof("O", enc),
                U=hexof("U", enc), info=info)

print("# name user owner R P file-key first-ID /O /U info-object encrypted-title plain-title")
print("# (passwords and key '-' when empty or not reported; values from qpdf, or pdfinfo and mutool)")
for name, user, owner in rows:
    path = "%s/%s.pdf" % (out, name)
    r = mutool_row(path, user, owner) if name.endswith("v2nolength") else qpdf_row(path, user, owner)
    print(name, user or "-", owner or "-", r["R"], r["P"], r["key"], r["id"], r["O"], r["U"], r["info"],
          encrypted_title(path, r["info"]), TITLE)
PY
cat "$out/sec_fixtures.txt"
