"""Reading the tables and figures written beside a functional-analysis
results file, and checking them against it."""
import os
import re
import xml.etree.ElementTree as ET

import prinda

STATS_COLUMNS = ["analysis", "statistic", "term", "observed", "P", "P_asymmetry", "SES", "expected", "lower95",
                 "upper95", "null_model", "permutations", "seed", "congruence", "tested"]
OBSERVED_LINE = "#C81E1E"  # the colour of the observed value in the null distributions
AXIS_LINE = "#000000"


def read_tsv(path):
    """Header and rows (dicts) of a table; every row has every column."""
    with open(path, newline="") as f:
        text = f.read()
    assert text.endswith("\n"), f"{path}: last line unfinished"
    lines = text[:-1].split("\n")
    header = lines[0].split("\t")
    rows = []
    for k, line in enumerate(lines[1:], 2):
        cells = line.split("\t")
        assert len(cells) == len(header), f"{path}:{k}: {len(cells)} cells, header has {len(header)}"
        rows.append(dict(zip(header, cells)))
    return header, rows


def symbol(label):
    """The statistic in a results-file label: "TDAP: r(XE.T)" -> "r(XE.T)"."""
    return re.search(r"(ro?\([^)]*\))\s*$", label).group(1)


def analyses(rows):
    """The analyses in order of appearance, each with its rows."""
    out = {}
    for r in rows:
        out.setdefault(r["analysis"], []).append(r)
    return list(out.values())


def check_stats(workdir, name, text):
    """Stats.tsv of a one-analysis run: the statistics of the results file in
    its order, with the same observed values and P-values to 6 digits."""
    header, rows = read_tsv(os.path.join(workdir, f"{name}Stats.tsv"))
    assert header == STATS_COLUMNS, header
    printed = prinda.statistics(text)
    want = [symbol(label) for label in printed]
    assert [r["statistic"] for r in rows] == want, [r["statistic"] for r in rows]
    for r, (label, nums) in zip(rows, printed.items()):
        assert r["tested"] == "yes" and r["term"] == "", r
        assert prinda.close(float(r["observed"]), nums["value"]), (label, r["observed"], nums["value"])
        assert prinda.close(float(r["P"]), nums["P"]), (label, r["P"], nums["P"])
        assert prinda.close(float(r["SES"]), nums["SES"]), (label, r["SES"], nums["SES"])
    return rows


def check_communities(workdir, name, labels, text):
    """Communities.tsv: one row per community in session order, with the
    richness and Gini-Simpson index of the results file."""
    header, rows = read_tsv(os.path.join(workdir, f"{name}Communities.tsv"))
    assert header[:6] == ["analysis", "community", "richness", "D", "Rf", "FR"], header
    assert [r["community"] for r in rows] == labels, [r["community"] for r in rows]
    div = prinda.diversity(text)
    prinda.assert_close_list("richness", [float(r["richness"]) for r in rows], div["richness"])
    prinda.assert_close_list("D", [float(r["D"]) for r in rows], div["D"])
    return header, rows


def segments(svg, colour):
    """The two-point lines of a colour: (x0, y0, x1, y1)."""
    ns = "{http://www.w3.org/2000/svg}"
    out = []
    for p in ET.parse(svg).getroot().iter(ns + "polyline"):
        pts = p.get("points").split()
        if p.get("stroke") == colour and len(pts) == 2:
            (x0, y0), (x1, y1) = [tuple(float(v) for v in pt.split(",")) for pt in pts]
            out.append((x0, y0, x1, y1))
    return out


def check_null_figure(svg, n_tested):
    """One observed-value line per tested statistic, each standing on the
    horizontal axis of its panel strictly between the axis ends: the observed
    value lies inside the plotted range (outside it would be clipped away)."""
    observed = segments(svg, OBSERVED_LINE)
    assert len(observed) == n_tested, f"{len(observed)} observed lines for {n_tested} statistics"
    axes = [s for s in segments(svg, AXIS_LINE) if abs(s[1] - s[3]) < 1e-6]
    for x, y0, _, _ in observed:
        assert any(abs(a[1] - y0) < 0.05 and min(a[0], a[2]) < x < max(a[0], a[2]) for a in axes), (x, y0)


def check_figures_parse(folder):
    names = sorted(n for n in os.listdir(folder) if n.endswith(".svg"))
    for n in names:
        root = ET.parse(os.path.join(folder, n)).getroot()
        assert root.tag == "{http://www.w3.org/2000/svg}svg", (n, root.tag)
    return names


def model_terms(text):
    """The regression or pseudo-F lines of a results file: (statistic, term)
    -> (value, P or None)."""
    out = {}
    current, factors, trait_block, v = None, [], False, 0
    headings = (("MANOVA using matrix T", "T"), ("MANOVA using matrix X", "X"), ("MANOVA using matrix P", "P"),
                ("ANOVA using Rao functional", "Functional diversity"),
                ("ANOVA using Rao phylogenetic", "Phylogenetic diversity"))
    for line in text.split("\n"):
        cells = line.split("\t")
        for head, name in headings:
            if line.startswith(head):
                current, trait_block = name, False
        if line.startswith("ANOVA for each selected individual trait"):
            trait_block, v = True, 0
        elif trait_block and line == "":
            v += 1
        elif cells[0] == "Factor:" and cells[2] == "States:":
            factors.append(cells[1])
        elif cells[0] == "Trait:" and cells[2] == "r-square=":
            current = cells[1]
            out[(current, "r-square")] = (float(cells[3]), float(cells[5]))
        elif cells[0] in ("Functional diversity:", "Phylogenentic diversity:") and cells[2] == "r-square=":
            current = "Functional diversity" if cells[0].startswith("F") else "Phylogenetic diversity"
            out[(current, "r-square")] = (float(cells[3]), float(cells[5]))
        elif cells[0] == "Factor:" and cells[2] in ("coeff=", "Pseudo-F="):
            out[(current, cells[1])] = (float(cells[3]), float(cells[5]))
        elif cells[0].startswith("Intercept="):
            out[(current, "Intercept")] = (float(cells[1]), None)
        elif trait_block and cells[0] == "Trait:" and cells[2] == "Pseudo-F=":
            out[(cells[1], factors[v])] = (float(cells[3]), float(cells[5]))
    return out


def check_stats_any(workdir, name, text, option):
    """Stats.tsv against the results file for any congruence option."""
    if option in (1, 2, 3):
        return check_stats(workdir, name, text)
    header, rows = read_tsv(os.path.join(workdir, f"{name}Stats.tsv"))
    assert header == STATS_COLUMNS, header
    printed = model_terms(text)
    assert printed, "no model lines in the results file"
    table = {(r["statistic"], r["term"]): r for r in rows}
    assert sorted(table) == sorted(printed), (sorted(table), sorted(printed))
    for key, (value, p) in printed.items():
        r = table[key]
        assert prinda.close(float(r["observed"]), value), (key, r["observed"], value)
        if p is not None:
            assert prinda.close(float(r["P"]), p), (key, r["P"], p)
    assert {r["congruence"] for r in rows} == {"regression" if option == 4 else "pseudo-F"}
    return rows
