def check(workdir, stdout, stderr, status, fixtures):
    assert status == 0, status
    assert stderr == "", stderr
    settings = stdout.find("FUNCTIONAL ANALYSIS SETTINGS")
    assert settings >= 0, "no settings menu"
    notice = stdout.find("\nThe functional analysis is not available in this version.\n")
    assert notice > settings, "no notice after the settings"
    assert "Type option no.: " in stdout[settings:notice]
    # Nothing ran: the track file (expect/) is unchanged and no results file exists.
