#!/usr/bin/env python3
"""Compares the objects of two PDF files as qpdf reads them (strings and stream data
decrypted, streams not decoded). Every object of the first file must be in the second with
the same value; object streams, cross-reference streams and each file's encryption
dictionary are left out, since a copy rewrites them.

usage: same_objects.py FIRST PASSWORD SECOND PASSWORD   (exit 0 when they agree)
"""
import json
import subprocess
import sys


def objects(path, password):
    out = subprocess.run(
        ["qpdf", "--json=2", "--json-key=qpdf", "--json-stream-data=inline", "--decode-level=none",
         "--password=" + password, path],
        check=False, capture_output=True).stdout
    doc = json.loads(out)["qpdf"][1]
    trailer = doc.get("trailer", {}).get("value", {})
    skip = set()
    if isinstance(trailer.get("/Encrypt"), str):
        skip.add("obj:" + trailer["/Encrypt"])
    result = {}
    for key, value in doc.items():
        if not key.startswith("obj:") or key in skip:
            continue
        stream = value.get("stream")
        if stream is not None:
            if stream["dict"].get("/Type") in ("/ObjStm", "/XRef"):
                continue
            stream["dict"].pop("/Length", None)
        result[key] = value
    return result


def main():
    first, second = objects(sys.argv[1], sys.argv[2]), objects(sys.argv[3], sys.argv[4])
    bad = [k for k, v in first.items() if second.get(k) != v]
    for k in bad[:5]:
        print("differs:", k, json.dumps(first[k])[:300], "|", json.dumps(second.get(k))[:300])
    print("%d objects compared, %d differ" % (len(first), len(bad)))
    sys.exit(1 if bad or not first else 0)


main()
