#!/bin/bash
# The guest cases of scripts/test-kernel.sh, run inside the test guest against real kernel drivers: vivid
# as a webcam-like V4L2 device and uhid carrying the bridge chip (tests/kernel/uhid_bridge.cpp).
#   guest-cases.sh <source folder> <build folder>
# Writes one line a case to /tmp/results/cases: "PASS|FAIL <name> <seconds> <detail>", and
# /tmp/results/done at the end. Each case's files stay in /tmp/results/<name>/.
source_dir=$1
build=$2
bin="$build/bin"
results=/tmp/results
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8

# The host has no /lib/modules for this kernel: busybox's modprobe runs in the small root at /mnt.
modprobe() { chroot /mnt /bin/busybox modprobe "$@"; }

load_vivid() { modprobe vivid n_devs=1 node_types=0x1 num_inputs=1 input_types=0x0; }

bridge_pid=""
start_bridge() {  # <wire log> [vvvv:pppp]
  "$bin/uhid-bridge" "$@" 2>>"$results/bridge.err" &
  bridge_pid=$!
  for _ in $(seq 100); do
    ls /sys/class/hidraw/ 2>/dev/null | grep -q hidraw && return 0
    sleep 0.1
  done
  return 1
}
stop_bridge() {
  [ -n "$bridge_pid" ] && kill "$bridge_pid" 2>/dev/null && wait "$bridge_pid" 2>/dev/null
  bridge_pid=""
  for _ in $(seq 100); do
    ls /sys/class/hidraw/ 2>/dev/null | grep -q hidraw || return 0
    sleep 0.1
  done
}

# A fresh home for one run of the program, its settings the shipped ones with KEY=VALUE changes.
case_dir=""
new_case() {  # <name> [KEY=VALUE ...]
  case_dir="$results/$1"
  shift
  rm -rf "$case_dir"
  mkdir -p "$case_dir"/{home/Documents,common/Vellumo,lock,tmp,save}
  local ini
  ini=$(cat "$bin/Vellumo.ini")
  ini=$(printf '%s\n' "$ini" | sed "s#^PIDVID=.*#PIDVID=v4l\#video0#; s#^SAVEPATH=.*#SAVEPATH=$case_dir/save#")
  for change in "$@"; do
    ini=$(printf '%s\n' "$ini" | sed "s|^${change%%=*}=.*|$change|")
  done
  printf '%s\n' "$ini" >"$case_dir/common/Vellumo/Vellumo.ini"
}

# Runs the program on a script in the current case folder; stderr goes to err.log.
run_vellumo() {  # <script text> [VAR=VALUE ...]
  local script=$1
  shift
  printf '%b' "$script" >"$case_dir/script.txt"
  env HOME="$case_dir/home" XDG_CONFIG_HOME="$case_dir/home/.config" TMPDIR="$case_dir/tmp" \
    VELLUMO_COMMON_DOCUMENTS="$case_dir/common" VELLUMO_USER_DOCUMENTS="$case_dir/home/Documents" \
    VELLUMO_DESKTOP="$case_dir/home/Desktop" VELLUMO_LOCK_DIR="$case_dir/lock" \
    VELLUMO_REGISTRY_USER="$case_dir/home/registry.ini" VELLUMO_REGISTRY_MACHINE="$case_dir/machine-registry.ini" \
    VELLUMO_SCRIPT="$case_dir/script.txt" VELLUMO_DEBUG=1 GST_REGISTRY=/tmp/gst-registry.bin "$@" \
    timeout 240 "$bin/Vellumo" >"$case_dir/out.log" 2>"$case_dir/err.log"
}

# Waits until the command succeeds, at most <seconds> by the clock (a slow emulated machine makes any
# count of tries meaningless); its status is the command's last.
wait_for() {  # <seconds> <command...>
  local deadline=$(($(date +%s) + $1))
  shift
  until "$@"; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

count() { grep -c -- "$1" "$2" 2>/dev/null || true; }

# VELLUMO_KERNEL_CASES (space separated case names) runs just those; empty runs all.
wanted=${VELLUMO_KERNEL_CASES:-}
want() { [ -z "$wanted" ] || [[ " $wanted " == *" $1 "* ]]; }

case_start=0
failures=""
begin() { case_start=$(date +%s.%N); failures=""; }
expect() {  # <description> <command...>: a failed check is named in the case's line
  local what=$1
  shift
  "$@" || failures="${failures:+$failures; }$what"
}
finish() {  # <name>
  local seconds
  seconds=$(printf '%.1f' "$(echo "$(date +%s.%N) - $case_start" | bc)")
  if [ -z "$failures" ]; then
    echo "PASS $1 $seconds ok" >>"$results/cases"
  else
    echo "FAIL $1 $seconds $failures" >>"$results/cases"
  fi
}

has() { grep -q -- "$1" "$2" 2>/dev/null; }
lacks() { ! grep -q -- "$1" "$2" 2>/dev/null; }
equal() { [ "$1" = "$2" ]; }
ctrl() { v4l2-ctl -d /dev/video0 --get-ctrl "$1" 2>/dev/null | awk '{print $2}'; }

# The bridge chip's part of a debug log or a helper log, one "<channel> <text>" a line: the feature
# transfers and bus transactions, without the virtual camera's own opening and closing of its node.
wire_lines() { sed 's/^\[wire\] //' "$1" | grep -E '^(hid|bus) ' | grep -vE '^hid (open|close)'; }

load_vivid
modprobe uhid
modprobe hid-generic

# --- discovery, live picture, the user's picture settings reaching vivid, the bridge over hidraw --------
if want discovery; then
begin
new_case discovery Brightness=256 Contrast=16 SETSIZE=0
start_bridge "$case_dir/bridge.log" || failures="no hidraw node for the bridge"
# The settings are saved at the end: what the program holds is what the file then says.
run_vellumo 'await live 120000\nscreenshot '"$case_dir"'/live.png\nwait 1000\nanswer OK\nclose\n'
expect "no live picture" has "SCRIPT await live met" "$case_dir/err.log"
expect "no window picture" test -s "$case_dir/live.png"
expect "warned of a missing camera" lacks "icon=warning" "$case_dir/err.log"
expect "bridge not opened over hidraw" has "hid set 87" "$case_dir/bridge.log"
finish discovery

# brightness 256 is beyond vivid's 0..255: clamped, never refused. Contrast 16 of the shipped camera's
# 0..31 is 132 of vivid's 0..255, not a black 16. The settings keep what the user set.
begin
expect "brightness $(ctrl brightness), not 255" equal "$(ctrl brightness)" 255
expect "contrast $(ctrl contrast), not 132" equal "$(ctrl contrast)" 132
expect "settings lost the user's brightness" has "^Brightness=256" "$case_dir/common/Vellumo/Vellumo.ini"
finish controls-reach-vivid
stop_bridge
fi

# --- the register protocol over the real hidraw node, byte for byte against the virtual chip ----------
# The same start-up and still with the program's own virtual camera on its HID transport gives the
# reference. How often the focus status is read while the chip focuses depends on time: runs of the
# same status read are counted once.
status_reads_once() {
  awk '/^hid set 87 \[4\]: 00 c4 01$/ { getline reply; if (last == $0) next; last = $0; print; print reply; next }
       { last = ""; print }' "$1"
}
if want hidraw-protocol; then
begin
# Start-up, then focus once, manual focus, fixed and automatic exposure, the direction
# flipped and back, and a still (its focus status reads).
protocol_script='await live 120000\nwait 1000\ncommand 1089\nwait 1500\ncommand 1067\ncommand 1052\ncommand 1050\ncommand 1022\ncommand 1022\nwait 500\ncommand 800\nawait ready 120000\nanswer Cancel\nclose\n'
new_case protocol-reference SETSIZE=0
run_vellumo "$protocol_script" VELLUMO_VIRTUALCAM=1 VELLUMO_VIRTUALCAM_TRANSPORT=hid
wire_lines "$case_dir/err.log" | status_reads_once /dev/stdin >"$results/protocol-reference.wire"
new_case protocol SETSIZE=0
start_bridge "$case_dir/bridge.log" || failures="no hidraw node for the bridge"
run_vellumo "$protocol_script"
stop_bridge
wire_lines "$case_dir/bridge.log" | status_reads_once /dev/stdin >"$results/protocol.wire"
expect "no reference transfers" test -s "$results/protocol-reference.wire"
expect "the wire differs from the virtual chip's ($(diff "$results/protocol-reference.wire" "$results/protocol.wire" | grep -c '^[<>]') lines)" \
  cmp -s "$results/protocol-reference.wire" "$results/protocol.wire"
expect "no mains-frequency register write" has "^bus bus2 write 78: 3c 01" "$results/protocol.wire"
expect "no focus status read" has "^hid set 87 \[4\]: 00 c4 01" "$results/protocol.wire"
expect "a command was not available" lacks "is not available" "$case_dir/err.log"
finish hidraw-protocol
fi

# --- a device with the bridge's report layout but another maker's identity gets nothing ---------------
if want foreign-hid-identity; then
begin
new_case foreign-identity SETSIZE=0
start_bridge "$case_dir/bridge.log" 046d:c31c || failures="no hidraw node"
run_vellumo 'await live 120000\nwait 1000\nanswer Cancel\nclose\n'
stop_bridge
expect "transfers reached the foreign device" lacks "^hid set" "$case_dir/bridge.log"
finish foreign-hid-identity
fi

# --- a still in each format, saved into a hand-edited folder without its trailing '/' ------------------
if want still-each-format; then
begin
new_case stills SETSIZE=0
run_vellumo 'await live 120000\ncommand 806\ncommand 800\nawait ready 120000\ncommand 807\ncommand 800\nawait ready 120000\ncommand 809\ncommand 800\nawait ready 120000\ncommand 808\ncommand 800\npress 1001 120000\nawait ready 120000\nanswer Cancel\nclose\n'
for file in Doc0001.bmp Doc0001.jpg Doc0001.tif Doc0001.pdf; do
  expect "no $file in the save folder" test -s "$case_dir/save/$file"
done
expect "a picture beside the folder" test -z "$(ls "$case_dir" | grep '^saveDoc')"
expect "JPEG unreadable" bash -c "file '$case_dir/save/Doc0001.jpg' | grep -q 'JPEG image'"
expect "TIFF unreadable" tiffinfo "$case_dir/save/Doc0001.tif" >/dev/null 2>&1
expect "PDF unreadable" qpdf --check "$case_dir/save/Doc0001.pdf" >/dev/null 2>&1
finish still-each-format
fi

# --- a capture size vivid does not offer (2048x1536): told once, never stuck, the real size shown -------
if want unoffered-size; then
begin
new_case unoffered-size SETSIZE=1
run_vellumo 'await live 120000\ncommand 807\ncommand 800\nawait ready 120000\ncommand 800\nawait ready 120000\nanswer Cancel\nclose\n'
told=$(count 'does not offer the capture size 2048x1536' "$case_dir/err.log")
expect "told $told times, not once" equal "$told" 1
expect "a capture did not end" equal "$(count 'SCRIPT await ready met' "$case_dir/err.log")" 2
expect "the status names $(grep -o '[0-9]*x[0-9]*  ' <<<"$(grep 'status:' "$case_dir/err.log" | tail -n 1)" | head -n 1)" \
  bash -c "grep 'status:' '$case_dir/err.log' | tail -n 1 | grep -q ':640x480  '"
for file in Doc0001.jpg Doc0002.jpg; do
  expect "$file is not 640x480" bash -c "file '$case_dir/save/$file' | grep -q ' 640x480,'"
done
finish unoffered-size
fi

# --- unplug and replug: vivid's device unbound and bound again, the bridge destroyed and made again -----
# vivid's identity is its node's name, so it must come back as video0: that needs the program to have
# let go of the dead node, as it must (the kernel keeps a node's number while it is open).
held() { ls -l /proc/[0-9]*/fd 2>/dev/null | grep -q "/dev/$1"; }
let_go() { ! held "$1"; }
holders() {
  for process in /proc/[0-9]*; do
    ls -l "$process/fd" 2>/dev/null | grep -q "/dev/$1" && echo "$(cat "$process/comm" 2>/dev/null)[${process#/proc/}]" &&
      { ls -l "$process/fd"; grep video "$process/maps"; } >>"$case_dir/holders.txt" 2>&1
  done
}
if want unplug-replug; then
begin
new_case replug Brightness=60 SETSIZE=0

start_bridge "$case_dir/bridge1.log" || failures="no hidraw node"
# The program's script waits on its own; the devices are pulled and put back beside it.
(
  note() { echo "$(cut -d' ' -f1 /proc/uptime) $*" >>"$case_dir/plug.log"; }
  wait_for 240 has "SCRIPT await live met" "$case_dir/err.log"
  note "live; unplugging"
  stop_bridge
  # A module in use cannot be removed; unbinding its device is what a pulled USB cable does.
  echo vivid.0 >/sys/bus/platform/drivers/vivid/unbind
  note "unbound"
  wait_for 120 has "SCRIPT await empty met" "$case_dir/err.log"
  note "empty"
  wait_for 60 let_go video0
  held video0 && echo "the removed /dev/video0 is still held by $(holders video0)" >"$case_dir/still-held"
  # One USB plug brings the camera's HID and video interfaces together: the bridge is there when the
  # video node comes.
  note "let go; plugging back"
  start_bridge "$case_dir/bridge2.log"
  echo vivid.0 >/sys/bus/platform/drivers/vivid/bind
  note "bound: $(ls /dev/video* 2>/dev/null | tr '\n' ' ')"
  # Wait while the program runs, so that the helper is stopped only after it.
  while [ ! -f "$case_dir/closed" ]; do sleep 0.2; done
  stop_bridge
) &
plugger=$!
run_vellumo 'await live 120000\nawait empty 60000\nawait live 120000\nwait 2000\nanswer Cancel\nclose\n'
touch "$case_dir/closed"
wait "$plugger"
expect "did not go empty and come back" equal "$(count 'SCRIPT await live met' "$case_dir/err.log")$(count 'SCRIPT await empty met' "$case_dir/err.log")" 21
expect "brightness $(ctrl brightness) after the replug, not 60" equal "$(ctrl brightness)" 60
expect "the bridge was not set up again" has "hid set 87" "$case_dir/bridge2.log"
expect "the camera's registers were not sent again" has "^bus bus2 write 78: 3c 01" "$case_dir/bridge2.log"
expect "$(cat "$case_dir/still-held" 2>/dev/null)" test ! -f "$case_dir/still-held"
finish unplug-replug
fi

# --- recording 3 s in both formats, read back with ffprobe ----------------------------------------------
if want recording-3s; then
begin
for format in 0 1; do
  new_case "record-$format" SETSIZE=0 "VIDEO FORMAT=$format"
  run_vellumo 'await live 120000\ncommand 1030\nawait live 120000\nwait 3000\ncommand 1030\nwait 3000\nanswer Cancel\nclose\n'
  file=$(ls "$case_dir/save/" 2>/dev/null | grep -E '\.(avi|wmv)$' | head -n 1)
  if [ -z "$file" ]; then
    failures="${failures:+$failures; }no recording in format $format"
    continue
  fi
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$case_dir/save/$file" 2>/dev/null)
  expect "$file lasts ${length:-nothing}" bash -c "echo '${length:-0} >= 2 && ${length:-0} <= 6' | bc | grep -q 1"
done
finish recording-3s
fi

touch "$results/done"
