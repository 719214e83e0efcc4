#!/usr/bin/env bash
# Registers our card program Zorvex.exe under its uninstall key in the machine registry, as an installer
# would, so that Vellumo finds it there rather than by its fall-back beside the program.
#   scripts/register-card-program.sh [FOLDER]   (default: build/bin)
# The registry file is /etc/Vellumo/registry.ini, or the one VELLUMO_REGISTRY_MACHINE names.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$(cd "${1:-$root/build/bin}" && pwd)
hive="${VELLUMO_REGISTRY_MACHINE:-/etc/Vellumo/registry.ini}"
section='[SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{A8D4C219-7E05-4B3F-8C6A-91F2E0B5D7C3}]'
[ -x "$folder/Zorvex.exe" ] || { echo "register-card-program: no Zorvex.exe in $folder" >&2; exit 1; }
mkdir -p "$(dirname "$hive")"
touch "$hive"
# Any older registration of the program goes; the rest of the file stays as it was.
tmp=$(mktemp "$hive.XXXXXX")
awk -v section="$section" '
  /^\[/ { skip = (tolower($0) == tolower(section)) }
  !skip { print }
' "$hive" > "$tmp"
printf '%s\nInstallLocation=%s\n' "$section" "$folder" >> "$tmp"
mv "$tmp" "$hive"
echo "register-card-program: Zorvex.exe registered at $folder in $hive"
