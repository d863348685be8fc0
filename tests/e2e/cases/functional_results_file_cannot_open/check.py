import os


def check(workdir, stdout, stderr, status, fixtures):
    # A directory stands where the results file would go: the session is not
    # opened (the analysis could never write its results), the main menu comes
    # back and nothing is touched.
    assert status == 0, status
    assert "\nSession file meadowPrinda.txt is not a regular file.\n" in stderr, stderr
    assert "SESSION MENU" not in stdout
    assert open(os.path.join(workdir, "meadowPrinda.txt", "note")).read().startswith("a directory")
    assert not [n for n in os.listdir(workdir) if ".tmp" in n or n.endswith("RDa.txt")]
