#!/usr/bin/env bash
# Sets everything up, builds the program and runs it on the bundled example,
# answering its questions from the example's answer script: a session is made
# from the raw files and the functional analysis runs on it (999 permutations,
# seed 12345). The run happens in out/example/, where the program writes its
# files; the results are in grasslandPrinda.txt there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALIOS_BUILD_TESTS=OFF
cmake --build build-release -j "$(nproc)" --target kalios
rm -rf out/example
mkdir -p out/example
cp examples/*.txt out/example/
cd out/example
../../build-release/kalios < answers.txt
echo
echo "The example ran in $(pwd)"
echo "Results of the functional analysis: $(pwd)/grasslandPrinda.txt"
echo "Tables: $(pwd)/grasslandStats.tsv, $(pwd)/grasslandCommunities.tsv; figures: $(pwd)/grasslandFigures/"
