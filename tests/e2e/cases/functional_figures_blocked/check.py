import os


def check(workdir, stdout, stderr, status, fixtures):
    # A figure that cannot be written is a warning: the analysis that
    # completed keeps its results file and tables, and the program goes on.
    assert status == 0, status
    want = "\nWarning: figure not written: smallFigures: there is a file of that name, not a folder\n"
    assert stderr == want, repr(stderr)
    assert "\n\nResults on file smallPrinda.txt\n" in stdout
    assert stdout.rstrip().endswith("Type option:"), stdout[-200:]
    for name in ("smallPrinda.txt", "smallStats.tsv", "smallCommunities.tsv"):
        assert os.path.getsize(os.path.join(workdir, name)) > 0, name
    assert open(os.path.join(workdir, "smallFigures")).read().startswith("a file where")
    assert not [n for n in os.listdir(workdir) if ".tmp" in n]
