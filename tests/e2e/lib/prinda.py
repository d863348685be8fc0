"""Reading a functional-analysis results file back into numbers, for the
end-to-end checks."""
import json
import math
import os

STAT_FIELDS = ("value", "P", "SES", "E", "LL", "UL", "asymP")


def statistics(text):
    """Every tested line: label -> dict of the seven numbers."""
    out = {}
    for line in text.splitlines():
        if "\tP=\t" not in line or "asymmetry-based P-value=" not in line:
            continue
        label, rest = line.split("=", 1)
        cells = rest.split("\t")
        nums = []
        for i, cell in enumerate(cells):
            if cell.endswith("=") and i + 1 < len(cells):
                nums.append(float(cells[i + 1]))
        nums.insert(0, float(cells[1]))
        out[label.rstrip()] = dict(zip(STAT_FIELDS, nums))
    return out


def vector_after(text, heading, start=0):
    """The tab-separated numbers on the line after the first `heading` found
    from `start`."""
    i = text.index(heading, start)
    line = text[i + len(heading):].lstrip("\n").split("\n", 1)[0]
    return [float(x) for x in line.split("\t") if x.strip()]


def eigenvalues(text):
    """Eigenvalues of the ordinations in their order (Y, X, P)."""
    out = []
    for line in text.splitlines():
        if line.startswith("Eigenvalues:\t"):
            out.append([float(x) for x in line.split("\t")[1:] if x.strip()])
    return out


def close(a, b, rtol=1e-6, atol=1e-9, digits=6):
    """a, printed with `digits` significant digits, against the reference b:
    within half a unit of the last printed digit (the rounding of the
    printout) plus rtol relative."""
    if b == 0:
        return abs(a) <= atol
    half_ulp = 0.5 * 10 ** (math.floor(math.log10(abs(b))) - (digits - 1))
    return abs(a - b) <= half_ulp * (1 + 1e-9) + max(rtol * abs(b), atol)


def assert_close_list(name, got, want, rtol=1e-6, atol=1e-9):
    assert len(got) == len(want), f"{name}: {len(got)} values, expected {len(want)}"
    for k, (g, w) in enumerate(zip(got, want)):
        assert close(g, w, rtol, atol), f"{name}[{k}] = {g}, expected {w}"


DIVERSITY_HEADINGS = {
    "D": "\nGini-Simpson index (D) within each community (equivalent to Rao quadratic entropy with null, crisp, similarities):\n",
    "Rf": "between OTUs (Rf):\n",
    "FR": "\nFunctional redundancy in each community (FR = D-Rf):\n",
    "Rp": "\nRao quadratic entropy (Rp) within each community",
    "PR": "\nPhylogenetic redundancy in each community (PR = D-Rp):\n",
    "jost_D": "dissimilarties):\n",
    "jost_Rf": "considering trait dissimilarties (Qf):\n",
    "jost_FR": "\nFunctional redundancy in each community (FR = D-Qf):\n",
    "jost_Rp": "considering phylogenetic dissimilarties:\n",
    "jost_PR": "\nPhylogenetic redundancy in each community (PR = D-Qp):\n",
}


def diversity(text):
    out = {}
    start = text.index("\n\nDIVERSITY")
    out["richness"] = vector_after(text, "\nOTU richness in each community:\n", start)
    for key, heading in DIVERSITY_HEADINGS.items():
        if heading in text[start:]:
            if key == "Rp":
                i = text.index(heading, start)
                i = text.index(":\n", i) + 2
                out[key] = vector_after(text, "", i)
            else:
                out[key] = vector_after(text, heading, start)
    return out


def check_against_expected(text, expected, niter):
    """Compares the printed statistics, diversity vectors and eigenvalues with
    the reference values (key `prinda` of expected.json)."""
    ref = expected["prinda"]
    stats = statistics(text)
    for label, want in ref["statistics"].items():
        key = label.rstrip()
        assert key in stats, f"no line for {key!r}"
        got = stats[key]["value"]
        assert close(got, want), f"{key} = {got}, expected {want}"
        p = stats[key]["P"] * niter
        assert abs(p - round(p)) < 1e-3 * niter and 1 <= round(p) <= niter, f"{key}: P = {stats[key]['P']}"
    for label in ref.get("omitted_because_nominal_trait", []):
        for printed in (label, label.replace(".", "_")):
            hits = [k for k in stats if k.endswith(printed)]
            assert not hits, f"{hits} should be left out"
    div = diversity(text)
    for key, want in ref["diversity"].items():
        assert key in div, f"no diversity vector {key}"
        assert_close_list(key, div[key], want)
    eig = eigenvalues(text)
    order = [k for k in ("Y", "X", "P") if k in ref["ordinations"]]
    assert len(eig) == len(order), f"{len(eig)} ordinations, expected {len(order)}"
    for got, key in zip(eig, order):
        want = ref["ordinations"][key]
        assert len(got) == want["n_axes"], f"{key}: {len(got)} axes, expected {want['n_axes']}"
        assert_close_list(f"eigenvalues {key}", got, want["eigenvalues"])


def load_expected(fixtures, name):
    with open(os.path.join(fixtures, name, "expected.json")) as f:
        return json.load(f)


def check_reference_run(workdir, stdout, stderr, status, fixtures, name):
    """A fixture data set run with its own answers: a clean run whose results
    file matches the reference values; returns the results text."""
    assert status == 0, status
    assert stderr == "", stderr
    assert f"\n\nResults on file {name}Prinda.txt\n" in stdout
    text = open(os.path.join(workdir, f"{name}Prinda.txt")).read()
    assert text.startswith("\nCHARACTER-BASED COMMUNITY ANALYSIS"), "no version line"
    check_against_expected(text, load_expected(fixtures, name), 99)
    assert not [n for n in os.listdir(workdir) if ".tmp" in n], "temporary file left behind"
    assert not os.path.exists(os.path.join(workdir, f"{name}RDa.txt")), "intermediate results not asked for"
    import tables  # the tables beside the results file say the same
    meta = json.load(open(os.path.join(fixtures, name, "meta.json")))
    rows = tables.check_stats(workdir, name, text)
    tables.check_communities(workdir, name, meta["community_labels"], text)
    folder = os.path.join(workdir, f"{name}Figures")
    assert "NullDistributions.svg" in tables.check_figures_parse(folder)
    tables.check_null_figure(os.path.join(folder, "NullDistributions.svg"), len(rows))
    return text
