#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Vistrel need.
# Idempotent and quiet: apt-get update runs only when something is missing, and a package that
# cannot be installed stops the script with its name.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libjpeg-dev libmp3lame-dev libasound2-dev libv4l-dev libudev-dev
  libfontconfig-dev fonts-liberation
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
if ! $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/vistrel-setup.log 2>&1; then
  echo "setup: apt-get install failed; see /tmp/vistrel-setup.log" >&2
  tail -n 20 /tmp/vistrel-setup.log >&2
  exit 1
fi
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || { echo "setup: package $p was not installed" >&2; exit 1; }
done
