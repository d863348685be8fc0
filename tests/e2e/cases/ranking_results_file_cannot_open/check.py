import os


def check(workdir, stdout, stderr, status, fixtures):
    # A directory stands where the results file would go: the ranking ends in
    # the file-open abort before searching, leaving the session files as they were.
    assert status == 1, status
    assert "\ncan't open smallChRank_roXY.txt \n" in stderr, stderr
    assert "\nFAIL TO OPEN FILE !!!\n" in stderr, stderr
    assert "Results on file" not in stdout
    assert os.path.isdir(os.path.join(workdir, "smallChRank_roXY.txt"))
    assert not [n for n in os.listdir(workdir) if ".tmp" in n]
    assert open(os.path.join(workdir, "smallTrk.txt")).read().startswith("smallFormda.txt")
