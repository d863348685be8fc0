def check(workdir, stdout, stderr, status, fixtures):
    # The second session's file ends before its data: the abort names it and
    # the merged session gets no formatted data file.
    assert "\nfile northFormda.txt " in stderr, stderr
    with open(workdir + "/mergedTrk.txt") as f:
        assert f.read() == ""
