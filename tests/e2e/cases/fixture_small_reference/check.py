import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import prinda  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    text = prinda.check_reference_run(workdir, stdout, stderr, status, fixtures, "small")
    # The null phylogenetic signal sets permuted traits against the fixed
    # phylogeny, so its null distribution is not a single point.
    bf = [line for line in text.splitlines() if "ro(BF) = " in line][0].split("\t")
    assert bf[bf.index("LL=") + 1] != bf[bf.index("UL=") + 1], "r(BF) has a degenerate null distribution"
