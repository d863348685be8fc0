import os


def check(workdir, stdout, stderr, status, fixtures):
    # Without figures the tables are still written.
    assert status == 0 and stderr == "", (status, stderr)
    assert os.path.exists(os.path.join(workdir, "smallStats.tsv"))
