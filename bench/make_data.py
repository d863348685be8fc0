#!/usr/bin/env python3
"""Writes a synthetic benchmark data set in the raw layouts of the shipped M and L sets.

Usage: make_data.py DIR [communities OTUs traits variables seed]   (defaults: the XL size, 2000 2000 12 6)

B: OTUs as rows, quantitative traits as columns; W: communities as rows, integer abundances with about 70 %
zeros; E: communities as rows, variables in different units. Each file ends with one line of labels. The OTUs
have optima along the first two variables, so the tests see a real pattern. meta.json holds the dimensions
the answer writer needs.
"""
import json
import math
import os
import random
import sys


def main():
    out = sys.argv[1]
    n, s, p, e, seed = (list(map(int, sys.argv[2:7])) + [2000, 2000, 12, 6, 20261206][len(sys.argv) - 2:])[:5]
    rng = random.Random(seed)
    os.makedirs(out, exist_ok=True)
    grad = [[rng.random() for _ in range(2)] for _ in range(n)]
    env = []
    for i in range(n):
        row = [800 + 600 * grad[i][0] + rng.gauss(0, 30), 10 + 50 * grad[i][1] + rng.gauss(0, 3)]
        row += [4 + 4 * rng.random() for _ in range(e - 2)]
        env.append(row[:e])
    opt = [[rng.random() for _ in range(2)] for _ in range(s)]
    width = [0.15 + 0.25 * rng.random() for _ in range(s)]
    peak = [math.exp(rng.gauss(1.5, 1.0)) for _ in range(s)]
    traits = []
    for j in range(s):
        base = [opt[j][0], opt[j][1]] + [rng.random() for _ in range(p - 2)]
        traits.append([round(10 ** (1 + base[k] + rng.gauss(0, 0.2)), 4) for k in range(p)])
    with open(os.path.join(out, "B.txt"), "w") as f:
        for j in range(s):
            f.write("\t".join(f"{v:.4g}" for v in traits[j]) + "\n")
        f.write("\t".join(f"trait{k + 1}" for k in range(p)) + "\n")
    zeros = 0
    with open(os.path.join(out, "W.txt"), "w") as f:
        for i in range(n):
            row = []
            for j in range(s):
                d2 = (grad[i][0] - opt[j][0]) ** 2 + (grad[i][1] - opt[j][1]) ** 2
                lam = peak[j] * math.exp(-d2 / (2 * width[j] ** 2))
                v = 0
                if rng.random() < 0.45 * math.exp(-d2 / (2 * width[j] ** 2)) + 0.17:
                    v = 1 + int(rng.expovariate(1.0 / max(lam, 0.5)))
                zeros += v == 0
                row.append(str(v))
            f.write("\t".join(row) + "\n")
        f.write("\t".join(f"plot{i + 1:04d}" for i in range(n)) + "\n")
    with open(os.path.join(out, "E.txt"), "w") as f:
        for i in range(n):
            f.write("\t".join(f"{v:.4f}" for v in env[i]) + "\n")
        f.write("\t".join(f"var{k + 1}" for k in range(e)) + "\n")
    meta = {"communities": n, "OTUs": s, "traits": p, "env_variables": e, "seed": seed,
            "zero_fraction": zeros / (n * s)}
    with open(os.path.join(out, "meta.json"), "w") as f:
        json.dump(meta, f, indent=1)
    print(json.dumps(meta))


if __name__ == "__main__":
    main()
