import os


def check(workdir, stdout, stderr, status, fixtures):
    track = os.path.join(workdir, "meadowTrk.txt")
    assert os.path.exists(track), "no track file"
    assert os.path.getsize(track) == 0, "track file not empty"
