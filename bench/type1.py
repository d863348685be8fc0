#!/usr/bin/env python3
"""Type I error of the functional analysis, measured through the program.

Generates random data sets without structure (traits, composition, ecological
variables and phylogeny drawn independently of each other), runs the program
on each through its dialogue for every null model and congruence option, and
prints the rate at which each statistic is rejected at 0.05. On data without
structure every rate should stay near 0.05 (0.02-0.08 with a few hundred data
sets); a statistic the null model cannot test prints no P-value and is listed
as "not tested".

  python3 bench/type1.py --kalios build/kalios --sets 200 --niter 199 [--workers 2]
"""
import argparse
import collections
import concurrent.futures
import os
import random
import shutil
import subprocess
import sys
import tempfile

N_OTUS, N_TRAITS, N_COMM = 8, 3, 10
TRAIT_TYPES = [3, 3, 1]

# Settings on the session with quantitative E: (name, shuffle, restricted, bootstrap, congruence).
QUANT_SETTINGS = [
    ("taxa, Mantel", "t", 0, False, 1),
    ("site, Mantel", "s", 0, False, 1),
    ("restricted, Mantel", "t", 1, False, 1),
    ("taxa+bootstrap, Mantel", "t", 0, True, 1),
    ("taxa, Procrustes", "t", 0, False, 2),
    ("site, Procrustes", "s", 0, False, 2),
    ("taxa, RV", "t", 0, False, 3),
    ("taxa, regression", "t", 0, False, 4),
    ("site, regression", "s", 0, False, 4),
]
# On the session with nominal E.
CLASS_SETTINGS = [
    ("taxa, pseudo-F", "t", 0, False, 5),
    ("site, pseudo-F", "s", 0, False, 5),
]


def write_matrix(path, rows, labels=None, fmt="%.4f"):
    with open(path, "w") as f:
        for r in rows:
            f.write("\t".join(fmt % v if isinstance(v, float) else str(v) for v in r) + "\n")
        if labels:
            f.write("\t".join(labels) + "\n")


def make_data(rng, folder):
    """One data set without structure in folder: B, W, E (quantitative), C
    (classes) and F."""
    B = []
    for _ in range(N_OTUS):
        B.append([rng.uniform(5, 40), rng.uniform(0.1, 3.0), rng.randint(0, 1)])
    # Keep the binary trait variable.
    if len({b[2] for b in B}) == 1:
        B[0][2] = 1 - B[0][2]
    write_matrix(os.path.join(folder, "B.txt"), B, ["t%d" % (k + 1) for k in range(N_TRAITS)])
    while True:
        W = [[rng.randint(1, 20) if rng.random() < 0.5 else 0 for _ in range(N_OTUS)] for _ in range(N_COMM)]
        if all(sum(1 for v in row if v) >= 2 for row in W) and all(any(W[c][i] for c in range(N_COMM))
                                                                  for i in range(N_OTUS)):
            break
    write_matrix(os.path.join(folder, "W.txt"), W, ["c%02d" % (c + 1) for c in range(N_COMM)])
    E = [[rng.uniform(0, 50), rng.uniform(200, 1500)] for _ in range(N_COMM)]
    write_matrix(os.path.join(folder, "E.txt"), E, ["moist", "elev"])
    while True:
        C = [[rng.randint(1, 3), rng.randint(1, 2)] for _ in range(N_COMM)]
        if all(min(collections.Counter(r[k] for r in C).values()) >= 2 and len({r[k] for r in C}) > 1
               for k in range(2)):
            break
    write_matrix(os.path.join(folder, "C.txt"), C, ["habitat", "grazing"])
    pts = [(rng.random(), rng.random()) for _ in range(N_OTUS)]
    d = [[((a[0] - b[0]) ** 2 + (a[1] - b[1]) ** 2) ** 0.5 for b in pts] for a in pts]
    dmax = max(max(r) for r in d)
    write_matrix(os.path.join(folder, "F.txt"), [[1.0 - x / dmax for x in r] for r in d])


def session_answers(name, e_file, e_kind):
    a = ["N", name, "1", "B.txt", "1", "F.txt", "W.txt", "0", "1", e_file, str(N_OTUS), str(N_TRAITS), "2", "2",
         "k"] + [str(t) for t in TRAIT_TYPES] + ["y", "0", "2", str(N_COMM), "2", "1", "2", "2", str(e_kind), "n",
                                                "V"]
    return a


def analysis_answers(setting, niter, seed, first):
    _, shuffle, restricted, boot, opt = setting
    a = ["H", "0", "k"] + [str(i + 1) for i in range(N_OTUS)] + ["1", str(niter), shuffle]
    if shuffle == "t":
        a.append(str(restricted))
        if restricted:
            a += ["k"] + ["1" if i < N_OTUS // 2 else "2" for i in range(N_OTUS)]
        a.append("y" if boot else "n")
    a += ["2", str(seed), str(opt)]
    if opt == 1:
        a += ["6", "m"]
    elif opt == 5:
        a.append("6")
    a += ["1", "1", "1", "y", "n"]
    if not first:
        a.append("a")
    a.append("")
    return a


def run_set(kalios, index, niter, base_seed):
    rng = random.Random(base_seed * 100003 + index)
    work = tempfile.mkdtemp(prefix="kalios-type1-")
    try:
        make_data(rng, work)
        answers = session_answers("q", "E.txt", 2)
        for k, s in enumerate(QUANT_SETTINGS):
            answers += analysis_answers(s, niter, 1000 + index * 37 + k, k == 0)
        answers += ["C", "C"] + session_answers("c", "C.txt", 3)
        for k, s in enumerate(CLASS_SETTINGS):
            answers += analysis_answers(s, niter, 5000 + index * 37 + k, k == 0)
        answers += ["C", "C", "X"]
        env = dict(os.environ, OMP_NUM_THREADS="1")
        proc = subprocess.run([kalios], input=("\n".join(answers) + "\n").encode(), cwd=work, capture_output=True,
                              timeout=1800, env=env)
        if proc.returncode != 0:
            return None, f"set {index}: exit {proc.returncode}: {proc.stderr.decode('latin-1')[-500:]}"
        out = []
        for session, settings in (("q", QUANT_SETTINGS), ("c", CLASS_SETTINGS)):
            text = open(os.path.join(work, session + "Prinda.txt"), encoding="latin-1").read()
            parts = text.split("EXPLORATION OF COMMUNITY DATA STRUCTURES")[1:]
            if len(parts) != len(settings):
                return None, f"set {index}: {len(parts)} analyses in {session}Prinda.txt"
            for s, part in zip(settings, parts):
                out.append((s[0], p_values(part, s[4])))
        return out, None
    finally:
        shutil.rmtree(work, ignore_errors=True)


def number(x):
    try:
        return float(x)
    except ValueError:
        return None


def p_values(text, opt):
    """Statistic -> list of printed P-values (None: printed as not tested)."""
    ps = collections.defaultdict(list)
    section = block = None
    for line in text.split("\n"):
        f = line.split("\t")
        if opt in (1, 2, 3):
            if "\tP=\t" in line:
                label = f[0].rstrip().rstrip("=").rstrip()
                label = label.split(": ")[-1] if ": " in label else label
                if "ro(BF)" in label:
                    label = "ro(BF)"
                ps[label].append(number(f[f.index("P=") + 1]))
        elif opt == 4:
            if f[0] == "Trait:" and "r-square=" in f:
                block = "trait"
                ps["r-square, trait"].append(number(f[f.index("p-value=") + 1]))
            elif f[0].startswith("Functional diversity:"):
                block = "Rao"
                ps["r-square, Rao"].append(number(f[f.index("p-value=") + 1]))
            elif f[0].startswith("Phylogenentic diversity:"):
                block = "Rao phyl"
                ps["r-square, Rao phyl"].append(number(f[f.index("p-value=") + 1]))
            elif f[0] == "Factor:" and "coeff=" in f:
                ps["coefficient, " + block].append(number(f[f.index("p-value=") + 1]))
        else:
            for prefix, name in (("MANOVA using matrix T", "T"), ("MANOVA using matrix X", "X"),
                                 ("MANOVA using matrix P", "P"), ("ANOVA using Rao functional", "R"),
                                 ("ANOVA using Rao phylogenetic", "Rphyl")):
                if line.startswith(prefix):
                    section = name
            if f[0] == "Factor:" and "Pseudo-F=" in f:
                ps["pseudo-F, " + section].append(number(f[f.index("p-value=") + 1]))
            elif f[0] == "Trait:" and "Pseudo-F=" in f:
                ps["pseudo-F, single trait"].append(number(f[f.index("p-value=") + 1]))
    return ps


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--kalios", default="build/kalios")
    ap.add_argument("--sets", type=int, default=200)
    ap.add_argument("--niter", type=int, default=199)
    ap.add_argument("--workers", type=int, default=1)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--alpha", type=float, default=0.05)
    args = ap.parse_args()
    kalios = os.path.abspath(args.kalios)
    table = collections.OrderedDict()
    failures = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.workers) as pool:
        futures = [pool.submit(run_set, kalios, i, args.niter, args.seed) for i in range(args.sets)]
        for fut in concurrent.futures.as_completed(futures):
            out, err = fut.result()
            if err:
                failures += 1
                print(err, file=sys.stderr)
                continue
            for setting, ps in out:
                for stat, values in ps.items():
                    table.setdefault((setting, stat), []).extend(values)
    print(f"Rejection rate at {args.alpha} on data without structure: {args.sets} data sets "
          f"({N_OTUS} OTUs, {N_TRAITS} traits, {N_COMM} communities), {args.niter} permutations"
          + (f", {failures} runs failed" if failures else ""))
    print(f"{'setting':<24} {'statistic':<24} {'rate':>6} {'tests':>6}")
    outside = 0
    for (setting, stat), values in table.items():
        tested = [p for p in values if p is not None]
        if not tested:
            print(f"{setting:<24} {stat:<24} {'not tested':>13}")
            continue
        rate = sum(1 for p in tested if p <= args.alpha) / len(tested)
        flag = "" if 0.02 <= rate <= 0.08 else "  <-- outside 0.02-0.08"
        outside += bool(flag)
        print(f"{setting:<24} {stat:<24} {rate:6.3f} {len(tested):6d}{flag}")
    return 1 if failures or outside else 0


if __name__ == "__main__":
    sys.exit(main())
