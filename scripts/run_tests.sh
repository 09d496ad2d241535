#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs the whole test
# suite twice: in the Release build, and in a Debug build with AddressSanitizer
# and UndefinedBehaviorSanitizer. VORNEL_SKIP_SANITIZERS=1 runs the first only.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_dependencies.sh
jobs="$(nproc)"

echo "== Release build and tests"
# Benchmarks are left out here to keep the suite quick; a plain configure builds them.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVORNEL_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${VORNEL_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, and tests"
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DVORNEL_SANITIZE=ON -DVORNEL_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build build-sanitize -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
fi
