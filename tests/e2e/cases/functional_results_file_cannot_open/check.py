import os


def check(workdir, stdout, stderr, status, fixtures):
    # The results file cannot be opened (a directory stands in its place):
    # the analysis ends in the file-open abort and touches nothing.
    assert status == 1, status
    assert "\ncan't open meadowPrinda.txt \n" in stderr, stderr
    assert "\nFAIL TO OPEN FILE !!!\n" in stderr, stderr
    assert "Results on file" not in stdout
    assert open(os.path.join(workdir, "meadowPrinda.txt", "note")).read().startswith("a directory")
    assert not [n for n in os.listdir(workdir) if ".tmp" in n or n.endswith("RDa.txt")]
