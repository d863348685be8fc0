import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import congruence  # noqa: E402
import tables  # noqa: E402

NOT_TESTED = {"r(TY)", "r(XY)", "r(XY_T)", "r(XY_TR)", "r(RY)", "Correlation of PSAP to TCAP: ro(PT)",
              "Correlation of PSAP to both TCAP and TDAP: ro(PX)", "Correlation of PSAP to TDAP: ro(PX.T)"}


def check(workdir, stdout, stderr, status, fixtures):
    assert status == 0 and stderr == "", stderr
    text = open(os.path.join(workdir, "smallPrinda.txt")).read()
    lines = text.split("\n")
    expected = {e["key"]: e["value"] for e in congruence.load("small", 2)["printed"]}
    seen = set()
    for k, line in enumerate(lines):
        if "\tP=\t" not in line:
            continue
        f = line.split("\t")
        label = f[0].rstrip().rstrip("=").rstrip()
        if "ro(BF)" in label:
            label = "Phylogenetic signal at OTU (species) level ro(BF)"
        seen.add(label)
        # The observed value does not depend on the null model.
        want = expected[label]
        assert abs(float(f[1]) - want) <= congruence.unit6(want) * 1.000001, (label, f[1], want)
        fields = [f[f.index(tag) + 1] for tag in ("P=", "SES=", "E=", "LL=", "UL=", "asymmetry-based P-value=")]
        if label in NOT_TESTED or "ro(BF)" in label:
            assert fields == ["-"] * 6, line
            assert lines[k + 1] == "(not tested under the site shuffle null model)", lines[k + 1]
        else:
            p = float(fields[0]) * 99
            assert abs(p - round(p)) < 1e-3 and 1 <= round(p) <= 99, line
            assert lines[k + 1] != "(not tested under the site shuffle null model)", label
    assert seen == set(expected), set(expected) ^ seen
    assert "Null model based on site shuffle" in text
    assert "Statistics marked as not tested compare two descriptors of the same community composition" in text
    # The notes describe the null model that ran.
    assert "(*)Probability of finding more extreme correlations under the site shuffle null model" in text
    assert "Null model involved permutation among OTUs vectors" not in text
    assert "Null model involved (1) permutation among OTUs vectors" not in text
    # The table marks the same statistics untested, with no P-value, and
    # leaves them out of the null distributions.
    _, rows = tables.read_tsv(os.path.join(workdir, "smallStats.tsv"))
    untested = {r["statistic"] for r in rows if r["tested"] == "no"}
    assert untested == {tables.symbol(label) for label in NOT_TESTED} | {"ro(BF)"}, untested
    assert all(r["P"] == r["SES"] == r["lower95"] == "" for r in rows if r["tested"] == "no")
    assert {r["null_model"] for r in rows} == {"site"}
    svg = os.path.join(workdir, "smallFigures", "NullDistributions.svg")
    tables.check_null_figure(svg, len(rows) - len([r for r in rows if r["tested"] == "no"]))
