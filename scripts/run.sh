#!/usr/bin/env bash
# Installs what is needed, builds Vistrel (release) and starts it. Without a display it runs under
# Xvfb. Arguments go to Vistrel.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
dir=$(scripts/build.sh | tail -n 1)
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "No display found: starting Vistrel under Xvfb (a virtual screen you cannot see)." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$dir/vistrel" "$@"
fi
exec "$dir/vistrel" "$@"
