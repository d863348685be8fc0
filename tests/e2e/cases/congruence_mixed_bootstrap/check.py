import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import congruence  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    text = congruence.check_run(workdir, stdout, stderr, status, "mixed", 2)
    assert "95% confidence interval of the observed value obtained in 99 bootstrap samples" in text
    assert "\nThe confidence limits come from BOOTSTRAP samples of the communities" in text
    # Limits of the observed value from the samples: ordered, and not the
    # null distribution's (which the same run without bootstrap gives).
    lines = [ln.split("\t") for ln in text.split("\n") if "\tLL=\t" in ln]
    assert lines
    for f in lines:
        ll, ul = float(f[f.index("LL=") + 1]), float(f[f.index("UL=") + 1])
        assert ll <= ul, f
