#!/usr/bin/env bash
# Builds everything and runs the whole test suite, in the build folder the README's first
# command configures (arguments are passed to that configuration, as CI passes -DBDMV_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")"
cmake -S . -B build -G Ninja "$@"
cmake --build build
status=0
ctest --test-dir build --output-on-failure -j"$(nproc)" || status=$?
corpus=${BDMV_CORPUS:-../shared/corpus}
if [ ! -d "$corpus" ]; then
    echo "Corpus tests skipped: no corpus at $corpus (the shared corpus belongs beside the" \
         "checkout as ../shared/corpus; set BDMV_CORPUS=dir to use one elsewhere)"
fi
exit $status
