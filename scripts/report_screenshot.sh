#!/usr/bin/env bash
# Regenerates docs/report.png, the README's picture of a --report page: a
# generated sphere in three bands, segmented with --report and photographed in
# headless Chromium, then reduced to a small palette PNG.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install_dependencies.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target vornel_cli vornel_make_mesh

repository="$(pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Run in the temporary folder, so that the page shows short file names.
(
  cd "$work"
  "$repository/build/bench/vornel_make_mesh" --shape sphere --vertices 20000 --classes 3 \
    --noise 0.3 --seed 3 --out sphere.obj >/dev/null
  "$repository/build/vornel" sphere.obj 3 3 50 --seed 4 --report sphere.html
)
/usr/bin/python3 scripts/report_screenshot.py "$work/sphere.html" "$work/full.png"
mkdir -p docs
/usr/bin/python3 scripts/shrink_png.py "$work/full.png" docs/report.png
echo "wrote docs/report.png"
