import os


def numbers(path, drop_last_line):
    lines = [l for l in open(path).read().splitlines() if l.strip()]
    if drop_last_line:
        lines = lines[:-1]
    return [[float(x) for x in l.split()] for l in lines]


def close(a, b):
    return abs(a - b) <= 1e-9 + 1e-6 * max(abs(a), abs(b))


def check(workdir, stdout, stderr, status, fixtures):
    assert status == 0, f"status {status}"
    assert "Incorrect input" not in stderr, stderr
    track = open(os.path.join(workdir, "smallTrk.txt")).read()
    assert track == "smallFormda.txt\n07Jul17\n", repr(track)
    lines = open(os.path.join(workdir, "smallFormda.txt")).read().split("\n")
    assert lines[0] == "B.txt ", lines[0]
    assert lines[2].split() == ["SLA", "height", "woody", "dispersal"], lines[2]
    assert lines[3].split() == ["3", "3", "1", "4"], lines[3]
    assert lines[7].split() == ["site01", "site02", "site03", "site04", "site05", "site06"]
    at = lines.index("25Jun2016 ")
    b = [[float(x) for x in l.split()] for l in lines[at + 1:at + 9]]
    w_by_otu = [[float(x) for x in l.split()] for l in lines[at + 10:at + 18]]
    fix = os.path.join(fixtures, "small")
    want_b = numbers(os.path.join(fix, "B.txt"), True)
    want_w = numbers(os.path.join(fix, "W.txt"), True)  # communities as rows
    for i in range(8):
        for k in range(4):
            assert close(b[i][k], want_b[i][k]), ("B", i, k)
        for c in range(6):
            assert close(w_by_otu[i][c], want_w[c][i]), ("W", i, c)
    e_at = lines.index("97Sep08 ")
    assert lines[e_at + 1].strip() == "2" and lines[e_at + 3].split() == ["moisture", "elevation"]
    e_by_var = [[float(x) for x in lines[e_at + 5 + v].split()] for v in range(2)]
    want_e = numbers(os.path.join(fix, "E.txt"), True)
    for c in range(6):
        for v in range(2):
            assert close(e_by_var[v][c], want_e[c][v]), ("E", c, v)
    f_at = lines.index("SMW 1")
    assert lines[f_at + 1] == "1" and lines[f_at + 2] == "1", "phylogeny of similarities expected"
    f = [[float(x) for x in lines[f_at + 3 + i].split()] for i in range(8)]
    want_f = numbers(os.path.join(fix, "F.txt"), False)
    for i in range(8):
        for j in range(8):
            assert close(f[i][j], want_f[i][j]), ("F", i, j)
