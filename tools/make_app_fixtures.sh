#!/usr/bin/env bash
# Writes the window's fixtures into tests/data:
#   app_plain.pdf   two US Letter pages with all six information entries, unencrypted
#   app_rc4_128.pdf the same, 128-bit RC4, user password "user", owner password "owner",
#                   printing allowed, changing, copying and annotating not
#   app_rc4_40.pdf  the same, 40-bit RC4, same passwords, nothing allowed
# The plain file is written here by hand and tidied by qpdf; qpdf encrypts the other two.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/tests/data"
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

page_text='BT /F1 24 Tf 72 700 Td (Parvex window fixture) Tj ET'
cat > "$tmp/hand.pdf" <<PDF
%PDF-1.4
1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj
2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >> endobj
3 0 obj << /Type /Page /Parent 2 0 R /Contents 5 0 R /Resources << /Font << /F1 6 0 R >> >> >> endobj
4 0 obj << /Type /Page /Parent 2 0 R /Contents 5 0 R /Resources << /Font << /F1 6 0 R >> >> >> endobj
5 0 obj << /Length ${#page_text} >>
stream
${page_text}
endstream
endobj
6 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> endobj
7 0 obj << /Title (Window fixture) /Author (Parvex tests) /Subject (Two pages) /Keywords (window fixture)
  /Creator (make_app_fixtures.sh) /Producer (qpdf) >> endobj
trailer << /Root 1 0 R /Info 7 0 R /Size 8 >>
%%EOF
PDF

# qpdf rebuilds the missing cross-reference table; --static-id keeps the output the same each run.
qpdf --static-id "$tmp/hand.pdf" "$out/app_plain.pdf" 2>/dev/null || [ $? -eq 3 ]
qpdf --static-id --allow-weak-crypto --encrypt user owner 128 --use-aes=n --print=full --modify=none --extract=n --annotate=n \
  -- "$out/app_plain.pdf" "$out/app_rc4_128.pdf"
qpdf --static-id --allow-weak-crypto --encrypt user owner 40 --print=n --modify=n --extract=n --annotate=n \
  -- "$out/app_plain.pdf" "$out/app_rc4_40.pdf"
qpdf --check "$out/app_rc4_128.pdf" --password=user >/dev/null
