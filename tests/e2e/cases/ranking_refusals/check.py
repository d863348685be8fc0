import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import ranking  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    # Regression (4) and analysis of variance (5) mean nothing for a ranking
    # and bring the congruence question back; the run then goes on as the
    # reference one.
    assert status == 0, (status, stderr[-2000:])
    assert stdout.count("CHARACTER RANKING SETTINGS") == 1, stdout.count("CHARACTER RANKING SETTINGS")
    assert stdout.count("\nMeasuring congruence using\n") == 3
    assert "linear regression" not in stdout
    ranking.check_run(workdir, stdout, fixtures, "small", "21")
