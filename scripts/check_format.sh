#!/usr/bin/env bash
# Checks that every C++ source is formatted as the repository's .clang-format
# says; lists the files that are not and fails. `clang-format -i FILE` fixes one.
set -euo pipefail
cd "$(dirname "$0")/.."

command -v clang-format >/dev/null || { echo "clang-format is missing (Debian: clang-format)"; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t sources < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.hpp')
else
  mapfile -t sources < <(find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.hpp' \) -print)
fi
# One clang-format for all files: it names each file at fault in its messages.
mapfile -t unformatted < <(clang-format --dry-run -Werror "${sources[@]}" 2>&1 |
  sed -n 's/^\([^ :]*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ "${#unformatted[@]}" -gt 0 ]; then
  echo "Not formatted (clang-format -i to fix):"
  printf '  %s\n' "${unformatted[@]}"
  exit 1
fi
echo "All ${#sources[@]} sources are formatted."
