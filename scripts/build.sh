#!/usr/bin/env bash
# Configures and builds Vistrel with its tests and benchmarks.
# usage: scripts/build.sh [--sanitize address|undefined|thread]   (build folder: build, or build-<sanitizer>)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
extra=()
if [[ ${1:-} == --sanitize ]]; then
  [[ -n ${2:-} ]] || { echo "usage: $0 [--sanitize address|undefined|thread]" >&2; exit 2; }
  dir=build-$2
  extra=(-DVISTREL_SANITIZE="$2" -DCMAKE_BUILD_TYPE=RelWithDebInfo)
else
  extra=(-DCMAKE_BUILD_TYPE=Release)
fi
cmake -S . -B "$dir" -G Ninja -DVISTREL_WERROR=ON "${extra[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
echo "$dir"
