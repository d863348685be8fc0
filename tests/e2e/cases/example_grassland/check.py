import os


def check(workdir, stdout, stderr, status, fixtures):
    # The bundled answers create the session from the bundled files and leave
    # no question unanswered: the program ends at the main menu with 'X'.
    assert status == 0, status
    assert stdout.rstrip().endswith("Type option:"), stdout[-300:]
    assert open(os.path.join(workdir, "grasslandTrk.txt")).read() == "grasslandFormda.txt\n07Jul17\n"
    lines = open(os.path.join(workdir, "grasslandFormda.txt")).read().split("\n")
    assert lines[1].strip() == "6" and lines[6].strip() == "24" and lines[8].strip() == "30", lines[:9]
    at = lines.index("30 ", 9)  # species names follow the E block
    assert lines[at + 1] == "species.txt ", lines[at + 1]
    assert lines[at + 2] == "Feru Festuca rubra", lines[at + 2]
