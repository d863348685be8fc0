"""Checks a trait ranking results file against the independent reference of
tests/fixtures/ranking/<set>/expected_ranking.json: the fixed header lines,
the per-size lines, the kept list (entries of near-equal |value| in any
order) and the per-size summary. For the niche conservation criteria (14,
15) the per-size lines carry the number of types, there are two lists of 100
printed slots (every evaluation, every subset) and the summary is a block of
label, type-count and value lines anywhere in the file. Numbers must agree to
one unit of their sixth significant digit.

Usable alone: python3 ranking.py <expected_ranking.json> <results file> [code] [--strict]
"""
import json
import math
import os
import sys


def num_match(token, expected):
    try:
        got = float(token.strip())
    except ValueError:
        return False
    if expected == 0:
        return got == 0
    tol = 10 ** (math.floor(math.log10(abs(expected))) - 5)
    return abs(got - expected) <= tol * (1 + 1e-9)


def labels_of(fields):
    return [f.strip() for f in fields if f.strip()]


def layout_ok(token, width):
    return len(token) == max(width, len(token.strip())) and not token.startswith(" ")


def criterion_of(expected, path):
    base = os.path.basename(path)
    best, length = None, 0
    for code, c in expected["criteria"].items():
        suffix = c["results_file"][len(expected["dataset"]):]
        if base.endswith(suffix) and len(suffix) > length:
            best, length = code, len(suffix)
    return best


def compare(expected, lines, code, strict=False):
    """The list of failures (empty when the file matches)."""
    cr = expected["criteria"][code]
    fails = []
    trimmed = [l.rstrip(" \t") for l in lines]

    def alternatives(k):
        out = []
        for t in cr.get("near_ties", {}).get("per_size", []):
            if t["k"] == k:
                out += [[expected["trait_labels"][i - 1] for i in a] for a in t["alternatives"]]
        return out

    for h in cr["header_lines"]:
        if h.rstrip(" \t") not in trimmed:
            fails.append(f"header line missing: {h!r}")

    niche = cr.get("search") == "ChRank_Phylogeny_x_Trait_Assembly"
    for ps in cr["per_size"]:
        k = ps["k"]
        pre = (f"Ranking criterion values, groups and optimal subset with {k} traits: \t" if niche
               else f"Ranking criterion value, and optimal subset with {k} traits: \t")
        hits = [l for l in lines if l.startswith(pre)]
        if len(hits) != 1:
            fails.append(f"k = {k}: {len(hits)} per-size lines")
            continue
        f = hits[0][len(pre):].split("\t")
        if not num_match(f[0], ps["value"]):
            fails.append(f"k = {k} best value {f[0].strip()}, expected {ps['value']:.10g}")
        if strict and not layout_ok(f[0], 12):
            fails.append(f"k = {k}: value field {f[0]!r} is not %-12.6g")
        rest = f[1:]
        if niche:
            if not rest or rest[0].strip() != f"{ps['g']} groups":
                fails.append(f"k = {k}: groups field {rest[:1]}, expected {ps['g']} groups")
            rest = rest[1:]
        want = ["none"] if ps.get("none") else ps["labels"]
        got = labels_of(rest)
        if got != want and got not in alternatives(k):
            fails.append(f"k = {k} best subset {got}, expected {want}")
        if strict and not ps.get("none") and not hits[0].endswith("\t"):
            fails.append(f"k = {k}: no tab after the last label")

    if niche:
        for key, header, what in (("evaluation_list", "evaluation_header", "evaluation list"),
                                  ("subset_list", "subset_header", "subset list")):
            fails += compare_slot_list(expected, cr[header], cr[key], lines, trimmed, what, strict)
        return fails + compare_summary_block(cr, lines)

    h1, h2 = cr["table_header"]
    at = [i for i, l in enumerate(trimmed) if l == h1.rstrip(" \t")]
    if len(at) != 1 or at[0] + 1 >= len(lines) or trimmed[at[0] + 1] != h2.rstrip(" \t"):
        fails.append(f"kept-list header {h1!r} not found exactly once")
    else:
        block = []
        j = at[0] + 2
        while j < len(lines) and lines[j].strip() and not lines[j].startswith(("Trait subsets", "Elapsed time")):
            block.append(lines[j])
            j += 1
        kept = cr["kept"]
        if len(block) != len(kept):
            fails.append(f"kept list: {len(block)} entries printed, expected {len(kept)}")
        n = min(len(block), len(kept))
        tie_rel = expected.get("tie_rel", 1e-6)
        parsed = []
        for l in block[:n]:
            f = l.split("\t")
            parsed.append((f[0], labels_of(f[1:])))
        groups, g = [], 0
        for a in range(n):
            if a and abs(abs(kept[a]["value"]) - abs(kept[a - 1]["value"])) > tie_rel * max(abs(kept[a]["value"]), 1e-300):
                g += 1
            groups.append(g)
        for gi in sorted(set(groups)):
            idx = [a for a in range(n) if groups[a] == gi]
            used = set()
            for a in idx:
                e = kept[a]
                match = next((b for b in idx if b not in used and num_match(parsed[b][0], e["value"])
                              and parsed[b][1] == e["labels"]), None)
                if match is None:
                    fails.append(f"kept list position {a + 1}: expected {e['value']:.10g} {e['labels']}, printed {block[a]!r}")
                else:
                    used.add(match)
        if strict:
            for a in range(n):
                if not (layout_ok(parsed[a][0], 12) and block[a].endswith("\t")):
                    fails.append(f"kept list position {a + 1}: layout of {block[a]!r}")

    at = [i for i, l in enumerate(trimmed) if l == "Trait subsets with maximum rank for each number of traits:"]
    if len(at) != 1:
        fails.append("summary header not found exactly once")
    else:
        i = at[0]
        if not (i + 1 < len(lines) and lines[i + 1].startswith("TRC") and "\tSubset of traits" in lines[i + 1]):
            fails.append(f"summary column header {lines[i + 1] if i + 1 < len(lines) else ''!r}")
        for a, ps in enumerate(cr["per_size"]):
            if i + 2 + a >= len(lines):
                fails.append(f"summary line for k = {ps['k']} missing")
                continue
            f = lines[i + 2 + a].split("\t")
            want = ["none"] if ps.get("none") else ps["labels"]
            got = labels_of(f[1:])
            if not num_match(f[0], ps["value"]):
                fails.append(f"summary k = {ps['k']}: {f[0].strip()}, expected {ps['value']:.10g}")
            if got != want and got not in alternatives(ps["k"]):
                fails.append(f"summary k = {ps['k']}: {got}, expected {want}")
            if strict and not layout_ok(f[0], 13):
                fails.append(f"summary k = {ps['k']}: value field {f[0]!r} is not %-13.6g")
    return fails


def read_block(lines, trimmed, h1, h2, limit):
    """The lines under a two-line heading up to an empty line or the next section, or None."""
    at = [i for i, l in enumerate(trimmed) if l == h1.rstrip(" \t")]
    if len(at) != 1 or at[0] + 1 >= len(lines) or trimmed[at[0] + 1] != h2.rstrip(" \t"):
        return None
    block, j = [], at[0] + 2
    while (j < len(lines) and lines[j].strip() and not lines[j].startswith(("Trait subsets", "Elapsed time"))
           and len(block) < limit):
        block.append(lines[j])
        j += 1
    return block


def compare_slot_list(expected, header, entries, lines, trimmed, what, strict):
    """A list of 100 printed slots "value\tg groups\tlabels"; empty slots print 0 and 0 groups."""
    block = read_block(lines, trimmed, header[0], header[1], 100)
    if block is None:
        return [f"{what} header {header[0]!r} not found exactly once"]
    fails = []
    if len(block) != 100:
        fails.append(f"{what}: {len(block)} lines printed, expected 100")
    parsed = []
    for l in block:
        f = l.split("\t")
        g = f[1].strip() if len(f) > 1 else ""
        parsed.append((f[0], g, labels_of(f[2:]), l))
    empty = [p[0].strip() == "0" and p[1] == "0 groups" and not p[2] for p in parsed]
    filled = [p for p, e in zip(parsed, empty) if not e]
    want = [e for e in entries if not e.get("empty")]
    if len(filled) != len(want):
        fails.append(f"{what}: {len(filled)} non-empty lines, expected {len(want)}")
    if any(empty) and not all(empty[empty.index(True):]):
        fails.append(f"{what}: empty slots are not all after the filled ones")
    tie_rel = expected.get("tie_rel", 1e-6)
    n = min(len(filled), len(want))
    groups, gi = [], 0
    for a in range(n):
        if a and abs(abs(want[a]["value"]) - abs(want[a - 1]["value"])) > tie_rel * max(abs(want[a]["value"]), 1e-300):
            gi += 1
        groups.append(gi)
    for g in sorted(set(groups)):
        idx = [a for a in range(n) if groups[a] == g]
        used = set()
        for a in idx:
            e = want[a]
            match = next((b for b in idx if b not in used and num_match(filled[b][0], e["value"])
                          and filled[b][2] == e["labels"] and filled[b][1] == f"{e['g']} groups"), None)
            if match is None:
                fails.append(f"{what} position {a + 1}: expected {e['value']:.10g} {e['g']} groups {e['labels']}, "
                             f"printed {filled[a][3]!r}")
            else:
                used.add(match)
    if strict:
        for p in parsed:
            if not layout_ok(p[0], 12) or not p[3].endswith("\t"):
                fails.append(f"{what}: layout of {p[3]!r}")
    return fails


def compare_summary_block(cr, lines):
    """The per-size summary: one label line per size, an empty line, the numbers of types, the values."""
    sizes = cr["per_size"]
    count = len(sizes)
    for i, l in enumerate(lines):
        f = labels_of(l.split("\t"))
        if len(f) != count or not all(x.lstrip("-").isdigit() for x in f):
            continue
        if [int(x) for x in f] != [p["g"] for p in sizes]:
            continue
        if i + 1 >= len(lines) or i - 1 - count < 0 or lines[i - 1].strip():
            continue
        values = [x for x in lines[i + 1].split("\t")][:count]
        if len(values) < count or not all(num_match(v, p["value"]) for v, p in zip(values, sizes)):
            continue
        if all(labels_of(lines[i - 1 - count + a].split("\t")) == p["labels"] for a, p in enumerate(sizes)):
            return [] if i - 1 - count > 0 else ["per-size summary written over the start of the file"]
    return ["per-size summary block not found"]


def check_file(expected_path, results_path, code=None, strict=True):
    expected = json.load(open(expected_path))
    lines = [l.rstrip("\r") for l in open(results_path, encoding="latin-1").read().split("\n")]
    code = code or criterion_of(expected, results_path)
    assert code in expected["criteria"], f"cannot tell the criterion of {results_path}"
    return compare(expected, lines, code, strict)


def check_run(workdir, stdout, fixtures, dataset, code):
    """The end-to-end check of one scripted ranking run on a fixture set."""
    expected_path = os.path.join(fixtures, "ranking", dataset, "expected_ranking.json")
    expected = json.load(open(expected_path))
    name = expected["criteria"][code]["results_file"]
    assert f"\n\nResults on file {name}\n" in stdout, f"no results notice for {name}"
    assert not [n for n in os.listdir(workdir) if ".tmp" in n], "a temporary file was left behind"
    lines = [l.rstrip("\r") for l in open(os.path.join(workdir, name), encoding="latin-1").read().split("\n")]
    fails = compare(expected, lines, code, strict=True)
    assert not fails, "\n".join(fails)
    check_subset_table(os.path.join(workdir, name[:-4] + ".tsv"), lines)


def check_subset_table(path, lines):
    """The table of every evaluated subset holds each best subset by size of
    the results file, with its value to 6 digits."""
    text = open(path).read()
    rows = [l.split("\t") for l in text.rstrip("\n").split("\n")]
    assert rows[0] == ["size", "traits", "types", "value"], rows[0]
    assert all(len(r) == 4 and int(r[0]) == len(r[1].split("+")) for r in rows[1:]), "malformed rows"
    heading = [i for i, l in enumerate(lines) if l.startswith("Trait subsets with maximum rank for each number")]
    if not heading:
        return
    best = []
    for l in lines[heading[0] + 2:]:
        cells = labels_of(l.split("\t"))
        if not cells or cells[1:] == ["none"]:
            break
        best.append((float(cells[0]), "+".join(cells[1:])))
    assert best, "no best subsets in the results file"
    for value, traits in best:
        hits = [r for r in rows[1:] if r[1] == traits and num_match(f"{float(r[3]):.6g}", value)]
        assert hits, f"best subset {traits} = {value} not in {path}"


if __name__ == "__main__":
    args = [a for a in sys.argv[1:] if a != "--strict"]
    fails = check_file(args[0], args[1], args[2] if len(args) > 2 else None, "--strict" in sys.argv)
    for f in fails:
        print("FAIL:", f)
    print(f"{len(fails)} failures")
    sys.exit(1 if fails else 0)
