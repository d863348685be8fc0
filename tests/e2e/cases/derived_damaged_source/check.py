def check(workdir, stdout, stderr, status, fixtures):
    # The abort names the damaged source file; the new session keeps its empty track file.
    assert "\nfile smallFormda.txt " in stderr, stderr
    assert "Quit and restart KALIOS." in stderr, stderr
    with open(workdir + "/newTrk.txt") as f:
        assert f.read() == ""
