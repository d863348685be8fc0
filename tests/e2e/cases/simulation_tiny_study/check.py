import os
import re
import runpy
import shutil
import subprocess
import sys
import tempfile

# Default preferences but for one thread (the last number before the date).
ONE_THREAD_PREFS = ("17Apr2020\n0\n0.000000\n0.000000\n0\n0.000000\n0.000000\n1\nn\n0\n0.000000\n0.000000\n6\n"
                    "2147483647\n6\nn\nn\nn\n1\n1\n0\n1\n2\n1\n0\n1\n1\nSun Dec  6 12:00:00 2026\n")
STAMP = re.compile(r"^[A-Z][a-z]{2} [A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d \d{4}$|^Elapsed time \(seconds\): .*$", re.M)


def load_checker(kit):
    return runpy.run_path(os.path.join(kit, "check_study.py"), run_name="check_study")


def outputs(folder):
    got = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".txt") and name not in ("input.txt", "KALIOS.prf") and not name.startswith("console"):
            got[name] = STAMP.sub("<stamp>", open(os.path.join(folder, name), encoding="latin-1").read())
    return got


def check(workdir, stdout, stderr, status, fixtures):
    kit = os.path.join(fixtures, "simulation")
    study = os.path.join(kit, "tiny_study")
    # The checker reads the console captures the way the kit's run script leaves them.
    for name, text in (("console.out", stdout), ("console.err", stderr), ("exit_status.txt", "%d\n" % status)):
        with open(os.path.join(workdir, name), "w", encoding="latin-1") as f:
            f.write(text)
    assert load_checker(kit)["check"](study, workdir, quiet=True) == 0, "check_study.py rejects the run"

    # The same seed again, on one thread: the same files but for the time stamps.
    again = tempfile.mkdtemp(prefix="kalios-e2e-again-")
    try:
        for name in ("traits.txt", "factorcorr.txt", "response.txt", "effects.txt"):
            shutil.copyfile(os.path.join(study, name), os.path.join(again, name))
        with open(os.path.join(again, "KALIOS.prf"), "w") as f:
            f.write(ONE_THREAD_PREFS)
        with open(os.path.join(study, "answers.txt"), "rb") as f:
            proc = subprocess.run([os.path.abspath(sys.argv[1])], input=f.read(), cwd=again, capture_output=True,
                                  timeout=300)
        assert proc.returncode == 0, "second run ended with status %d" % proc.returncode
        first = outputs(workdir)
        first.pop("exit_status.txt", None)
        second = outputs(again)
        assert sorted(first) == sorted(second), "files differ: %s vs %s" % (sorted(first), sorted(second))
        for name in first:
            assert first[name] == second[name], "%s differs between two runs with the same seed" % name
    finally:
        shutil.rmtree(again, ignore_errors=True)

    # The tables say what the report says: per statistic the proportion of
    # data sets rejecting, and the per-data-set P-values behind it.
    final = open(os.path.join(workdir, "FinalSimulatedData.txt"), encoding="latin-1").read()
    block = final[final.index("PROBABILITIES OF Ho REJECTION"):]
    reported = {m.group(1): float(m.group(2)) for m in re.finditer(r"(r\([A-Z.]+\))\tP=\t(\S+)\n", block)}
    rows = [l.split("\t") for l in open(os.path.join(workdir, "SimulationRejections.tsv")).read().splitlines()]
    assert rows[0][:4] == ["statistic", "term", "proportion", "alpha"], rows[0]
    shares = {r[0]: float(r[2]) for r in rows[1:]}
    assert shares == reported, (shares, reported)
    lo, hi = float(rows[1][4]), float(rows[1][5])
    assert lo <= float(rows[1][3]) <= hi, (lo, hi)
    pv = [l.split("\t") for l in open(os.path.join(workdir, "SimulationPValues.tsv")).read().splitlines()[1:]]
    for name, share in shares.items():
        mine = [r for r in pv if r[1] == name]
        assert abs(sum(r[5] == "yes" for r in mine) / len(mine) - share) < 1e-12, name
    svg = os.path.join(workdir, "SimulationFigures", "RejectionProportions.svg")
    assert __import__("xml.etree.ElementTree").etree.ElementTree.parse(svg).getroot().tag.endswith("svg")
