#!/usr/bin/env bash
# Starts the window program in a real X session (Xvfb), checks that its window appears, lets it
# press Exit, and checks that it quits cleanly with status 0 and no warnings.
# Usage: tools/app_smoke.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
app="$build/app/parvex"
[ -x "$app" ] || { echo "app_smoke: $app not built" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "app_smoke: xvfb-run not found, skipped"; exit 0; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Inside the X session: start the program, look for its window, wait for it to quit.
session='
  unset QT_QPA_PLATFORM
  "$0" --quit-after 4000 2>"$1" & pid=$!
  seen=no
  if command -v xwininfo >/dev/null; then
    for _ in $(seq 60); do
      if xwininfo -root -tree | grep -q "Parvex Encryptor Decryptor 2.00"; then seen=yes; break; fi
      sleep 0.05
    done
  else
    seen=unchecked
  fi
  wait "$pid"; status=$?
  echo "window: $seen, status: $status"
  [ "$seen" != no ] && [ "$status" -eq 0 ]
'
if ! timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$session" "$app" "$log"; then
  echo "app_smoke: FAILED" >&2
  cat "$log" >&2
  exit 1
fi
# Qt reports problems (missing plugins, bad geometry) on stderr; a clean run says nothing of them.
if grep -v -e '^QStandardPaths: XDG_RUNTIME_DIR' "$log" | grep -q .; then
  echo "app_smoke: the program wrote warnings:" >&2
  cat "$log" >&2
  exit 1
fi
echo "app_smoke: the window started and quit cleanly"
