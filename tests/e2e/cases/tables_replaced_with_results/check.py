import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import tables  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    # Replacing the results file replaces its tables too: nothing of the
    # stale tables is left, and no earlier table is set aside.
    assert status == 0, status
    assert stderr == "", repr(stderr)
    text = open(os.path.join(workdir, "meadowPrinda.txt")).read()
    assert "Earlier results" not in text
    header, rows = tables.read_tsv(os.path.join(workdir, "meadowStats.tsv"))
    assert header == tables.STATS_COLUMNS and len(tables.analyses(rows)) == 1, header
    assert {r["null_model"] for r in rows} == {"taxa"} and {r["permutations"] for r in rows} == {"99"}, rows[0]
    header, rows = tables.read_tsv(os.path.join(workdir, "meadowCommunities.tsv"))
    assert "old" not in {r["analysis"] for r in rows} and header[2:4] == ["richness", "D"], header
    assert not [n for n in os.listdir(workdir) if n.startswith("meadowCommunities.") and n != "meadowCommunities.tsv"]
