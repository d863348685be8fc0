import copy
import inspect
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(inspect.currentframe().f_code.co_filename))), "..", "lib"))
import prinda  # noqa: E402

# Statistics that involve E: without ecological variables they have no line.
WITH_E = ("r(TE)", "r(XE)", "r(XE.T)", "r(RE)", "r(XE.TR)", "ro(PE)", "ro(TE.P)", "ro(XE.P)", "ro(XE.TP)",
          "ro(PE.T)", "ro(PE.X)", "r(FE)")


def check(workdir, stdout, stderr, status, fixtures):
    # The small data set formatted without E: only the correlations with Y
    # and the phylogeny, the diversity and the ordinations, with the values of
    # the reference analysis (none of them depends on E).
    assert status == 0, status
    assert stderr == "", stderr
    text = open(os.path.join(workdir, "smallPrinda.txt")).read()
    expected = copy.deepcopy(prinda.load_expected(fixtures, "small"))
    stats = expected["prinda"]["statistics"]
    for label in list(stats):
        if label.rstrip().endswith(WITH_E):
            del stats[label]
    assert len(stats) == 9, stats
    prinda.check_against_expected(text, expected, 99)
    printed = prinda.statistics(text)
    assert not [k for k in printed if k.endswith(WITH_E)], printed.keys()
    for part in ("Ecological variables", "Selected ecological variables", "environmental variables:\n",
                 "ecosystem descriptors:\n", "Resemblance matrix (DE)"):
        assert part not in text, part
