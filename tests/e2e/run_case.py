#!/usr/bin/env python3
"""Runs one end-to-end case of the kalios program and compares what it did.

A case is a folder holding:
  input.txt         the scripted standard input (one answer per line)
  args.txt          command-line arguments of the program, one per line (optional)
  stdout.txt        expected standard output       (optional)
  stderr.txt        expected standard error        (optional)
  status            expected exit status, default 0 (optional)
  files/            files copied into the fresh working directory first (optional)
  copy.txt          lines "SRC [DEST]": files to copy in, SRC relative to the case
                    folder or, with the prefix "fixtures:", to the fixtures folder (optional)
  expect/           files that must exist afterwards with exactly this content (optional)
  absent.txt        names of files that must not exist afterwards (optional)
  check.py          extra checks: defines check(workdir, stdout, stderr, status,
                    fixtures) and raises AssertionError on a mismatch (optional)
Lines of expected output may hold "{TIMESTAMP}" standing for a ctime-style date.
"""
import argparse
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

TIMESTAMP = r"[A-Z][a-z]{2} [A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d \d{4}"


def matches(expected, actual):
    if "{TIMESTAMP}" not in expected:
        return expected == actual
    pattern = "\\A" + re.escape(expected).replace(re.escape("{TIMESTAMP}"), TIMESTAMP) + "\\Z"
    return re.match(pattern, actual, re.S) is not None


def show_diff(label, expected, actual):
    diff = difflib.unified_diff(expected.splitlines(True), actual.splitlines(True),
                                f"expected {label}", f"actual {label}")
    sys.stdout.write("".join(diff)[:20000] + "\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("binary")
    ap.add_argument("case")
    ap.add_argument("--fixtures", default="")
    ap.add_argument("--keep", action="store_true", help="keep the working directory")
    args = ap.parse_args()
    case = os.path.abspath(args.case)
    ok = True
    work = tempfile.mkdtemp(prefix="kalios-e2e-")
    try:
        files = os.path.join(case, "files")
        if os.path.isdir(files):
            shutil.copytree(files, work, dirs_exist_ok=True)
        copy_list = os.path.join(case, "copy.txt")
        if os.path.exists(copy_list):
            for line in open(copy_list):
                parts = line.split()
                if not parts:
                    continue
                src = parts[0]
                if src.startswith("fixtures:"):
                    src = os.path.join(args.fixtures, src[len("fixtures:"):])
                else:
                    src = os.path.join(case, src)
                dest = os.path.join(work, parts[1] if len(parts) > 1 else os.path.basename(src))
                shutil.copyfile(src, dest)
        with open(os.path.join(case, "input.txt"), "rb") as f:
            stdin = f.read()
        env = dict(os.environ)
        env.setdefault("OMP_NUM_THREADS", "2")
        args_file = os.path.join(case, "args.txt")
        argv = open(args_file).read().split("\n") if os.path.exists(args_file) else []
        argv = [a for a in argv if a]
        proc = subprocess.run([os.path.abspath(args.binary)] + argv, input=stdin, cwd=work,
                              capture_output=True, timeout=600, env=env)
        out = proc.stdout.decode("latin-1")
        err = proc.stderr.decode("latin-1")
        status_file = os.path.join(case, "status")
        want_status = int(open(status_file).read().strip()) if os.path.exists(status_file) else 0
        if proc.returncode != want_status:
            print(f"exit status {proc.returncode}, expected {want_status}")
            ok = False
        for label, actual in (("stdout", out), ("stderr", err)):
            path = os.path.join(case, label + ".txt")
            if os.path.exists(path):
                expected = open(path, "rb").read().decode("latin-1")
                if not matches(expected, actual):
                    show_diff(label, expected, actual)
                    ok = False
        expect = os.path.join(case, "expect")
        if os.path.isdir(expect):
            for root, _, names in os.walk(expect):
                for name in names:
                    rel = os.path.relpath(os.path.join(root, name), expect)
                    got_path = os.path.join(work, rel)
                    want = open(os.path.join(root, name), "rb").read().decode("latin-1")
                    if not os.path.exists(got_path):
                        print(f"missing file {rel}")
                        ok = False
                        continue
                    got = open(got_path, "rb").read().decode("latin-1")
                    if not matches(want, got):
                        show_diff(rel, want, got)
                        ok = False
        absent = os.path.join(case, "absent.txt")
        if os.path.exists(absent):
            for name in open(absent).read().split():
                if os.path.exists(os.path.join(work, name)):
                    print(f"file {name} should not exist")
                    ok = False
        check = os.path.join(case, "check.py")
        if os.path.exists(check):
            scope = {}
            exec(compile(open(check).read(), check, "exec"), scope)
            try:
                scope["check"](work, out, err, proc.returncode, args.fixtures)
            except AssertionError as e:
                print(f"check.py: {e}")
                ok = False
        if not ok:
            print(f"(working directory: {work})" if args.keep else "")
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
