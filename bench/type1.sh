#!/bin/sh
# Type I error of every statistic of the functional analysis on random data
# without structure, through the program's dialogue (not part of the test run).
#   bench/type1.sh [build/kalios] [data sets, default 200] [permutations, default 199]
here=$(dirname "$0")
exec python3 "$here/type1.py" --kalios "${1:-build/kalios}" --sets "${2:-200}" --niter "${3:-199}" ${WORKERS:+--workers "$WORKERS"}
