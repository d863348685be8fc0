def check(workdir, stdout, stderr, status, fixtures):
    # A directory named like a track file is not a session: no data dialogue.
    assert status == 0, status
    assert "DATA FOR SESSION" not in stdout and "SESSION MENU" not in stdout
