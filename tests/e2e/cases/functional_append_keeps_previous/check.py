import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import tables  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    assert status == 0, status
    assert stderr == "", repr(stderr)
    assert "\nThis session has a previous meadowPrinda.txt file.\n" in stdout
    assert "\n\nResults on file meadowPrinda.txt\n" in stdout
    text = open(os.path.join(workdir, "meadowPrinda.txt")).read()
    # The earlier results come first, untouched; the appended report has no
    # version line.
    rule = "-" * 70
    head = f"Earlier results that must survive.\n{rule}\nEXPLORATION OF COMMUNITY DATA STRUCTURES\n"
    assert text.startswith(head), text[:300]
    assert "KALIOS v." not in text
    assert "\n\nDIVERSITY\n" in text
    assert "Ordination (Principal Coordinates Analysis, PCOA) of BEALS smoothed composition matrix Y:" in text
    assert not [n for n in os.listdir(workdir) if ".tmp" in n]
    # The tables are extended like the results file: the earlier row stays
    # first, the new rows follow without a second header.
    header, rows = tables.read_tsv(os.path.join(workdir, "meadowStats.tsv"))
    runs = tables.analyses(rows)
    assert header == tables.STATS_COLUMNS and len(runs) == 2, (header, len(runs))
    assert runs[0][0]["analysis"] == "Mon Jan  5 10:00:00 2026" and len(runs[0]) == 1, runs[0]
    assert runs[1][0]["statistic"] == "r(TE)", runs[1][0]
    # An earlier community table of other columns cannot take the new rows:
    # it is kept under a name of its own, and the user is told.
    kept = open(os.path.join(workdir, "meadowCommunities.1.tsv")).read()
    assert kept == "analysis\tcommunity\trichness\nMon Jan  5 10:00:00 2026\tm1\t3\n", kept
    assert "its earlier rows are now in meadowCommunities.1.tsv\n" in stdout
    header, rows = tables.read_tsv(os.path.join(workdir, "meadowCommunities.tsv"))
    assert len(tables.analyses(rows)) == 1 and header[2] == "richness", header
