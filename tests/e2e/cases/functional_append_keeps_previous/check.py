import os


def check(workdir, stdout, stderr, status, fixtures):
    assert status == 0, status
    assert stderr == "", repr(stderr)
    assert "\nThis session has a previous meadowPrinda.txt file.\n" in stdout
    assert "\n\nResults on file meadowPrinda.txt\n" in stdout
    text = open(os.path.join(workdir, "meadowPrinda.txt")).read()
    # The earlier results come first, untouched; the appended report has no
    # version line.
    rule = "-" * 70
    head = f"Earlier results that must survive.\n{rule}\nEXPLORATION OF COMMUNITY DATA STRUCTURES\n"
    assert text.startswith(head), text[:300]
    assert "KALIOS v." not in text
    assert "\n\nDIVERSITY\n" in text
    assert "Ordination (Principal Coordinates Analysis, PCOA) of BEALS smoothed composition matrix Y:" in text
    assert not [n for n in os.listdir(workdir) if ".tmp" in n]
