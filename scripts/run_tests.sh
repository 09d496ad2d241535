#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs the whole test suite.
# VORNEL_SANITIZE=1 builds in Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_dependencies.sh

if [ "${VORNEL_SANITIZE:-0}" = 1 ]; then
  build_dir=build-sanitize
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DVORNEL_SANITIZE=ON -DVORNEL_BUILD_BENCHMARKS=OFF
else
  build_dir=build
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build_dir" -j"$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
