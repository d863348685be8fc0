import os


def check(workdir, stdout, stderr, status, fixtures):
    # The refused file is asked for again; the session holds the file read last.
    assert status == 0, status
    assert "Enter data file name: " in stdout.split("Trait matrix (B) format")[1]
    lines = open(os.path.join(workdir, "plotFormda.txt")).read().split("\n")
    assert lines[0] == "B.txt ", lines[0]
    at = lines.index("25Jun2016 ")
    assert lines[at + 1:at + 4] == ["1.5\t1\t", "2.5\t0\t", "3.5\t1\t"], lines[at:at + 4]
    assert open(os.path.join(workdir, "plotTrk.txt")).read() == "plotFormda.txt\n07Jul17\n"
