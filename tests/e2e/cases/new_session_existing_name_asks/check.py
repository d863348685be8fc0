def check(workdir, stdout, stderr, status, fixtures):
    # Asked before anything is touched; 'n' asks for another name, and even
    # after 'y' the old session stays whole until new data replace it.
    assert status == 0, status
    assert stdout.count("Session meadow exists. Replace it? y/n ") == 2, stdout
    assert stdout.count("Enter session name: ") == 2
    assert "DATA FOR SESSION" in stdout
