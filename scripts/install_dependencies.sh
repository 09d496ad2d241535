#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, where missing.
set -euo pipefail

packages=(g++ cmake make libcgal-dev libtbb-dev libgtest-dev googletest libbenchmark-dev)
# The Python module and its tests (Debian's own interpreter, /usr/bin/python3).
packages+=(python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest)
# The Dask batch example and its test, and progress=True's bar.
packages+=(python3-distributed python3-tqdm)
# pip install . offline (setuptools drives CMake) and the Debian package's Depends.
packages+=(python3-venv python3-setuptools python3-wheel python3-pip dpkg-dev)
if [ "${VORNEL_WITH_CLANG:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev clang-format)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
updated=0
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  updated=1
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

# Chromium runs the --report page's browser test; without it that test is skipped.
if ! dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed"; then
  echo "Installing: chromium (for the report's browser test)"
  [ "$updated" = 1 ] || "${sudo_cmd[@]}" apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq chromium ||
    echo "chromium could not be installed: the report's browser test will be skipped"
fi
