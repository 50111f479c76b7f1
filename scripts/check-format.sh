#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted as .clang-format says.
# usage: scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'include/*.h')
[[ ${#files[@]} -eq 0 ]] && exit 0
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/vistrel-format.log; then
  grep -E '^[^ ].*: (error|warning)' /tmp/vistrel-format.log | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
  echo "format check failed: run scripts/check-format.sh --fix" >&2
  exit 1
fi
