import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import congruence  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    # The observed values do not depend on the null model; every P is k/99.
    text = congruence.check_run(workdir, stdout, stderr, status, "small", 3)
    assert ("Permutations of OTUs: Restricted within the following groups:\nNesting groups for 8 OTUs:\t"
            "1\t1\t1\t1\t2\t2\t2\t2\t\n") in text
