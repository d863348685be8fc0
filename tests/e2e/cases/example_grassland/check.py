import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__import__("inspect").currentframe().f_code.co_filename))), "..", "lib"))
import tables  # noqa: E402


def check(workdir, stdout, stderr, status, fixtures):
    # The bundled answers create the session from the bundled files, run the
    # functional analysis and leave no question unanswered: the program ends
    # at the main menu with 'X'.
    assert status == 0, status
    assert stdout.rstrip().endswith("Type option:"), stdout[-300:]
    assert "\n\nResults on file grasslandPrinda.txt\n" in stdout
    track = open(os.path.join(workdir, "grasslandTrk.txt")).read()
    assert track.startswith("grasslandFormda.txt\n07Jul17\n") and "grasslandHie.txt" in track, track[:200]
    results = open(os.path.join(workdir, "grasslandPrinda.txt")).read()
    assert "\nThe types are species (# labels are used later in these results to identify the species) :\n" in results
    assert "Both TCAP and Divergence (TDAP): r(XE)=\t" in results
    assert "Number of iterations for permutation tests: 999\nRandom generator seed: 12345\n" in results
    assert "r(TE)=" not in results  # growth form is a nominal trait
    assert results.count("\nNumber of eigenvalues > 1e-06 percent of the sum of the positive eigenvalues: \t") == 3
    lines = open(os.path.join(workdir, "grasslandFormda.txt")).read().split("\n")
    assert lines[1].strip() == "6" and lines[6].strip() == "24" and lines[8].strip() == "30", lines[:9]
    at = lines.index("30 ", 9)  # species names follow the E block
    assert lines[at + 1] == "names.txt ", lines[at + 1]
    assert lines[at + 2] == "Feru Festuca rubra", lines[at + 2]
    # Beside the results: the tables, and figures that are valid SVG with
    # every observed value inside its panel.
    rows = tables.check_stats(workdir, "grassland", results)
    labels = [f"P{k:02d}" for k in range(1, 25)]
    tables.check_communities(workdir, "grassland", labels, results)
    folder = os.path.join(workdir, "grasslandFigures")
    names = tables.check_figures_parse(folder)
    assert names == ["NullDistributions.svg", "PCoA_P.svg", "PCoA_X.svg", "PCoA_Y.svg"], names
    tables.check_null_figure(os.path.join(folder, "NullDistributions.svg"), len(rows))
