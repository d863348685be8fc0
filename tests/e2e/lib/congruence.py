"""Checks the statistics that a functional-analysis results file prints for
congruence options 2 (Procrustes), 3 (RV), 4 (regression) and 5 (pseudo-F)
against the reference values of tests/fixtures/congruence/<set>/expected_<o>.json
(computed independently: vegan, FactoMineR, ade4, lm).

Only the last analysis of the file is read. Checked: every expected value
within one unit of its 6th significant digit, every printed P-value k/niter,
no statistic line missing, extra or repeated, the factor states of option 5,
and the fixed lines the option requires or must not print."""
import json
import math
import os

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "fixtures", "congruence")


def _num(x):
    try:
        return float(x)
    except (TypeError, ValueError):
        return None


def _after(f, tag):
    return _num(f[f.index(tag) + 1]) if tag in f and f.index(tag) + 1 < len(f) else None


def parse(lines, option, n_traits):
    """key -> (value, P) of every printed statistic; dict of factor states;
    the keys printed more than once."""
    got, dup, states = {}, [], {}

    def put(key, v, p):
        if key in got:
            dup.append(key)
        got[key] = (v, p)

    block = section = None
    tfactors, tlines = [], []
    for ln in lines:
        f = ln.split("\t")
        if not ln:
            continue
        if option in (2, 3):
            if "\tP=\t" in ln:
                put(f[0].rstrip().rstrip("=").rstrip(), _num(f[1]), _after(f, "P="))
        elif option == 4:
            if f[0] == "Trait:" and len(f) >= 4 and f[2] == "r-square=":
                block = "Trait " + f[1]
                put(block + " | r-square", _num(f[3]), _after(f, "p-value="))
            elif f[0].startswith("Functional diversity:"):
                block = "Functional diversity"
                put(block + " | r-square", _after(f, "r-square="), _after(f, "p-value="))
            elif f[0].startswith("Phylogen") and f[0].endswith("diversity:"):
                block = "Phylogenetic diversity"
                put(block + " | r-square", _after(f, "r-square="), _after(f, "p-value="))
            elif f[0] == "Factor:" and "coeff=" in f:
                put(f"{block} | coeff {f[1]}", _after(f, "coeff="), _after(f, "p-value="))
            elif f[0] == "Intercept=":
                put(block + " | Intercept", _num(f[1]), None)
        else:
            for prefix, name in (("MANOVA using matrix T", "T"), ("MANOVA using matrix X", "X"),
                                 ("MANOVA using matrix P", "P"), ("ANOVA using Rao functional diversity", "R"),
                                 ("ANOVA using Rao phylogenetic diversity", "Rphyl")):
                if ln.startswith(prefix):
                    section = name
            if f[0] == "Factor:" and len(f) >= 3 and f[2] == "States:":
                states[f[1]] = [float(x) for x in f[3:] if x]
            elif f[0] == "Factor:" and "Pseudo-F=" in f:
                put(f"{section} | Factor {f[1]}", _after(f, "Pseudo-F="), _after(f, "p-value="))
                if section == "T":
                    tfactors.append(f[1])
            elif f[0] == "Trait:" and "Pseudo-F=" in f:
                tlines.append((section, f[1], _after(f, "Pseudo-F="), _after(f, "p-value=")))
    # The per-trait lines of the T section come in one block of n_traits per
    # factor, the factors in order.
    for m, (sec, trait, v, p) in enumerate(tlines):
        if sec != "T":
            put(f"{sec} | Trait {trait} (outside the T section)", v, p)
            continue
        k = m // n_traits
        fk = tfactors[k] if k < len(tfactors) else f"(block {k + 1})"
        put(f"T | Factor {fk} | Trait {trait}", v, p)
    return got, dup, states


def unit6(w):
    return 0.0 if abs(w) < 1e-300 else 10 ** (math.floor(math.log10(abs(w))) - 5)


def compare(text, expected, niter=99):
    """The list of disagreements between the last analysis of `text` and the
    reference `expected` (empty when everything agrees)."""
    option = expected["option"]
    lines = [ln.rstrip("\r") for ln in text.split("\n")]
    starts = [i for i, ln in enumerate(lines) if ln == "EXPLORATION OF COMMUNITY DATA STRUCTURES"]
    if not starts:
        return ["no analysis header in the results file"]
    lines = lines[starts[-1]:]
    got, dup, states = parse(lines, option, expected["counts"]["traits"])
    bad = []
    keys = set()
    for e in expected["printed"]:
        key, want = e["key"], e["value"]
        keys.add(key)
        if key not in got:
            bad.append(f"{key}: line not found")
            continue
        v, p = got[key]
        if v is None or abs(v - want) > max(unit6(want) * (1 + 1e-9), 1e-12):
            bad.append(f"{key}: got {v}, want {want:.10g}")
        if not key.endswith("Intercept"):
            k = None if p is None else p * niter
            if k is None or abs(k - round(k)) > 1e-3 * max(1, k) or not 1 <= round(k) <= niter:
                bad.append(f"{key}: P = {p} is not k/{niter}")
    bad += [f"{k}: printed but not expected" for k in got if k not in keys]
    bad += [f"{k}: printed more than once" for k in set(dup)]
    if option == 5:
        for factor, want in expected.get("states", {}).items():
            if states.get(factor) != [float(x) for x in want]:
                bad.append(f"states of {factor}: got {states.get(factor)}, want {want}")
    for t in expected.get("required_lines") or []:
        if t not in lines:
            bad.append(f"missing line {t!r}")
    prefixes = expected.get("required_line_prefixes") or []
    if isinstance(prefixes, str):
        prefixes = [prefixes]
    for t in prefixes:
        if not any(ln.startswith(t) for ln in lines):
            bad.append(f"no line starting {t!r}")
    for t in expected.get("absent_line_prefixes") or []:
        if any(ln.startswith(t) for ln in lines):
            bad.append(f"line starting {t!r} printed")
    return bad


def load(dataset, option):
    with open(os.path.join(FIXTURES, dataset, f"expected_{option}.json")) as f:
        return json.load(f)


def check_run(workdir, stdout, stderr, status, dataset, option, refusals=0):
    """A fresh session of `dataset` run with congruence `option`: a clean run
    (apart from `refusals` refused answers on standard error) whose results
    agree with the reference."""
    assert status == 0, f"exit status {status}; stderr: {stderr[-2000:]}"
    if not refusals:
        assert stderr == "", stderr
    assert "Undefined resemblance option" not in stderr
    assert f"\n\nResults on file {dataset}Prinda.txt\n" in stdout
    text = open(os.path.join(workdir, f"{dataset}Prinda.txt")).read()
    bad = compare(text, load(dataset, option))
    assert not bad, "\n".join(bad)
    import tables  # the table of the statistics says the same
    rows = tables.check_stats_any(workdir, dataset, text, option)
    # Every tested statistic (a regression intercept is not one) has its
    # panel, with the observed value inside it.
    tested = [r for r in rows if r["tested"] == "yes" and r["term"] != "Intercept"]
    tables.check_null_figure(os.path.join(workdir, f"{dataset}Figures", "NullDistributions.svg"), len(tested))
    return text
