import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import prinda  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    assert status == 0, status
    assert stderr == "", stderr
    assert "\n\nResults on file smallPrinda.txt\n" in stdout
    text = open(os.path.join(workdir, "smallPrinda.txt")).read()
    assert text.startswith("\nCHARACTER-BASED COMMUNITY ANALYSIS"), "no version line"
    prinda.check_against_expected(text, prinda.load_expected(fixtures, "small"), 99)
    assert not [n for n in os.listdir(workdir) if ".tmp" in n], "temporary file left behind"
    assert not os.path.exists(os.path.join(workdir, "smallRDa.txt")), "intermediate results not asked for"
    # The null phylogenetic signal sets permuted traits against the fixed
    # phylogeny, so its null distribution is not a single point.
    bf = [line for line in text.splitlines() if "ro(BF) = " in line][0].split("\t")
    assert bf[bf.index("LL=") + 1] != bf[bf.index("UL=") + 1], "r(BF) has a degenerate null distribution"
