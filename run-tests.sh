#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
cmake -S . -B build -G Ninja -DBDMV_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j"$(nproc)"
