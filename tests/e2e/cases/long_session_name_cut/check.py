def check(workdir, stdout, stderr, status, fixtures):
    name = "a" * 90
    assert status == 0, f"status {status}"
    header = "SESSION MENU" + " " * 35 + name
    assert header in stdout, "session header does not show the name cut to 90 characters"
    assert "b" not in stdout.split("SESSION MENU", 1)[1].split("\n", 1)[0], "name not cut"
