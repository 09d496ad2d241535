#!/usr/bin/env bash
# The per-stage table of whole runs on generated spheres: for every size, the
# sphere (mesh, attribute and truth files) is generated once into the work
# folder, the command runs RUNS times with --verbose, and the table gives the
# medians of each stage's wall time, processor time and peak resident size so
# far (the peak is a high-water mark: a stage's value covers every stage
# before it), with that peak per vertex.
#
#   bench/stage_table.sh [--build DIR] [--work DIR] [--runs N] [--classes K]
#                        [--threads N] [--keep] [SIZE ...]
#
# Defaults: build folder build, work folder /tmp/vornel-stage-table, 3 runs,
# ClustNb 3 (MedianNb 3, IterNB 50, seed 1), every core, sizes 1000000 and 4000000. The
# generated files are removed at the end unless --keep is given; a sphere
# already in the work folder is reused. On a shared machine compare the
# processor times: wall times include the time spent waiting for a core.
set -euo pipefail

build=build
work=/tmp/vornel-stage-table
runs=3
classes=3
keep=0
threads=()
sizes=()
while [ $# -gt 0 ]; do
  case "$1" in
  --build) build="$2"; shift 2 ;;
  --work) work="$2"; shift 2 ;;
  --runs) runs="$2"; shift 2 ;;
  --classes) classes="$2"; shift 2 ;;
  --threads) threads=(--threads "$2"); shift 2 ;;
  --keep) keep=1; shift ;;
  -h | --help) sed -n '2,16p' "$0"; exit 0 ;;
  *) sizes+=("$1"); shift ;;
  esac
done
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 4000000)

vornel="$build/vornel"
make_mesh="$build/bench/vornel_make_mesh"
for tool in "$vornel" "$make_mesh"; do
  [ -x "$tool" ] || { echo "stage_table.sh: $tool is missing; build first" >&2; exit 1; }
done
mkdir -p "$work"

for size in "${sizes[@]}"; do
  mesh="$work/sphere$size.obj"
  if [ ! -f "$mesh" ]; then
    "$make_mesh" --shape sphere --vertices "$size" --out "$mesh" >/dev/null
  fi
  logs=()
  for run in $(seq 1 "$runs"); do
    log="$work/sphere$size.run$run.log"
    "$vornel" "$mesh" "$classes" 3 50 --seed 1 --verbose "${threads[@]}" 2>"$log"
    logs+=("$log")
  done

  echo "== sphere of $size vertices (asked), ClustNb $classes, 3 filter passes, 50 sweeps," \
    "${threads[*]:-every core};" \
    "medians of $runs runs"
  awk -v runs="$runs" '
    function stageName(text) {
      if (text ~ /^reading .*_attribute\.att$/) return "reading attributes"
      if (text ~ /^reading /) return "reading mesh"
      if (text ~ /^writing /) return "writing labels"
      return text
    }
    function median(list,    n, values, i, j, swap) {
      n = split(list, values, " ")
      for (i = 1; i <= n; ++i)
        for (j = i + 1; j <= n; ++j)
          if (values[j] + 0 < values[i] + 0) { swap = values[i]; values[i] = values[j]; values[j] = swap }
      return values[int((n + 1) / 2)]
    }
    /^vornel: [0-9]+ vertices, / { vertices = $2 }
    / done in / {
      line = substr($0, 9)
      name = stageName(substr(line, 1, index(line, " done in ") - 1))
      if (!(name in seen)) { seen[name] = 1; order[++count] = name }
      match(line, / done in [0-9.]+ s/); wall[name] = wall[name] " " substr(line, RSTART + 9, RLENGTH - 11)
      match(line, /\(cpu [0-9.]+ s/); cpu[name] = cpu[name] " " substr(line, RSTART + 5, RLENGTH - 7)
      match(line, /peak [0-9.]+ MB/); peak[name] = peak[name] " " substr(line, RSTART + 5, RLENGTH - 8)
    }
    /^vornel: total / {
      name = "whole run"
      if (!(name in seen)) { seen[name] = 1; order[++count] = name }
      match($0, /total [0-9.e+]+ s/); wall[name] = wall[name] " " substr($0, RSTART + 6, RLENGTH - 8)
      match($0, /\(cpu [0-9.e+]+ s/); cpu[name] = cpu[name] " " substr($0, RSTART + 5, RLENGTH - 7)
      match($0, /size [0-9.]+ MB/); peak[name] = peak[name] " " substr($0, RSTART + 5, RLENGTH - 8)
    }
    END {
      printf "%d vertices\n", vertices
      printf "%-22s %10s %10s %12s %14s\n", "stage", "wall s", "cpu s", "peak MB", "peak B/vertex"
      for (i = 1; i <= count; ++i) {
        name = order[i]
        p = median(peak[name])
        printf "%-22s %10.3f %10.3f %12.1f %14.0f\n", name, median(wall[name]), median(cpu[name]), p,
               p * 1048576 / vertices
      }
    }' "${logs[@]}"
  echo
  if [ "$keep" = 0 ]; then
    base="${mesh%.obj}"
    rm -f "$mesh" "${base}_attribute.att" "${base}_truth.lb" "${base}_labels.lb" "${logs[@]}"
  fi
done
