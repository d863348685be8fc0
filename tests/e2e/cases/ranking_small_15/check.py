import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import ranking  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    assert status == 0, (status, stderr[-2000:])
    ranking.check_run(workdir, stdout, fixtures, "small", "15")
