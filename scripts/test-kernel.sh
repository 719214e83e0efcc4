#!/usr/bin/env bash
# Runs the built program against real kernel drivers in a virtual machine: Debian 12's stock kernel in
# qemu (KVM when a short probe boots it there, else TCG), the host's root shared read-only over 9p, a
# busybox initramfs that loads vivid (a webcam-like V4L2 driver) and uhid, and the guest cases of
# tests/kernel/guest-cases.sh. Nothing is installed on the host: the kernel package is unpacked into the
# build folder.
#   scripts/test-kernel.sh [build folder]        (default build/, as scripts/build.sh makes it)
# Prints the guest's boot time and one line a case, and closes with "kernel: N passed, N failed".
# Exits 0 when every case passed, or when qemu cannot run here at all (with a message saying so).
# VELLUMO_KERNEL_TIMEOUT bounds the whole guest run in seconds (default 540). VELLUMO_KERNEL_CASES names
# the cases to run (space separated; default all).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-${VELLUMO_BUILD_DIR:-$root/build}}" && pwd)
work="$build/kernel"
results="$work/results"
timeout_s="${VELLUMO_KERNEL_TIMEOUT:-540}"
say() { echo "test-kernel: $*"; }

qemu=$(command -v qemu-system-x86_64 || true)
if [ -z "$qemu" ] || ! command -v busybox >/dev/null; then
  say "skipped: qemu-system-x86_64 or busybox is not installed (scripts/install-deps.sh installs them)"
  exit 0
fi
# qemu that cannot start even an empty machine cannot run the guest: a skip, not a failure.
if ! probe=$("$qemu" -machine none -accel tcg -display none -S -monitor none -serial none -nodefaults \
    -daemonize -pidfile "$build/.qemu-probe.pid" 2>&1); then
  say "skipped: qemu cannot run here: $probe"
  exit 0
fi
kill "$(cat "$build/.qemu-probe.pid")" 2>/dev/null || true
rm -f "$build/.qemu-probe.pid"
for program in Vellumo uhid-bridge; do
  if [ ! -x "$build/bin/$program" ]; then
    say "FAILED: $build/bin/$program is missing (build it first)"
    exit 1
  fi
done

# The stock kernel: the package linux-image-amd64 depends on, unpacked once per version.
mkdir -p "$work"
package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
if [ -z "$package" ]; then
  say "FAILED: apt knows no linux-image-amd64 (run apt-get update)"
  exit 1
fi
version=${package#linux-image-}
kernel_root="$work/linux-$version"
if [ ! -f "$kernel_root/boot/vmlinuz-$version" ]; then
  say "fetching $package"
  rm -rf "$work/download" "$kernel_root"
  mkdir -p "$work/download"
  (cd "$work/download" && apt-get download -qq "$package" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  deb=$(ls "$work/download"/*.deb 2>/dev/null | head -n 1)
  if [ -z "$deb" ]; then
    say "FAILED: could not download $package"
    exit 1
  fi
  dpkg-deb -x "$deb" "$kernel_root.partial"
  busybox depmod -b "$kernel_root.partial" "$version"
  mv "$kernel_root.partial" "$kernel_root"
  rm -rf "$work/download"
fi
modules="$kernel_root/lib/modules/$version"

# The initramfs: busybox, the modules that reach the host's root, and what to run there.
initrd="$work/initrd"
rm -rf "$initrd" "$results"
mkdir -p "$initrd"/{bin,dev,proc,sys,host,results,lib/modules/"$version"} "$results"
cp "$(command -v busybox)" "$initrd/bin/busybox"
ln -s busybox "$initrd/bin/sh"
cp "$root/tests/kernel/init" "$initrd/init"
chmod +x "$initrd/init"
boot_modules=(virtio_pci 9pnet_virtio 9p)
for module in "${boot_modules[@]}"; do
  # modules.dep: "kernel/a.ko: kernel/b.ko kernel/c.ko"; the module and what it needs.
  line=$(grep -E "(^|/)$module\.ko:" "$modules/modules.dep")
  for file in $(echo "$line" | tr -d ':'); do
    mkdir -p "$initrd/lib/modules/$version/$(dirname "$file")"
    cp "$modules/$file" "$initrd/lib/modules/$version/$file"
  done
done
cp "$modules"/modules.dep "$modules"/modules.alias "$initrd/lib/modules/$version/" 2>/dev/null || true
{
  echo "VELLUMO_SOURCE='$root'"
  echo "VELLUMO_BUILD='$build'"
  echo "VELLUMO_MODULES='$modules'"
  echo "KERNEL_VERSION='$version'"
  echo "boot_modules='${boot_modules[*]}'"
  echo "export VELLUMO_KERNEL_CASES='${VELLUMO_KERNEL_CASES:-}'"
} >"$initrd/config"
(cd "$initrd" && find . | busybox cpio -o -H newc 2>/dev/null | gzip -1) >"$work/initrd.cpio.gz"

# Our own qemu, in the background; its id is in qemu_pid and only that process is ever stopped.
qemu_pid=""
stop_qemu() { [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null; qemu_pid=""; }
trap stop_qemu EXIT
trap 'stop_qemu; exit 130' INT TERM
start_qemu() {  # <accelerator> <cpu> <console file> <extra kernel arguments>
  "$qemu" -machine q35 -accel "$1" -cpu "$2" -smp 2 -m 2048 \
    -kernel "$kernel_root/boot/vmlinuz-$version" -initrd "$work/initrd.cpio.gz" \
    -append "console=ttyS0 panic=-1 quiet loglevel=4 $4" \
    -display none -monitor none -serial "file:$3" -no-reboot -nodefaults \
    -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
    -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
    -fsdev local,id=results,path="$results",security_model=none \
    -device virtio-9p-pci,fsdev=results,mount_tag=results \
    -device virtio-rng-pci &
  qemu_pid=$!
}
# Waits for our qemu to end, at most <seconds>; 1 when it had to be stopped.
wait_qemu() {
  local deadline=$(($(date +%s) + $1)) status=0 pid=$qemu_pid
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$(date +%s)" -ge "$deadline" ]; then
      status=1
      stop_qemu
      break
    fi
    sleep 1
  done
  wait "$pid" 2>/dev/null || true
  qemu_pid=""
  return "$status"
}

# KVM only when it really boots this kernel: the guest's init powers off at once on vellumo.probe and
# says so on the console.
accel="tcg,thread=multi" cpu=max
if [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
  probe_started=$(date +%s)
  start_qemu kvm host "$work/probe.log" vellumo.probe=1 2>"$work/probe.err"
  if wait_qemu 30 && grep -q "vellumo: probe booted" "$work/probe.log" 2>/dev/null; then
    accel=kvm cpu=host
  fi
  say "KVM probe: $( [ "$accel" = kvm ] && echo booted || echo 'did not boot, TCG it is') ($(($(date +%s) - probe_started)) s)"
fi

# Two processors: TCG runs one host thread each, and the program's streaming and GUI threads want both.
say "booting Linux $version (${accel%%,*}, timeout ${timeout_s}s)"
started=$(date +%s.%N)
start_qemu "$accel" "$cpu" "$results/console.log" ""
timed_out=0
wait_qemu "$timeout_s" || timed_out=1
elapsed=$(echo "$(date +%s.%N) - $started" | bc)

passed=0
failed=0
[ -f "$results/boot" ] && say "guest booted in $(cat "$results/boot") s (kernel uptime when the cases began)"
if [ -f "$results/cases" ]; then
  while read -r outcome name seconds detail; do
    printf 'test-kernel: %-5s %-34s %6s s  %s\n' "$outcome" "$name" "$seconds" "$detail"
    case "$outcome" in PASS) passed=$((passed + 1)) ;; *) failed=$((failed + 1)) ;; esac
  done <"$results/cases"
fi
if [ "$timed_out" = 1 ]; then
  say "FAILED: the guest did not finish within ${timeout_s}s"
  failed=$((failed + 1))
elif [ ! -f "$results/done" ]; then
  say "FAILED: the guest stopped before its cases were done"
  failed=$((failed + 1))
fi
if [ "$failed" -gt 0 ] || [ "$passed" -eq 0 ]; then
  say "console and case output are in $results; the console's last lines:"
  tail -n 30 "$results/console.log" 2>/dev/null | sed 's/^/  | /'
fi
printf 'test-kernel: whole run %.0f s\n' "$elapsed"
echo "kernel: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
