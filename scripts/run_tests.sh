#!/usr/bin/env bash
# Installs what is missing, checks the sources' formatting, then configures,
# builds and runs the whole test suite twice: in the Release build (with the
# benchmarks and the test-mesh generator, the pip install and the Debian
# package), and in a Debug build with AddressSanitizer and
# UndefinedBehaviorSanitizer (which also builds the fuzz targets); between the
# two, the tests of the parallel stages in a ThreadSanitizer build.
# VORNEL_SKIP_SANITIZERS=1 runs the first only.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang brings ThreadSanitizer's runtime.
VORNEL_WITH_CLANG=1 bash scripts/install_dependencies.sh
jobs="$(nproc)"

echo "== Formatting"
bash scripts/check_format.sh

echo "== Release build and tests"
# The benchmarks and vornel_make_mesh (which the quick start uses) are built to
# be sure they compile; they are not run here.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVORNEL_BUILD_BENCHMARKS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${VORNEL_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== ThreadSanitizer build of the tests of the parallel stages, and those tests"
  # Only the suites whose stages run in parallel and need no CGAL surface: the
  # mesh stages' parallel tests would double this build's time. The curvature
  # measures' suite builds from the curvature sources alone.
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVORNEL_TSAN=ON -DVORNEL_BUILD_BENCHMARKS=OFF -DVORNEL_BUILD_PYTHON=OFF >/dev/null
  tsan_suites=(core_tests classes_tests optimisation_tests curvature_tests)
  cmake --build build-tsan -j"$jobs" --target "${tsan_suites[@]}"
  for suite in "${tsan_suites[@]}"; do
    TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/scripts/tsan.supp" "build-tsan/tests/$suite" --gtest_brief=1
  done
fi

if [ "${VORNEL_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== Debug build with AddressSanitizer and UndefinedBehaviorSanitizer, and tests"
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DVORNEL_SANITIZE=ON -DVORNEL_BUILD_BENCHMARKS=OFF >/dev/null
  cmake --build build-sanitize -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
fi

