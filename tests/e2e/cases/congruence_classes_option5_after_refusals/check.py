import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import congruence  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    congruence.check_run(workdir, stdout, stderr, status, "classes", 5, refusals=3)
    # Each refused option was told why.
    assert stderr.count("Matrix E contains nominal variables: choose 1 or 5.") == 3, stderr
