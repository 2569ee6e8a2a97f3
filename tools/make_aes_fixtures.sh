#!/usr/bin/env bash
# Makes the fixtures of the AES security tests, tests/data/aes_*.pdf: copies of
# tests/data/sample.pdf (its /Info /Title is "Parvex sample") encrypted by qpdf.
#
#   file                  R  V  method  user         owner        other
#   aes_r4                4  4  AESV2   user         owner
#   aes_r4_cleartext      4  4  AESV2   user         owner        /EncryptMetadata false
#   aes_r4_emptyuser      4  4  AESV2   (empty)      owner
#   aes_r4_unicode        4  4  AESV2   é            €uro         qpdf hashes PDFDocEncoding bytes
#   aes_r4_utf8bytes      4  4  AESV2   日本         owner        no PDFDocEncoding form: raw UTF-8
#   aes_r4_rc4cf          4  4  V2      user         owner        RC4 through a crypt filter
#   aes_r5                5  5  AESV3   user         owner
#   aes_r6                6  5  AESV3   user         owner
#   aes_r6_emptyuser      6  5  AESV3   (empty)      owner
#   aes_r6_cleartext      6  5  AESV3   user         owner        /EncryptMetadata false
#   aes_r6_unicode        6  5  AESV3   日本         é€
#   aes_r6_longpw         6  5  AESV3   127 bytes    owner        longer passwords are cut to 127
#   aes_r6_denied         6  5  AESV3   user         owner        printing, changes and copying denied
#
# --allow-weak-crypto lets qpdf write RC4 and revision 5. --static-id and --static-aes-iv make
# the revision 4 files the same from run to run; at revisions 5 and 6 qpdf draws the file key
# and the salts at random, so those files change with every run (the tests read every entry
# from the files themselves).
# Needs qpdf.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src="$root/tests/data/sample.pdf"
out="$root/tests/data"
# 127 bytes, the most a password of revision 6 holds. (qpdf 11 hashes a longer password
# uncut when it writes, and cuts it to 127 bytes when it reads, so it cannot open such a file.)
long127=$(printf 'abcdefghij%.0s' $(seq 13) | cut -c1-127)

enc() {  # name user owner bits [options...]
  local name=$1 user=$2 owner=$3 bits=$4
  shift 4
  qpdf --static-id --static-aes-iv --allow-weak-crypto --encrypt "$user" "$owner" "$bits" "$@" -- "$src" "$out/$name.pdf"
}
enc aes_r4 user owner 128 --use-aes=y
enc aes_r4_cleartext user owner 128 --use-aes=y --cleartext-metadata
enc aes_r4_emptyuser "" owner 128 --use-aes=y
enc aes_r4_unicode "é" "€uro" 128 --use-aes=y
# --password-mode=bytes: qpdf takes the UTF-8 bytes as they are (and does not warn).
qpdf --password-mode=bytes --static-id --static-aes-iv --encrypt "日本" owner 128 --use-aes=y -- "$src" \
  "$out/aes_r4_utf8bytes.pdf"
enc aes_r4_rc4cf user owner 128 --use-aes=n --force-V4
enc aes_r5 user owner 256 --force-R5
enc aes_r6 user owner 256
enc aes_r6_emptyuser "" owner 256
enc aes_r6_cleartext user owner 256 --cleartext-metadata
enc aes_r6_unicode "日本" "é€" 256
enc aes_r6_longpw "$long127" owner 256
enc aes_r6_denied user owner 256 --print=none --modify=none --extract=n

# qpdf takes each password as what the table says it is.
check() {  # name password user|owner
  qpdf --show-encryption --password="$2" "$out/$1.pdf" | grep "^Supplied password is $3 password" >/dev/null ||
    { echo "$1: qpdf does not take '$2' as $3 password" >&2; exit 1; }
}
for f in aes_r4 aes_r4_cleartext aes_r4_rc4cf aes_r5 aes_r6 aes_r6_cleartext aes_r6_denied; do
  check $f user user
  check $f owner owner
done
check aes_r4_emptyuser owner owner
check aes_r4_unicode "é" user
check aes_r4_unicode "€uro" owner
check aes_r4_utf8bytes owner owner
check aes_r6_emptyuser owner owner
check aes_r6_unicode "日本" user
check aes_r6_unicode "é€" owner
check aes_r6_longpw "$long127" user
ls -l "$out"/aes_*.pdf
