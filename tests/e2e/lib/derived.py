"""Checks of a session made from other sessions, against a scenario of tests/fixtures/derived."""
import json
import os
import subprocess
import sys


def _compare(fixtures, expected, formda, extra=()):
    # The comparison travels with the scenarios it checks.
    compare = os.path.join(fixtures, "derived", "compare_formda.py")
    proc = subprocess.run([sys.executable, compare, expected, formda, *extra],
                          capture_output=True, text=True)
    bad = [line for line in proc.stdout.splitlines() if line.startswith(("FAIL", "WARN"))]
    return proc.returncode, bad


def check_scenario(workdir, stdout, stderr, status, fixtures, scenario):
    here = os.path.join(fixtures, "derived", scenario)
    # The source sessions first: a fault there lies in the formatting of raw data.
    sources = os.path.join(here, "sources")
    for name in sorted(os.listdir(sources)):
        session = name[:-len(".json")]
        rc, bad = _compare(fixtures, os.path.join(sources, name), os.path.join(workdir, session + "Formda.txt"))
        assert rc == 0, f"source session {session}: {bad}"
    for label, text in (("stdout", stdout), ("stderr", stderr)):
        with open(os.path.join(workdir, label + ".captured"), "w", encoding="latin-1") as f:
            f.write(text)
    expected = os.path.join(here, "expected.json")
    formda = os.path.join(workdir, json.load(open(expected))["formda_file"])
    rc, bad = _compare(fixtures, expected, formda, ("--stdout", os.path.join(workdir, "stdout.captured"),
                                                    "--stderr", os.path.join(workdir, "stderr.captured"),
                                                    "--rc", str(status)))
    assert rc == 0, f"{scenario}: {bad}"
    # A tolerated alternative is a choice made on purpose; a new one would show here.
    assert not bad, f"{scenario}: {bad}"
