import os


def check(workdir, stdout, stderr, status, fixtures):
    # The session was not formatted: its track file names no data.
    track = os.path.join(workdir, "plotTrk.txt")
    assert os.path.getsize(track) == 0, open(track).read()
