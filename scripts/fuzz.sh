#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer,
# libFuzzer) and runs each for a given time.
#   bash scripts/fuzz.sh [seconds per target, default 600] [target ...]
# VORNEL_FUZZ_MAX_LEN sets the largest input in bytes (default 1024: the
# targets' code paths need only a few lines of text, and short inputs run fast).
# Crashes land in fuzz-out/<target>/ as crash-* files; the corpus grows in
# fuzz-out/<target>/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-600}"
max_len="${VORNEL_FUZZ_MAX_LEN:-1024}"
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(fuzz_obj_reader fuzz_off_reader fuzz_ply_reader fuzz_stl_reader fuzz_attribute_reader fuzz_pipeline)

VORNEL_WITH_CLANG=1 bash scripts/install_dependencies.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNEL_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

seed_corpus() {
  local folder="$1" target="$2"
  mkdir -p "$folder"
  local obj='v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n'
  local off='OFF\n4 2 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n'
  case "$target" in
    fuzz_obj_reader)
      # The first byte chooses --repair (odd) or not (even).
      printf "\x00$obj" >"$folder/quad.obj"
      printf '\x01v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nvt 0 0\r\nvn 0 0 1\r\nf 1/1/1 2//1 -1/1\r\n' >"$folder/forms.obj"
      printf '\x01v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 2 3 4\nf 3 1 4\nf 1 2 3' >"$folder/fin.obj" ;;
    fuzz_off_reader)
      printf "\x00$off" >"$folder/quad.off"
      printf '\x01OFF\n# comment\n5 1 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n9 9 9\n4 0 1 3 2\n' >"$folder/unused.off"
      printf '\x01COFF\n3 1 0\n0 0 0 1 0 0 1\n1 0 0 0 1 0 1\n0 1 0 0 0 1 1\n3 0 1 2\n' >"$folder/colour.off"
      printf '\x01STOFF\n3 1 0\n0 0 0 0 0\n1 0 0 1 0\n0 1 0 0 1\n3 0 1 2\n' >"$folder/texture.off" ;;
    fuzz_ply_reader)
      local ply='ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\nelement face 2\nproperty list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n'
      printf "\x00$ply" >"$folder/quad.ply"
      printf "\x01$ply" >"$folder/quad-repair.ply"
      printf '\x00ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\x3f\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\x3f\0\0\0\0\x03\0\0\0\0\x01\0\0\0\x02\0\0\0' >"$folder/binary.ply" ;;
    fuzz_stl_reader)
      local stl='solid quad\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\nfacet normal 0 0 1\nouter loop\nvertex 1 0 0\nvertex 1 1 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid quad\n'
      printf "\x00$stl" >"$folder/quad.stl"
      printf "\x01$stl" >"$folder/quad-repair.stl"
      # Binary, its header starting with "solid": one triangle.
      { printf '\x00solid'; head -c 75 /dev/zero; printf '\x01\0\0\0'; head -c 12 /dev/zero
        printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\x3f\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x80\x3f\0\0\0\0\0\0'
      } >"$folder/binary.stl" ;;
    fuzz_attribute_reader)
      printf '\x03 1.5\n2\n-0.25\n' >"$folder/three.att"
      printf '\x05 1e3 2E-2 +3. -.5 0x1p3' >"$folder/forms.att" ;;
    fuzz_pipeline)
      printf "\x02\x03\x05\x00${obj}##0.1 0.2 5.1 5.3" >"$folder/obj.in"
      printf "\x03\x01\x04\x01${off}##1 2 3 4" >"$folder/off.in"
      printf "\x02\x01\x03\x05${off}##1 2 3 4" >"$folder/off-repair.in" ;;
  esac
}

for target in "${targets[@]}"; do
  out="fuzz-out/$target"
  seed_corpus "$out/corpus" "$target"
  echo "== $target for ${seconds}s"
  (cd "$out" && "../../build-fuzz/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
     -timeout=10 -max_len="$max_len" -print_final_stats=1 corpus 2>"log.txt") || true
  grep -E "^Done |stat::number_of_executed_units|stat::peak_rss_mb" "$out/log.txt" || true
  ls "$out" | grep -E "^(crash|timeout|oom|leak)-" && echo "findings in $out" || echo "no findings"
done
