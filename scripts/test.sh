#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build with gcc, then a clang build
# with AddressSanitizer and UndefinedBehaviorSanitizer that also runs the fuzz targets
# for a short while.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
# Lets ccache reuse objects built from another clone of the same sources.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure -j"$(nproc)" --timeout 300)

if [ "${VEXOL_SKIP_SANITIZERS:-0}" != 1 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVEXOL_FUZZ=ON -DVEXOL_BENCH=OFF >/dev/null
  cmake --build build-san -j"$(nproc)"
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  (cd build-san && ctest --output-on-failure -j"$(nproc)" --timeout 600)
  bash scripts/fuzz.sh build-san "${VEXOL_FUZZ_SECONDS:-20}"
fi
