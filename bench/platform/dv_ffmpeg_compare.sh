#!/usr/bin/env bash
# DV encoding and decoding, Vistrel's (bench_platform's DvEncode and DvDecode) beside the ffmpeg
# command-line tool, on the same frames and on one thread, at PAL and NTSC sizes. Prints frames per
# second of wall time and of CPU time, side by side (higher is better).
#
# The frames: ffmpeg's testsrc2 pattern, FRAMES pictures per system (default 100), written once as
# raw top-down BGR24 (pal.bgr, ntsc.bgr) and, encoded by ffmpeg, as raw DV frames (pal.dv,
# ntsc.dv). Both sides encode the BGR24 pictures (colour conversion included: BGR24 to 4:2:0 for
# PAL, 4:1:1 for NTSC) and decode the DV frames to BGR24 (conversion included). Vistrel reads them
# through VISTREL_DV_FRAMES; ffmpeg loops over them LOOPS times (default 5) so that its start-up
# weighs little, and its figures come from its -benchmark line (utime, stime, rtime).
#
# usage: bench/platform/dv_ffmpeg_compare.sh [build-dir]     (default: build; bench_platform must
#        be built: cmake --build <build-dir> --target bench_platform)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
bench=$build/bench/bench_platform
[[ -x $bench ]] || { echo "no $bench: build it first (see the usage at the top of $0)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg not found: apt-get install -y ffmpeg" >&2; exit 2; }
frames=${FRAMES:-100}
loops=${LOOPS:-5}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "load before: $(uptime)"
ff() { ffmpeg -hide_banner -nostdin -loglevel error "$@"; }
for sys in pal ntsc; do
  if [[ $sys == pal ]]; then size=720x576 rate=25 yuv=yuv420p; else size=720x480 rate=30000/1001 yuv=yuv411p; fi
  ff -f lavfi -i "testsrc2=size=$size:rate=$rate" -frames:v "$frames" -pix_fmt bgr24 -f rawvideo -y "$tmp/$sys.bgr"
  ff -f rawvideo -pix_fmt bgr24 -s "$size" -r "$rate" -i "$tmp/$sys.bgr" -c:v dvvideo -pix_fmt "$yuv" \
    -f rawvideo -y "$tmp/$sys.dv"
done

# --- Vistrel -----------------------------------------------------------------------------------
VISTREL_DV_FRAMES=$tmp "$bench" --benchmark_filter='DvEncode|DvDecode' --benchmark_min_time=3 \
  --benchmark_format=json >"$tmp/vistrel.json" 2>/dev/null
# Prints "wall_fps cpu_fps" of one benchmark of that run.
vistrel() {
  python3 - "$tmp/vistrel.json" "$1" <<'PY'
import json, sys
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b["name"] == sys.argv[2]:
        f = scale[b["time_unit"]]
        print("%.1f %.1f" % (1 / (b["real_time"] * f), 1 / (b["cpu_time"] * f)))
PY
}

# --- ffmpeg ------------------------------------------------------------------------------------
# Prints "wall_fps cpu_fps" of one ffmpeg run over `frames * loops` frames.
ffbench() {
  ffmpeg -hide_banner -nostdin -benchmark -threads 1 -stream_loop $((loops - 1)) "$@" 2>&1 >/dev/null |
    awk -v n=$((frames * loops)) '/^bench: utime=/ {
      for (i = 2; i <= NF; i++) { split($i, kv, "="); sub("s$", "", kv[2]); t[kv[1]] = kv[2] }
      printf "%.1f %.1f\n", n / t["rtime"], n / (t["utime"] + t["stime"]) }'
}

printf "%-14s %12s %12s   %12s %12s\n" "" "Vistrel" "" "ffmpeg" ""
printf "%-14s %12s %12s   %12s %12s\n" "frames/s" "wall" "cpu" "wall" "cpu"
for sys in pal ntsc; do
  if [[ $sys == pal ]]; then size=720x576 rate=25 yuv=yuv420p arg=0; else size=720x480 rate=30000/1001 yuv=yuv411p arg=1; fi
  read -r vw vc < <(vistrel "DvEncode/ntsc:$arg")
  read -r fw fc < <(ffbench -f rawvideo -pix_fmt bgr24 -s "$size" -r "$rate" -i "$tmp/$sys.bgr" -threads 1 \
    -c:v dvvideo -pix_fmt "$yuv" -f null -)
  printf "%-14s %12s %12s   %12s %12s\n" "encode ${sys^^}" "$vw" "$vc" "$fw" "$fc"
  read -r vw vc < <(vistrel "DvDecode/ntsc:$arg")
  read -r fw fc < <(ffbench -f dv -i "$tmp/$sys.dv" -threads 1 -pix_fmt bgr24 -f null -)
  printf "%-14s %12s %12s   %12s %12s\n" "decode ${sys^^}" "$vw" "$vc" "$fw" "$fc"
done
echo "load after: $(uptime)"
