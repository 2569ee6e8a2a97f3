#!/usr/bin/env bash
# Makes the fixtures of the security tests in tests/data/sec_*.pdf:
#  - a small plain PDF written here, with a known /Title in its information dictionary;
#  - RC4 copies of it encrypted by qpdf at 40 and 128 bits with known passwords and rights;
#  - a copy whose /P is rewritten as the unsigned 32-bit number of the same bits (offsets repaired);
#  - a 128-bit file whose /P is a positive 16-bit number (65532), written by the small
#    independent implementation below and checked with qpdf;
# and tests/data/sec_fixtures.txt: for each file, the file key qpdf reports for its user password.
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

enc() {  # name user owner bits [restrictions...]
  local name=$1 user=$2 owner=$3 bits=$4
  shift 4
  local aes=()
  [ "$bits" = 128 ] && aes=(--use-aes=n)
  qpdf --allow-weak-crypto --encrypt "$user" "$owner" "$bits" "${aes[@]}" "$@" -- \
    "$tmp/plain.pdf" "$out/$name.pdf"
}
enc sec_rc4_40 user owner 40
enc sec_rc4_40_denied user owner 40 --print=n --modify=n --extract=n --annotate=n
enc sec_rc4_128 user owner 128
enc sec_rc4_128_restricted user owner 128 --print=low --modify=none --extract=n --annotate=n --accessibility=n --assemble=n --form=n
enc sec_rc4_128_emptyuser "" owner 128
enc sec_rc4_128_emptyowner user "" 128
enc sec_rc4_40_longpw "0123456789abcdefghijklmnopqrstuvwxyzABCD" owner 40

# The same bits of /P written unsigned: the key does not change, only the text and the offsets.
python3 - "$out/sec_rc4_40_denied.pdf" "$out/sec_rc4_40_unsignedp.pdf" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
m = re.search(rb"/P (-\d+)", data)
unsigned = int(m.group(1)) + 2**32
new = b"/P %d" % unsigned
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

# A 128-bit file with /P 65532 (all rights, upper half zero), written by this small independent
# implementation of the key algorithms; qpdf must open it with both passwords.
python3 - "$tmp/plain.pdf" "$out/sec_rc4_128_p16.pdf" <<'PY'
import hashlib, re, sys
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
src = open(sys.argv[1], "rb").read()
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
open(sys.argv[2], "wb").write(out)
PY

# The peer's answers: file key for the user password, and the decrypted title.
{
  echo "# file user-password owner-password file-key-hex info-object (as qpdf reports them)"
  while read -r name user owner; do
    [ "$user" = "-" ] && user=""
    [ "$owner" = "-" ] && owner=""
    qpdf --check --password="${owner:-$user}" "$out/$name.pdf" >/dev/null
    key=$(qpdf --show-encryption-key --show-encryption --password="$user" "$out/$name.pdf" | sed -n 's/^Encryption key = //p')
    info=$(qpdf --password="$user" --show-object=trailer "$out/$name.pdf" | sed -n 's|.*/Info \([0-9]*\) 0 R.*|\1|p')
    title=$(qpdf --password="$user" --show-object="$info" "$out/$name.pdf")
    case "$title" in *"Security fixture title"*) ;; *) echo "unexpected title in $name: $title" >&2; exit 1 ;; esac
    echo "$name ${user:--} ${owner:--} $key $info"
  done <<'LIST'
sec_rc4_40 user owner
sec_rc4_40_denied user owner
sec_rc4_128 user owner
sec_rc4_128_restricted user owner
sec_rc4_128_emptyuser - owner
sec_rc4_128_emptyowner user -
sec_rc4_40_longpw 0123456789abcdefghijklmnopqrstuvwxyzABCD owner
sec_rc4_40_unsignedp user owner
sec_rc4_128_p16 user owner
LIST
} >"$out/sec_fixtures.txt"
cat "$out/sec_fixtures.txt"
