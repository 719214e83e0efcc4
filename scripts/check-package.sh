#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks it as installed: the package is unpacked into a
# throwaway root (dpkg -x), every program and library in it must find its libraries (ldd), the menu entry
# and the AppStream data must validate, the installed program must start on the virtual camera and save a
# still, and the installed vellumo-capture must turn a photograph into a searchable PDF.
# Needs the build folder configured (scripts/build.sh); builds only what the package holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELLUMO_BUILD_DIR:-$root/build}"
started=$(date +%s)
fail() { echo "check-package: $*" >&2; exit 1; }

cmake --build "$build" -j "$(nproc)" --target vellumo_installed >/dev/null
rm -f "$build"/vellumo_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack could not build the package"
deb=$(ls "$build"/vellumo_*.deb)
echo "check-package: built $(basename "$deb")"
# Warnings and errors fail; the package's overrides say why the ones it carries are right.
lintian_status=0
lintian_report=$(lintian --fail-on warning,error "$deb" 2>&1) || lintian_status=$?
grep -v "running with root privileges" <<<"$lintian_report" >&2 || true
[ "$lintian_status" -eq 0 ] || fail "lintian refuses the package"

# apt resolves every dependency from Debian's repositories (a simulation: nothing on this machine changes).
apt-get install -s "$deb" >/dev/null 2>&1 || { apt-get install -s "$deb" >&2 || true; fail "apt cannot install the package"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
prefix="$work/root/usr"

# Where a desktop and udev look for them.
for file in bin/Vellumo bin/vellumo-capture lib/vellumo/VellumoRes.dll lib/vellumo/FineCmd.exe \
  lib/vellumo/Zorvex.exe share/vellumo/Vellumo.ini share/vellumo/Vellumo.html \
  share/applications/org.vellumo.Vellumo.desktop share/metainfo/org.vellumo.Vellumo.metainfo.xml \
  share/icons/hicolor/scalable/apps/vellumo.svg share/icons/hicolor/48x48/apps/vellumo.png \
  share/man/man1/Vellumo.1.gz lib/udev/rules.d/70-vellumo-camera.rules; do
  [ -e "$prefix/$file" ] || fail "the package has no /usr/$file"
done
grep -q 'TAG+="uaccess"' "$prefix/lib/udev/rules.d/70-vellumo-camera.rules" || fail "the udev rule gives no seat access"
grep -q "udevadm control --reload-rules" "$work/control/postinst" || fail "postinst does not reload the udev rules"
grep -q "^Depends:.*libqt6widgets6" "$work/control/control" || fail "the dependencies were not generated"

# Every ELF file finds its libraries from where it was unpacked: our own through $ORIGIN, never the build's.
while IFS= read -r elf; do
  missing=$(ldd "$elf" 2>&1 | grep -e "not found" || true)
  [ -z "$missing" ] || fail "$elf: $missing"
  if ldd "$elf" | grep -q "$build"; then fail "$elf loads a library from the build folder"; fi
done < <(find "$prefix" -type f \( -perm -u+x -o -name '*.dll' \) -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)

desktop-file-validate "$prefix/share/applications/org.vellumo.Vellumo.desktop"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/org.vellumo.Vellumo.metainfo.xml" >/dev/null ||
  fail "appstreamcli refuses the metainfo"

[ "$("$prefix/bin/Vellumo" --version)" = "$("$prefix/bin/vellumo-capture" --version | sed 's/^vellumo-capture/Vellumo/')" ] ||
  fail "the two programs disagree on the version"

# A user of their own: fresh home, folders and locks, so nothing of the machine's own Vellumo is touched.
home="$work/home"
mkdir -p "$home/Documents" "$home/Desktop" "$work/common" "$work/lock"
export HOME="$home" XDG_CONFIG_HOME="$home/.config" VELLUMO_USER_DOCUMENTS="$home/Documents" \
  VELLUMO_DESKTOP="$home/Desktop" VELLUMO_COMMON_DOCUMENTS="$work/common" VELLUMO_LOCK_DIR="$work/lock" \
  VELLUMO_REGISTRY_USER="$home/registry.ini" VELLUMO_REGISTRY_MACHINE="$work/machine-registry.ini" \
  QT_QPA_PLATFORM=offscreen
unset VELLUMO_DEBUG

# The installed program on the virtual camera: a JPEG still (format 807, capture 800), then close without
# saving the settings.
cat > "$work/script.txt" <<SCRIPT
await live 20000
command 807
command 800
await ready 60000
answer Cancel
close
SCRIPT
VELLUMO_SCRIPT="$work/script.txt" timeout 120 "$prefix/bin/Vellumo" --virtual-camera >"$work/vellumo.log" 2>&1 ||
  { cat "$work/vellumo.log" >&2; fail "the installed program did not end well"; }
grep -q "TIMED OUT" "$work/vellumo.log" && { cat "$work/vellumo.log" >&2; fail "the installed program's script timed out"; }
still=$(find "$home/Desktop/Vellumo" -name '*.jpg' | head -n 1)
[ -n "$still" ] || { cat "$work/vellumo.log" >&2; fail "the installed program saved no still"; }
[ "$(identify -format '%m' "$still")" = "JPEG" ] || fail "$still is not a JPEG"
echo "check-package: the installed program saved $(basename "$still") from the virtual camera"

# A still from the virtual camera without a window, straightened.
mkdir "$work/camera"
timeout 120 "$prefix/bin/vellumo-capture" --camera --virtual-camera --deskew --out "$work/camera" >"$work/camera.log" 2>&1 ||
  { cat "$work/camera.log" >&2; fail "vellumo-capture --camera failed"; }
[ "$(identify -format '%m' "$work"/camera/*.jpg)" = "JPEG" ] || fail "vellumo-capture --camera saved no JPEG"
echo "check-package: vellumo-capture --camera saved $(basename "$work"/camera/*.jpg)"

# A photograph of a printed page, slightly turned on a dark desk, to a searchable PDF.
convert -size 1240x1754 xc:white -font DejaVu-Sans -pointsize 44 -fill black \
  -annotate +120+300 "Quarterly report of the archive" -annotate +120+420 "The quick brown fox jumps over" \
  -annotate +120+500 "the lazy dog near the river bank." -annotate +120+620 "Document cameras capture pages." \
  -background '#303030' -rotate 4 -bordercolor '#303030' -border 120 -quality 90 "$work/photo.jpg"
mkdir "$work/out"
timeout 180 "$prefix/bin/vellumo-capture" --from "$work/photo.jpg" --out "$work/out" --deskew --ocr pdf \
  >"$work/capture.log" 2>&1 || { cat "$work/capture.log" >&2; fail "vellumo-capture failed"; }
pdf=$(find "$work/out" -name '*.pdf' | head -n 1)
[ -n "$pdf" ] || { cat "$work/capture.log" >&2; fail "vellumo-capture wrote no PDF"; }
text=$(pdftotext "$pdf" - | tr -s '[:space:]' ' ')
for word in quick brown archive; do
  grep -qi "$word" <<<"$text" || fail "the PDF's text lacks \"$word\": $text"
done
echo "check-package: vellumo-capture wrote the searchable $(basename "$pdf")"

# Installed for real: apt installs the package into a copy-on-write view of this machine's own Debian root
# (overlayfs in a private mount namespace, so the machine itself is left as it was), dpkg runs its scripts,
# and the program is used from where the package put it; then it is purged again.
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && grep -qw overlay /proc/filesystems; then
  mkdir -p "$work/overlay/upper" "$work/overlay/work" "$work/overlay/root"
  cp "$deb" "$work/vellumo.deb"
  unshare --mount --propagation private bash -s "$work" >"$work/install.log" 2>&1 <<'INSIDE' ||
set -euo pipefail
work=$1
root="$work/overlay/root"
mount -t overlay overlay -o "lowerdir=/,upperdir=$work/overlay/upper,workdir=$work/overlay/work" "$root"
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/tmp"
mount -t tmpfs tmpfs "$root/run"
cp "$work/vellumo.deb" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends /tmp/vellumo.deb
[ "$(in_root dpkg-query -W -f='${Status}' vellumo)" = "install ok installed" ]
for file in /usr/share/applications/org.vellumo.Vellumo.desktop /usr/share/icons/hicolor/scalable/apps/vellumo.svg \
  /usr/share/icons/hicolor/48x48/apps/vellumo.png /usr/lib/udev/rules.d/70-vellumo-camera.rules; do
  [ -f "$root$file" ] || { echo "not installed: $file"; exit 1; }
done
# The menu entry starts what apt put on the PATH.
exec_line=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/usr/share/applications/org.vellumo.Vellumo.desktop")
in_root sh -c "command -v '$exec_line'"
in_root Vellumo --version
mkdir -p "$root/tmp/home/Desktop" "$root/tmp/out"
in_root env HOME=/tmp/home XDG_RUNTIME_DIR= timeout 120 vellumo-capture --camera --virtual-camera --out /tmp/out
ls "$root"/tmp/out/*.jpg
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q vellumo
[ ! -e "$root/usr/bin/Vellumo" ] && [ ! -e "$root/usr/lib/udev/rules.d/70-vellumo-camera.rules" ]
INSIDE
    { cat "$work/install.log" >&2; fail "apt could not install, use or purge the package in a copy of this root"; }
  echo "check-package: apt installed the package into a copy of this root; the menu entry's program and a still worked; purged"
else
  echo "check-package: the apt install in a copy of this root was skipped (it needs root and overlayfs)"
fi
echo "check-package: all checks passed in $(( $(date +%s) - started )) s"
