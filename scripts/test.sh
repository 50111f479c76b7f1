#!/usr/bin/env bash
# Installs what is needed, builds, checks the formatting and runs every test, ending with CTest's
# summary. Arguments after the options go to ctest (for example: -L platform, -R Registry).
# usage: scripts/test.sh [--sanitize address|undefined|thread] [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_args=()
if [[ ${1:-} == --sanitize ]]; then
  build_args=(--sanitize "$2")
  shift 2
fi
scripts/check-format.sh
dir=$(scripts/build.sh "${build_args[@]}" | tail -n 1)
export QT_QPA_PLATFORM=offscreen
if [[ ${build_args[1]:-} == thread ]]; then
  export TSAN_OPTIONS="suppressions=$PWD/tests/tsan-suppressions.txt ${TSAN_OPTIONS:-}"
fi
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 300 "$@"
