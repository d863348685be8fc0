def check(workdir, stdout, stderr, status, fixtures):
    # The session menu comes once after the data were formatted and once more
    # when the session is opened again from its files.
    assert stdout.count("SESSION MENU") == 2, stdout.count("SESSION MENU")
