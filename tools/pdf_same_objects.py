#!/usr/bin/env python3
"""Compares the objects of two PDF files as qpdf reads them: strings and stream data decrypted,
streams not decoded (qpdf --json=2 with the raw data inline).

Every object of the first file that its trailer reaches must be in the second under the same
object number with an equal value: numbers by value (2 = 2.0, 0.50 = 0.5), strings by their
bytes as qpdf gives them, names, arrays and dictionaries element by element, references by
object number. Stream dictionaries must be equal but for /Length (and /Filter, /DecodeParms
where either side names a /Crypt filter), and raw stream bytes must be equal. Object streams,
cross-reference streams and each file's encryption dictionary are left out, since a copy
rewrites them; so is anything named with --except.

usage: pdf_same_objects.py FIRST PASSWORD SECOND PASSWORD [--except N ...]
Prints the differences (object number, key path, first value vs second value) and exits 0 when
there are none, 1 when there are, 2 when qpdf cannot read a file.
"""
import base64
import decimal
import json
import re
import subprocess
import sys

REF = re.compile(r"^(\d+) (\d+) R$")
SHOW = 70  # characters of a value shown in a difference


class Unreadable(Exception):
    pass


class Text(str):
    """A note shown as it is in a difference, not as a PDF value."""


class Doc:
    """One file as qpdf reads it: objects by number, the trailer, the encryption dictionary."""

    def __init__(self, path, password="", timeout=900):
        self.path = path
        run = subprocess.run(
            ["qpdf", "--json=2", "--json-key=qpdf", "--json-stream-data=inline", "--decode-level=none",
             "--password=" + password, path],
            capture_output=True, timeout=timeout, check=False)
        if run.returncode not in (0, 3) or not run.stdout:
            raise Unreadable("qpdf --json: " + first_line(run.stderr))
        self.warnings = [l for l in run.stderr.decode("utf-8", "replace").splitlines() if "WARNING" in l]
        try:
            body = json.loads(run.stdout, parse_float=decimal.Decimal, parse_int=decimal.Decimal)["qpdf"]
        except (ValueError, KeyError) as e:
            raise Unreadable("qpdf --json output: %s" % e)
        self.version = body[0].get("pdfversion", "")
        self.objects = {}
        for key, value in body[1].items():
            m = re.match(r"^obj:(\d+) \d+ R$", key)
            if m:
                self.objects[int(m.group(1))] = value
        self.trailer = body[1].get("trailer", {}).get("value", {})
        self.encrypt_num = ref_num(self.trailer.get("/Encrypt"))
        self.encrypt = self.value(self.encrypt_num) if self.encrypt_num is not None else \
            self.trailer.get("/Encrypt")
        self.info_num = ref_num(self.trailer.get("/Info"))
        self.root_num = ref_num(self.trailer.get("/Root"))

    def value(self, num):
        obj = self.objects.get(num)
        if obj is None:
            return None
        return obj["stream"]["dict"] if "stream" in obj else obj.get("value")

    def resolve(self, value):
        num = ref_num(value)
        return self.value(num) if num is not None else value

    def info(self):
        """The /Info dictionary with indirect values resolved."""
        info = self.resolve(self.trailer.get("/Info"))
        if not isinstance(info, dict):
            return {}
        return {k: self.resolve(v) for k, v in info.items()}

    def rewritten(self, num):
        """Objects a copy rebuilds rather than copies."""
        if num == self.encrypt_num:
            return True
        obj = self.objects.get(num)
        return obj is not None and "stream" in obj and obj["stream"]["dict"].get("/Type") in ("/ObjStm", "/XRef")

    def reachable(self):
        """Object numbers reached from the trailer (its /Encrypt aside)."""
        seen, todo = set(), [v for k, v in self.trailer.items() if k != "/Encrypt"]
        while todo:
            v = todo.pop()
            if isinstance(v, str):
                n = ref_num(v)
                if n is not None and n not in seen and n in self.objects:
                    seen.add(n)
                    obj = self.objects[n]
                    todo.append(obj["stream"]["dict"] if "stream" in obj else obj.get("value"))
            elif isinstance(v, dict):
                todo.extend(v.values())
            elif isinstance(v, list):
                todo.extend(v)
        return seen


def first_line(data):
    text = data.decode("utf-8", "replace") if isinstance(data, bytes) else data
    lines = [l for l in text.splitlines() if l.strip()]
    return lines[0][:200] if lines else "(no message)"


def ref_num(value):
    if isinstance(value, str):
        m = REF.match(value)
        if m:
            return int(m.group(1))
    return None


def pdf_text(value):
    """A value as qpdf's JSON holds it, written back in the file's own notation."""
    if isinstance(value, dict):
        return "<< " + " ".join("%s %s" % (k, pdf_text(v)) for k, v in value.items()) + " >>"
    if isinstance(value, list):
        return "[" + " ".join(pdf_text(v) for v in value) + "]"
    if isinstance(value, str):
        n = ref_num(value)
        return "%d R" % n if n is not None else value
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def show(value):
    text = value if isinstance(value, Text) else pdf_text(value)
    return text if len(text) <= SHOW else text[:SHOW - 3] + "..."


def same(a, b):
    """Equal as PDF values: numbers by value, references by object number."""
    if isinstance(a, decimal.Decimal) and isinstance(b, decimal.Decimal):
        return a == b
    if isinstance(a, str) and isinstance(b, str):
        na, nb = ref_num(a), ref_num(b)
        if na is not None or nb is not None:
            return na == nb
        return a == b
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k]) for k in a)
    return type(a) is type(b) and a == b


def diff_values(a, b, path, out):
    """Appends (path, a, b) for the innermost places where a and b differ."""
    if same(a, b):
        return
    if isinstance(a, dict) and isinstance(b, dict):
        for k in sorted(set(a) | set(b)):
            if k not in b:
                out.append((path + k, a[k], Text("(missing)")))
            elif k not in a:
                out.append((path + k, Text("(absent)"), b[k]))
            else:
                diff_values(a[k], b[k], path + k, out)
        return
    if isinstance(a, list) and isinstance(b, list) and len(a) == len(b):
        for i, (x, y) in enumerate(zip(a, b)):
            diff_values(x, y, "%s[%d]" % (path, i), out)
        return
    out.append((path or "(value)", a, b))


def crypt_filtered(d):
    f = d.get("/Filter")
    return f == "/Crypt" or (isinstance(f, list) and "/Crypt" in f)


def diff_stream(a, b, out):
    da, db = dict(a["dict"]), dict(b["dict"])
    ignore = {"/Length"}
    if crypt_filtered(da) or crypt_filtered(db):
        ignore |= {"/Filter", "/DecodeParms"}
    for k in ignore:
        da.pop(k, None)
        db.pop(k, None)
    diff_values(da, db, "", out)
    ra, rb = base64.b64decode(a.get("data", "")), base64.b64decode(b.get("data", ""))
    if ra != rb:
        at = next((i for i, (x, y) in enumerate(zip(ra, rb)) if x != y), min(len(ra), len(rb)))
        out.append(("(stream data)", Text("%d bytes" % len(ra)),
                    Text("%d bytes, first difference at byte %d: %r vs %r"
                         % (len(rb), at, ra[at:at + 12], rb[at:at + 12]))))


def compare(first, second, exempt=(), notes=None):
    """Differences between the objects of two Docs, as (object number, path, first, second)
    rows in object order; objects of the first that its trailer does not reach may be absent
    from the second, and its linearization dictionary may be emptied, since a copy is not
    laid out for page-at-a-time reading any more (told in notes). Returns (rows, objects compared)."""
    rows, count = [], 0
    reached = first.reachable()
    for num in sorted(first.objects):
        if num in exempt or first.rewritten(num):
            continue
        a = first.objects[num]
        b = second.objects.get(num)
        if num not in reached and isinstance(a.get("value"), dict) and "/Linearized" in a["value"] \
                and (b is None or b.get("value") in ({}, None)):
            if notes is not None:
                notes.append("linearization dictionary %s" % ("dropped" if b is None else "emptied"))
            continue
        if b is None or second.rewritten(num):
            if num in reached and ("stream" in a or a.get("value") is not None):  # missing reads as null
                rows.append((num, "", Text("stream") if "stream" in a else a.get("value"), Text("(missing)")))
            continue
        count += 1
        found = []
        if ("stream" in a) != ("stream" in b):
            found.append(("", Text("stream") if "stream" in a else a.get("value"),
                          Text("stream") if "stream" in b else b.get("value")))
        elif "stream" in a:
            diff_stream(a["stream"], b["stream"], found)
        else:
            diff_values(a.get("value"), b.get("value"), "", found)
        rows.extend((num, p, x, y) for p, x, y in found)
    return rows, count


def describe(row):
    num, path, a, b = row
    return "obj %d%s: %s vs %s" % (num, " " + path if path else "", show(a), show(b))


def main(argv):
    args, exempt = argv[1:], set()
    if "--except" in args:
        i = args.index("--except")
        exempt = {int(n) for n in args[i + 1:]}
        args = args[:i]
    if len(args) != 4:
        print(__doc__.strip().split("\n\n")[-1], file=sys.stderr)
        return 2
    try:
        first, second = Doc(args[0], args[1]), Doc(args[2], args[3])
    except Unreadable as e:
        print("cannot read:", e)
        return 2
    rows, count = compare(first, second, exempt)
    for row in rows[:20]:
        print(describe(row))
    print("%d objects compared, %d differences" % (count, len(rows)))
    return 1 if rows or not count else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
