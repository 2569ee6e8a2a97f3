#!/usr/bin/python3
"""Compares the objects of two PDF files as pikepdf (qpdf) reads them: strings and stream data
decrypted, streams not decoded. Every object of the first file must be in the second under
the same number with the same value: numbers by value, strings by their bytes, names,
arrays, dictionaries, references by object number, stream dictionaries but for /Length, and
stream data byte for byte. Object streams, cross-reference streams and each file's
encryption dictionary are left out, since a copy rewrites them.

usage: same_objects.py FIRST PASSWORD SECOND PASSWORD [--info-may-change KEY,...]
  --info-may-change  the first file's information dictionary may differ in those keys only
                     (set in the second, or changed); every other key keeps its value.
Exit status 0 when they agree; the first differences are printed.
"""
import sys

import pikepdf

SKIPPED_TYPES = {"/ObjStm", "/XRef"}


def value(obj, top=False):
    """A comparable form of a value; references inside containers stay references."""
    if not top and getattr(obj, "is_indirect", False):
        return ("ref", obj.objgen[0])
    if isinstance(obj, pikepdf.Stream):
        d = {k: value(v) for k, v in obj.items() if k != "/Length"}
        return ("stream", d, bytes(obj.read_raw_bytes()))
    if isinstance(obj, pikepdf.Dictionary):
        return ("dict", {k: value(v) for k, v in obj.items()})
    if isinstance(obj, pikepdf.Array):
        return ("array", [value(v) for v in obj])
    if isinstance(obj, pikepdf.Name):
        return ("name", str(obj))
    if isinstance(obj, pikepdf.String):
        return ("string", bytes(obj))
    if isinstance(obj, bool) or obj is None:
        return ("scalar", obj)
    if isinstance(obj, pikepdf.Object) and obj._type_code == pikepdf.ObjectType.null:
        return ("scalar", None)
    try:
        return ("number", float(obj))
    except (TypeError, ValueError):
        return ("other", repr(obj))


def objects(path, password):
    pdf = pikepdf.open(path, password=password, inherit_page_attributes=False)
    skip = set()
    encrypt = pdf.trailer.get("/Encrypt")
    if encrypt is not None and encrypt.is_indirect:
        skip.add(encrypt.objgen[0])
    result = {}
    for obj in pdf.objects:
        if not getattr(obj, "is_indirect", False) or obj.objgen[0] in skip:
            continue
        if isinstance(obj, (pikepdf.Stream, pikepdf.Dictionary)) and str(obj.get("/Type", "")) in SKIPPED_TYPES:
            continue
        result[obj.objgen[0]] = value(obj, top=True)
    info = pdf.trailer.get("/Info")
    return pdf, result, (info.objgen[0] if info is not None and info.is_indirect else None)


def short(v):
    text = repr(v)
    return text if len(text) < 240 else text[:240] + "..."


def main():
    args = sys.argv[1:]
    may_change = set()
    if "--info-may-change" in args:
        at = args.index("--info-may-change")
        may_change = {"/" + k for k in args[at + 1].split(",") if k}
        del args[at:at + 2]
    first_pdf, first, first_info = objects(args[0], args[1])
    second_pdf, second, second_info = objects(args[2], args[3])
    bad = []
    for number, v in first.items():
        w = second.get(number)
        if may_change and number == first_info and w is not None and v[0] == w[0] == "dict":
            keys = set(v[1]) | set(w[1])
            changed = {k for k in keys if v[1].get(k) != w[1].get(k)}
            if changed - may_change:
                bad.append((number, "info keys " + ",".join(sorted(changed - may_change)), v, w))
            continue
        if v != w:
            bad.append((number, "value", v, w))
    if may_change and first_info != second_info and first_info is not None:
        bad.append((first_info, "the trailer names another /Info", first_info, second_info))
    for number, what, v, w in bad[:5]:
        print("differs: object %d (%s): %s | %s" % (number, what, short(v), short(w)))
    print("%d objects compared, %d differ" % (len(first), len(bad)))
    sys.exit(1 if bad or not first else 0)


main()
