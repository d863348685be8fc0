#!/usr/bin/env bash
# Sets everything up, builds the program and runs it on the bundled example,
# answering its questions from the example's answer script. The run happens in
# out/example/, where the program writes its files.
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
