import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import tables  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    # Two analyses with the same settings in one session: the data set is
    # reloaded between them, so the appended second report repeats the first
    # (the date and the elapsed time aside).
    assert status == 0, status
    assert stderr == "", stderr
    assert stdout.count("\n\nResults on file smallPrinda.txt\n") == 2
    text = open(os.path.join(workdir, "smallPrinda.txt")).read()
    rule = "-" * 70
    parts = text.split(f"{rule}\nEXPLORATION OF COMMUNITY DATA STRUCTURES\n")
    assert len(parts) == 3, len(parts)
    # Each report starts with its time stamp; the elapsed time varies.
    stamp = r"\n[A-Z][a-z]{2} [A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d \d{4}\n"
    clean = lambda t: re.sub(r"Elapsed time for the test\(s\): [^\n]*\n", "", re.sub(stamp, "\n", t)).rstrip()
    assert clean(parts[1]) == clean(parts[2]), "the second report differs from the first"
    assert "KALIOS v." in parts[0] and "KALIOS v." not in parts[1] + parts[2]
    # Appending adds the rows of the second analysis under the one header,
    # with the same values.
    for table in ("smallStats.tsv", "smallCommunities.tsv"):
        text = open(os.path.join(workdir, table)).read()
        assert text.count("analysis\t") == 1, table
        _, rows = tables.read_tsv(os.path.join(workdir, table))
        half = len(rows) // 2  # two analyses of the same rows (maybe within one second)
        first, second = rows[:half], rows[half:]
        assert len(first) == len(second) > 0, (table, len(first), len(second))
        for a, b in zip(first, second):
            same = {k: v for k, v in a.items() if k != "analysis"} == {k: v for k, v in b.items() if k != "analysis"}
            assert same, (table, a, b)
