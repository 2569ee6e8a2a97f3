#!/usr/bin/env python3
"""Runs parvex-cli's encrypt, decrypt and set-info over every PDF of the real-file corpus and
judges each result through qpdf's reading (see pdf_same_objects.py).

For each corpus file:
  encrypt-40, encrypt-128  encrypt with user password u and owner password o; qpdf --check must
                           accept the copy with either password (and tell which one it is), the
                           encryption dictionary must have the asked strength, and the copy's
                           objects must equal the source's;
  decrypt                  the 128-bit copy decrypted with u: no /Encrypt, the source's objects;
  set-info                 --author AUTHOR --output: the same objects but the /Info dictionary,
                           in which only /Author (now AUTHOR) and /ModDate may have changed.
Each check also reads the copy's header: a copy keeps the source's PDF version, raised to 1.4
at most (an encrypted copy at least 1.4), so 'hdr' shows "ok" or SOURCE>COPY with LOW or HIGH.

usage: corpus_check.py BUILD_DIR CORPUS_DIR [--jobs N] [--only TEXT] [--keep DIR]
Prints one line per file and check, then a summary; exits 0 when every check passed, 1 if not.
"""
import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pdf_same_objects as so  # noqa: E402

AUTHOR = "Corpus check (\u00fc)"
CHECKS = ("encrypt-40", "encrypt-128", "decrypt", "set-info")
SHOWN = 4        # differences shown on a failing line
TIMEOUT = 900    # seconds for any one program run


class Result:
    def __init__(self, check):
        self.check, self.problems, self.notes, self.header, self.header_bad = check, [], [], "", False

    def failed(self):
        return bool(self.problems)


def run(cmd):
    try:
        p = subprocess.run(cmd, capture_output=True, timeout=TIMEOUT, check=False)
        return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        return -1, "", "timed out after %d s" % TIMEOUT


def header_version(path):
    with open(path, "rb") as f:
        m = re.search(rb"%PDF-(\d)\.(\d)", f.read(1024))
    return (int(m.group(1)), int(m.group(2))) if m else None


def vtext(v):
    return "%d.%d" % v if v else "none"


def judge_header(res, src_path, out_path, floor=(1, 0)):
    """A copy keeps the source's version; it may raise it to 1.4 (encryption needs at least that)."""
    src, out = header_version(src_path), header_version(out_path)
    low = max(src or (1, 0), floor)
    high = max(src or (1, 4), (1, 4))
    if out is not None and low <= out <= high:
        res.header = "ok"
    else:
        res.header = "%s>%s %s" % (vtext(src), vtext(out), "LOW" if out is None or out < low else "HIGH")
        res.header_bad = True


def quiet_warning(line):
    """A qpdf warning without the file name and byte offsets, to match a copy's against the source's."""
    line = re.sub(r"^WARNING: .*?(: |\()", r"\1", line)
    return re.sub(r"offset \d+", "offset", line)


def source_warnings(path):
    code, out, err = run(["qpdf", "--check", path])
    return {quiet_warning(l) for l in (out + err).splitlines() if l.startswith("WARNING")}


def qpdf_check(res, path, password, kind, tolerated):
    code, out, err = run(["qpdf", "--check", "--password=" + password, path])
    text = out + err
    if code == 2 or code < 0:
        res.problems.append("qpdf --check --password=%s: %s" % (password, so.first_line(
            "\n".join(l for l in text.splitlines() if not l.startswith("checking")) or text)))
        return
    new = [l for l in text.splitlines() if l.startswith("WARNING") and quiet_warning(l) not in tolerated]
    if new:
        res.problems.append("qpdf --check --password=%s warns: %s" % (password, new[0][:160]))
    if kind and ("Supplied password is %s password" % kind) not in text:
        res.problems.append("qpdf does not take %r as the %s password" % (password, kind))


def parvex(res, cmd):
    code, out, err = run(cmd)
    warnings = [l for l in err.splitlines() if l.startswith("warning:")]
    if warnings:
        res.notes.append("parvex " + warnings[0][:100])
    if code != 0:
        res.problems.append("parvex-cli %s exit %d: %s" % (cmd[1], code, so.first_line(err or out)))
        return False
    return True


def read(res, path, password):
    try:
        return so.Doc(path, password, TIMEOUT)
    except (so.Unreadable, OSError, subprocess.TimeoutExpired) as e:
        res.problems.append("qpdf cannot read the copy: %s" % e)
        return None


def make_copy(res, cmd, src_path, out_path, tolerated, passwords, floor=(1, 0)):
    """Runs one parvex-cli command that writes out_path, then judges the copy's header and
    qpdf --check with each (password, kind); the copy as qpdf reads it with the first password,
    or None when something failed first."""
    if not parvex(res, cmd):
        return None
    judge_header(res, src_path, out_path, floor)
    for password, kind in passwords:
        qpdf_check(res, out_path, password, kind, tolerated)
    return read(res, out_path, passwords[0][0])


def compare_copy(res, src, out):
    """An encrypted or decrypted copy: the same /Info object, and the source's objects."""
    if src.info_num != out.info_num:
        res.problems.append("trailer /Info: %s R vs %s R" % (src.info_num, out.info_num))
    compare(res, src, out)


def compare(res, src, out, exempt=()):
    notes = []
    rows, count = so.compare(src, out, exempt, notes)
    res.problems.extend(so.describe(r) for r in rows)
    if src.root_num != out.root_num:
        res.problems.append("trailer /Root: %s R vs %s R" % (src.root_num, out.root_num))
    res.notes[:0] = ["%d objects" % count] + notes


def check_encrypt(cli, src_path, src, tolerated, bits, out_path):
    res = Result("encrypt-%d" % bits)
    cmd = [cli, "encrypt", src_path, out_path, "--user-password", "u", "--owner-password", "o",
           "--strength", str(bits), "--quiet"]
    out = make_copy(res, cmd, src_path, out_path, tolerated, [("u", "user"), ("o", "owner")], (1, 4))
    if out is None:
        return res
    enc = out.encrypt if isinstance(out.encrypt, dict) else {}
    want = {"/V": 1, "/R": 2} if bits == 40 else {"/V": 2, "/R": 3, "/Length": 128}
    for key, value in want.items():
        if enc.get(key) != value:
            res.problems.append("encryption %s: %s, wanted %s" % (key, enc.get(key), value))
    compare_copy(res, src, out)
    return res


def check_decrypt(cli, src_path, src, tolerated, enc_path, out_path):
    res = Result("decrypt")
    if not os.path.exists(enc_path):
        res.problems.append("no 128-bit copy to decrypt")
        return res
    cmd = [cli, "decrypt", enc_path, out_path, "--password", "u", "--quiet"]
    out = make_copy(res, cmd, src_path, out_path, tolerated, [("", None)])
    if out is None:
        return res
    if "/Encrypt" in out.trailer:
        res.problems.append("trailer still has /Encrypt")
    compare_copy(res, src, out)
    return res


def check_set_info(cli, src_path, src, tolerated, out_path):
    res = Result("set-info")
    cmd = [cli, "set-info", src_path, "--author", AUTHOR, "--output", out_path]
    out = make_copy(res, cmd, src_path, out_path, tolerated, [("", None)])
    if out is None:
        return res
    # The information dictionary and the strings it points to are judged by key below.
    exempt = {n for n in (src.info_num, out.info_num) if n is not None}
    for doc in (src, out):
        info = doc.resolve(doc.trailer.get("/Info"))
        if isinstance(info, dict):
            exempt |= {n for n in map(so.ref_num, info.values()) if n is not None}
    # A saved file is no longer linearized: its linearization dictionary is emptied (its
    # offsets and hint tables would be wrong), and nothing else of it may change.
    for num in list(src.objects):
        value = src.value(num)
        if isinstance(value, dict) and "/Linearized" in value:
            exempt.add(num)
            if out.value(num) not in ({}, None):
                res.problems.append("linearization dictionary %d kept: %s" % (num, so.show(out.value(num))))
            res.notes.append("linearization dictionary emptied")
    before, after = src.info(), out.info()
    changed = sorted(k for k in set(before) | set(after) if not so.same(before.get(k), after.get(k)))
    if after.get("/Author") != "u:" + AUTHOR:
        res.problems.append("info /Author: %s, wanted %s" % (so.show(after.get("/Author")), AUTHOR))
    for k in changed:
        if k not in ("/Author", "/ModDate"):
            res.problems.append("info %s: %s vs %s" % (k, so.show(before.get(k, so.Text("(absent)"))),
                                                       so.show(after.get(k, so.Text("(missing)")))))
    compare(res, src, out, exempt)
    res.notes.append("info changed " + (" ".join(changed) or "nothing"))
    return res


def check_file(cli, path, keep):
    started = time.time()
    work = tempfile.mkdtemp(prefix="parvex-corpus-")
    results = []
    try:
        res = Result("source")
        try:
            src = so.Doc(path, "", TIMEOUT)
        except (so.Unreadable, subprocess.TimeoutExpired) as e:
            res.problems.append("qpdf cannot read the source: %s" % e)
            return path, [res], time.time() - started
        tolerated = source_warnings(path)
        out = {c: os.path.join(work, c + ".pdf") for c in CHECKS}
        results.append(check_encrypt(cli, path, src, tolerated, 40, out["encrypt-40"]))
        results.append(check_encrypt(cli, path, src, tolerated, 128, out["encrypt-128"]))
        results.append(check_decrypt(cli, path, src, tolerated, out["encrypt-128"], out["decrypt"]))
        results.append(check_set_info(cli, path, src, tolerated, out["set-info"]))
        if keep and any(r.failed() or r.header_bad for r in results):
            dest = os.path.join(keep, os.path.basename(path)[:-4])
            shutil.rmtree(dest, ignore_errors=True)
            shutil.copytree(work, dest)
        return path, results, time.time() - started
    finally:
        shutil.rmtree(work, ignore_errors=True)


def line(path, res):
    status = "FAIL" if res.failed() else "PASS"
    text = "%s  %-11s hdr %-13s %-58s" % (status, res.check, res.header or "-", os.path.basename(path))
    if res.failed():
        more = len(res.problems) - SHOWN
        text += " " + "; ".join(res.problems[:SHOWN]) + (" (+%d more)" % more if more > 0 else "")
    else:
        text += " " + ", ".join(res.notes)
    return text


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("build")
    ap.add_argument("corpus")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--only", action="append", help="check only files whose name holds this text")
    ap.add_argument("--keep", help="keep the copies of files with a failing check under this folder")
    args = ap.parse_args()

    cli = os.path.join(os.path.abspath(args.build), "parvex-cli")
    if not os.access(cli, os.X_OK):
        print("corpus_check: %s not found; build the project first" % cli)
        return 1
    if shutil.which("qpdf") is None:
        print("corpus_check: qpdf not found (tools/bootstrap.sh installs it)")
        return 1
    pdf_dir = os.path.join(args.corpus, "pdf")
    files = sorted(os.path.join(pdf_dir, f) for f in os.listdir(pdf_dir) if f.endswith(".pdf"))
    if args.only:
        files = [f for f in files if any(t in os.path.basename(f) for t in args.only)]
    if not files:
        print("corpus_check: no corpus files in %s" % pdf_dir)
        return 1
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)

    started = time.time()
    tally = {}
    header_bad = failed_files = 0
    repaired = set()
    # Largest first, so that the two workers finish together.
    files.sort(key=os.path.getsize, reverse=True)
    print("corpus_check: %d files, %d workers, parvex-cli from %s" % (len(files), args.jobs, args.build), flush=True)
    with concurrent.futures.ProcessPoolExecutor(max_workers=args.jobs) as pool:
        futures = [pool.submit(check_file, cli, f, args.keep) for f in files]
        for fut in concurrent.futures.as_completed(futures):
            path, results, seconds = fut.result()
            for res in results:
                print(line(path, res))
                passed, failed = tally.get(res.check, (0, 0))
                tally[res.check] = (passed + (not res.failed()), failed + res.failed())
                header_bad += res.header_bad
                if any(n.startswith("parvex warning") for n in res.notes):
                    repaired.add(os.path.basename(path))
            failed_files += any(r.failed() or r.header_bad for r in results)
            sys.stdout.flush()

    print()
    for check in ("source",) + CHECKS:
        if check in tally:
            print("  %-12s %3d passed, %3d failed" % (check, *tally[check]))
    print("  headers      %3d copies whose header is below the source's version or above max(source, 1.4)" % header_bad)
    if repaired:
        print("  parvex-cli warned (repaired) on: " + " ".join(sorted(repaired)))
    passed = sum(p for p, f in tally.values())
    failed = sum(f for p, f in tally.values())
    print("  %d of %d files with every check passing, %.0f s" % (len(files) - failed_files, len(files), time.time() - started))
    print("corpus: %d passed, %d failed" % (passed, failed))
    return 1 if failed or header_bad else 0


if __name__ == "__main__":
    sys.exit(main())
