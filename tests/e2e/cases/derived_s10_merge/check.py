import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import derived  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    derived.check_scenario(workdir, stdout, stderr, status, fixtures, "s10_merge")
