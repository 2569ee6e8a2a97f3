#!/usr/bin/python3
"""Prints one line per page of a PDF: the SHA-256 of each of its content streams as stored
(raw, still filtered), in order, separated by blanks; a stream with no data prints "empty".
Usage: page_contents.py FILE [PASSWORD]"""
import hashlib
import sys

import pikepdf

with pikepdf.open(sys.argv[1], password=sys.argv[2] if len(sys.argv) > 2 else "") as pdf:
    for page in pdf.pages:
        contents = page.obj.get("/Contents")
        streams = [] if contents is None else list(contents) if isinstance(contents, pikepdf.Array) else [contents]
        raw = [stream.read_raw_bytes() for stream in streams]
        print(" ".join(hashlib.sha256(data).hexdigest() if data else "empty" for data in raw))
