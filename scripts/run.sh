#!/usr/bin/env bash
# Installs what is missing, builds, and starts Vellumo. Without a display it runs a short demo under
# xvfb-run instead: start, a screenshot of the window, a JPEG and a three-page PDF captured, close; then
# it says where everything is.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${VELLUMO_BUILD_DIR:-$root/build}"
program="$build/bin/Vellumo"

# Without a real camera of the shipped identity attached, Vellumo runs on its built-in virtual camera.
if [ -z "${VELLUMO_VIRTUALCAM:-}" ]; then
  if "$build/bin/ketrowa-probe" >/dev/null 2>&1; then
    echo "run: the document camera is attached"
  else
    echo "run: no document camera is attached; starting on the built-in virtual camera"
    export VELLUMO_VIRTUALCAM=1
  fi
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi

demo="$root/out/demo"
mkdir -p "$demo"
rm -f "$demo/vellumo-window.png" "$demo/vellumo-about.png"
cat > "$demo/demo-script.txt" <<SCRIPT
# Vellumo demo: take a JPEG, gather three pages into one PDF, draw a capture area and take a screenshot of the
# window, open the About box, close without saving the settings.
await live 20000
command 807
command 800
await ready 60000
command 808
command 800
press 1002 60000
press 1002 60000
press 1001 60000
await ready 60000
area 20 10 80 90
wait 700
screenshot $demo/vellumo-window.png
command 57664
wait 700
screenshot $demo/vellumo-about.png
answer Cancel
close
SCRIPT

echo "No display found: running Vellumo under xvfb-run with the demo script $demo/demo-script.txt"
log="$demo/vellumo.log"
VELLUMO_DEBUG=1 VELLUMO_SCRIPT="$demo/demo-script.txt" xvfb-run -a -s "-screen 0 1280x800x24" "$program" >"$log" 2>&1 || true
grep -v -e '^\[' -e propagateSizeHints -e XDG_RUNTIME_DIR "$log" || true

# The program says where it settled its files; report what it said rather than guessing.
settings=$(sed -n 's/^\[app\] settings file //p' "$log" | head -n 1)
savefolder=$(sed -n 's/^\[app\] save folder //p' "$log" | head -n 1)
echo
echo "Screenshot of the window:  $demo/vellumo-window.png"
echo "Settings file:             ${settings:-unknown (see $log)}"
echo "Captured files go to:      ${savefolder:-unknown (see $log)} (until you choose another folder)"
echo "Program log:               $log"
if [ -n "$savefolder" ] && [ -d "$savefolder" ]; then
  echo "Captured by the demo (a JPEG, and one PDF of three pages):"
  ls -l "$savefolder" | sed 's/^/  /'
fi
[ -f "$demo/vellumo-window.png" ] || { echo "The demo did not produce its screenshot." >&2; exit 1; }
