#!/usr/bin/env bash
# Whole updates through the Linux kernel's own serial drivers instead of a
# pseudo-terminal: updater-cli runs in a QEMU guest (TCG, no KVM, no root)
# booted from Debian's kernel and a small initramfs, and talks to
# instrument-sim on this machine through the guest's 16550 UART (8250 driver,
# /dev/ttyS1) and, in a second guest, through an emulated FTDI USB adapter
# (ftdi_sio, /dev/ttyUSB0). tests/drivers/drive_guest.sh runs the scenarios
# of one guest and judges them.
#
#   scripts/driver-test.sh [DRIVER...]   (default: uart usb)
#
# Uses the programs in $UPDATER_BUILD/bin (default: build/bin); build first.
# Debian's kernel package is downloaded once and kept, unpacked to the
# kernel and the five USB modules, in $UPDATER_DRIVER_CACHE (default
# ~/.cache/instrument-updater/driver-guest). DRIVER_SCENARIOS="method2 ..."
# runs only the scenarios named; UPDATER_DRIVER_KEEP=1 keeps the consoles and
# simulator summaries of a passing run too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath -m "${UPDATER_BUILD:-$root/build}/bin")
cache=${UPDATER_DRIVER_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/instrument-updater/driver-guest}
drivers=("$@")
[ ${#drivers[@]} -gt 0 ] || drivers=(uart usb)
for program in updater-cli instrument-sim sample-images; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build it first" >&2; exit 2; }
done
started=$(date +%s)
bash "$root/scripts/install-deps.sh"

usb_modules=(usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio)

# Downloads Debian's kernel package (and the versioned one it depends on)
# into $cache once, and keeps only the kernel and the USB modules.
fetch_kernel() {
  [ -f "$cache/kernel/vmlinuz" ] && return 0
  mkdir -p "$cache"
  local fetch
  fetch=$(mktemp -d "$cache/fetch.XXXXXX")
  (
    cd "$fetch"
    apt-get download linux-image-amd64 >/dev/null 2>&1 || {
      sudo_cmd=()
      [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
      "${sudo_cmd[@]}" apt-get update -qq
      apt-get download linux-image-amd64 >/dev/null
    }
    versioned=$(dpkg-deb -f linux-image-amd64_*.deb Depends | sed 's/[ ,(].*//')
    apt-get download "$versioned" >/dev/null 2>&1
    dpkg-deb -x "$versioned"_*.deb unpacked
    mkdir -p kernel
    cp unpacked/boot/vmlinuz-* kernel/vmlinuz
    for module in "${usb_modules[@]}"; do
      find unpacked/lib/modules -name "$module.ko" -exec cp {} kernel/ \;
      [ -f "kernel/$module.ko" ] || { echo "no module $module in $versioned" >&2; exit 1; }
    done
    echo "$versioned" >kernel/package
  )
  rm -rf "$cache/kernel"
  mv "$fetch/kernel" "$cache/kernel"
  rm -rf "$fetch"
}

# Builds the initramfs $1 from busybox, updater-cli with the libraries it
# loads, the USB modules, the guest's scripts and the folder $2 (images and
# update.ini files, which appear in the guest as /work).
build_initramfs() {
  local image=$1 files=$2 tree
  tree=$(mktemp -d)
  mkdir -p "$tree"/{bin,proc,sys,dev,tmp,modules,drivers}
  cp /bin/busybox "$tree/bin/busybox"
  for applet in $(/bin/busybox --list); do [ "$applet" = busybox ] || ln -s busybox "$tree/bin/$applet"; done
  cp "$bin/updater-cli" "$tree/bin/"
  # The loader and the libraries at the paths the program asks for them.
  ldd "$bin/updater-cli" | grep -o '/[^ ]*' | while read -r library; do
    mkdir -p "$tree$(dirname "$library")"
    cp -L "$library" "$tree$library"
  done
  cp "$cache/kernel/"*.ko "$tree/modules/"
  cp "$root/tests/drivers/guest_init.sh" "$tree/init"
  cp "$root/tests/drivers/guest_steps.sh" "$tree/drivers/"
  chmod +x "$tree/init"
  cp -r "$files" "$tree/work"
  (cd "$tree" && find . | /bin/busybox cpio -o -H newc 2>/dev/null | gzip -1 >"$image")
  rm -rf "$tree"
}

fetch_kernel
work=$(mktemp -d)
failed=0
# A failed run, or any with UPDATER_DRIVER_KEEP set, keeps its consoles,
# monitor logs and simulator summaries.
trap '[ "$failed" = 0 ] && [ -z "${UPDATER_DRIVER_KEEP:-}" ] && rm -rf "$work" || echo "driver tests: logs kept in $work"' EXIT
# Two image sets, in the guest under /work with an update.ini each: "large"
# streams longer than the 8192-byte transmit queue holds, so that the queue's
# drain covers the 1000 ms hold-back before the last two bytes; "small"
# streams for less than a second, so that the pause shows on the line.
write_images() {
  mkdir -p "$work/files/$1"
  "$bin/sample-images" "$work/files/$1" "$2" "$3" >/dev/null
  printf '[UPDATE]\nversion=2.1.0\ninstrument=Driver test\nkernel_file=/work/%s/kernel.bin\nupdate_file=/work/%s/update.bin\n' \
    "$1" "$1" >"$work/files/$1.ini"
}
write_images large 2048 12288
write_images small 1024 1500
build_initramfs "$work/initramfs.gz" "$work/files"

# The guests run side by side: each spends most of its time waiting on its
# line, and one after the other they would take twice as long.
pids=()
for driver in "${drivers[@]}"; do
  bash "$root/tests/drivers/drive_guest.sh" "$driver" "$bin" "$cache/kernel/vmlinuz" "$work/initramfs.gz" \
    "$work/files" "$work/$driver" >"$work/$driver.log" 2>&1 &
  pids+=($!)
done
for i in "${!drivers[@]}"; do
  wait "${pids[$i]}" || failed=1
  cat "$work/${drivers[$i]}.log"
done
echo "driver tests: ${drivers[*]} in $(($(date +%s) - started)) s"
exit "$failed"
