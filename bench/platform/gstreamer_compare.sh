#!/usr/bin/env bash
# Runs the media graph benchmarks of bench_platform and comparable GStreamer pipelines one after
# the other on this machine, and prints the per-sample costs side by side (microseconds of CPU and
# of wall time per sample; lower is better).
#
# GStreamer is used only for this comparison; Vistrel does not depend on it. To install it:
#   apt-get install -y gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
#
# usage: bench/platform/gstreamer_compare.sh [build-dir]     (default: build, the normal build
#        folder; bench_platform must be built, in Release for figures that mean something:
#        cmake --build build --target bench_platform)
# Environment: GST_CHAIN_BUFFERS (default 1000000), GST_TEE_BUFFERS (100000),
#              GST_CONVERT_FRAMES (1000).
#
# The pipelines:
#   chain N   fakesrc (768-byte buffers, like a 16x16 RGB24 frame, not filled) ! N x identity ! fakesink
#   tee WxH   fakesrc (WxH RGB24-sized buffers, not filled) ! tee ! two (queue ! fakesink)
#             branches: the Infinite Pin Tee gives each of two or more branches a thread of its
#             own, as a queue does; both sides count the CPU of every thread of the process
#   convert   videotestsrc ! YUY2 WxH ! videoconvert ! RGB ! fakesink, minus the same pipeline
#             without videoconvert (the cost of making the test picture)
# A GStreamer figure is (run of N buffers - run of 1 buffer) / N, so start-up is not counted.
# Vistrel's figures come from Google Benchmark (cpu_time and real_time of one iteration; for the
# tee, cpu_time is the whole process's CPU).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
bench=$build/bench/bench_platform
[[ -x $bench ]] || { echo "no $bench: build it first (see the usage at the top of $0)" >&2; exit 2; }
command -v gst-launch-1.0 >/dev/null || {
  echo "gst-launch-1.0 not found: apt-get install -y gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good" >&2
  exit 2
}
unset GST_DEBUG GST_TRACERS
chainN=${GST_CHAIN_BUFFERS:-1000000}
teeN=${GST_TEE_BUFFERS:-100000}
convN=${GST_CONVERT_FRAMES:-1000}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "load before: $(uptime)"

# --- Vistrel -----------------------------------------------------------------------------------
"$bench" --benchmark_filter='BM_PassThroughChain|BM_TeeTwoBranches|BM_Yuy2ToRgb24' \
  --benchmark_format=json >"$tmp/vistrel.json" 2>/dev/null
# Prints "cpu_us real_us" of one benchmark of that run.
vistrel() {
  python3 - "$tmp/vistrel.json" "$1" <<'PY'
import json, sys
scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    # Benchmarks timed in wall time with process CPU get suffixes on their names.
    base = b["name"].replace("/process_time", "").replace("/real_time", "")
    if base == sys.argv[2]:
        f = scale[b["time_unit"]]
        print("%.3f %.3f" % (b["cpu_time"] * f, b["real_time"] * f))
PY
}

# --- GStreamer ---------------------------------------------------------------------------------
# Prints "cpu_seconds wall_seconds" of one gst-launch run.
run() {
  /usr/bin/time -f '%U %S %e' -o "$tmp/time" gst-launch-1.0 -q "$@" >/dev/null 2>&1
  awk '{ printf "%.4f %.4f", $1 + $2, $3 }' "$tmp/time"
}
# Per-buffer microseconds "cpu wall" of a pipeline run with N buffers, start-up removed.
# usage: perbuf N pipeline-with-@N@
perbuf() {
  local n=$1; shift
  local one many
  one=$(run ${*//@N@/1})
  many=$(run ${*//@N@/$n})
  echo "$one $many" | awk -v n="$n" '{ printf "%.3f %.3f", ($3 - $1) * 1e6 / n, ($4 - $2) * 1e6 / n }'
}
identities() { local s=""; for ((i = 0; i < $1; ++i)); do s+=" ! identity"; done; echo "$s"; }

g1=$(perbuf "$chainN" fakesrc num-buffers=@N@ sizetype=2 sizemax=768 $(identities 1) ! fakesink)
g10=$(perbuf "$chainN" fakesrc num-buffers=@N@ sizetype=2 sizemax=768 $(identities 10) ! fakesink)
tee() {
  perbuf "$teeN" fakesrc num-buffers=@N@ sizetype=2 sizemax=$(($1 * $2 * 3)) ! tee name=t \
    t. ! queue ! fakesink async=false t. ! queue ! fakesink async=false
}
gt576=$(tee 720 576)
gt1080=$(tee 1920 1080)
convert() {
  local with without
  with=$(perbuf "$convN" videotestsrc num-buffers=@N@ ! video/x-raw,format=YUY2,width=$1,height=$2 \
    ! videoconvert ! video/x-raw,format=RGB ! fakesink)
  without=$(perbuf "$convN" videotestsrc num-buffers=@N@ ! video/x-raw,format=YUY2,width=$1,height=$2 ! fakesink)
  echo "$with $without" | awk '{ printf "%.3f %.3f", $1 - $3, $2 - $4 }'
}
gc576=$(convert 720 576)
gc1080=$(convert 1920 1080)

# --- Table -------------------------------------------------------------------------------------
row() {  # label "vistrel_cpu vistrel_real" "gst_cpu gst_wall"
  echo "$2 $3" | awk -v l="$1" '{ printf "%-34s %12.3f %12.3f %12.3f %12.3f\n", l, $1, $2, $3, $4 }'
}
v1=$(vistrel BM_PassThroughChain/1)
v10=$(vistrel BM_PassThroughChain/10)
printf '\n%-34s %12s %12s %12s %12s\n' "us per sample" "Vistrel cpu" "Vistrel real" "GStreamer cpu" "GStr. wall"
row "chain of 1 pass-through filter" "$v1" "$g1"
row "chain of 10 pass-through filters" "$v10" "$g10"
row "  per added filter ((10-1)/9)" \
  "$(echo "$v1 $v10" | awk '{ printf "%.3f %.3f", ($3 - $1) / 9, ($4 - $2) / 9 }')" \
  "$(echo "$g1 $g10" | awk '{ printf "%.3f %.3f", ($3 - $1) / 9, ($4 - $2) / 9 }')"
row "tee into two sinks, 720x576 RGB24" "$(vistrel BM_TeeTwoBranches/720/576)" "$gt576"
row "tee into two sinks, 1920x1080 RGB24" "$(vistrel BM_TeeTwoBranches/1920/1080)" "$gt1080"
row "YUY2 to RGB24, 720x576" "$(vistrel BM_Yuy2ToRgb24/720/576)" "$gc576"
row "YUY2 to RGB24, 1920x1080" "$(vistrel BM_Yuy2ToRgb24/1920/1080)" "$gc1080"
echo
echo "load after: $(uptime)"
