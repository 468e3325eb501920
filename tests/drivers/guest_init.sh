#!/bin/sh
# First process of the driver-test guest. Mounts the kernel's file systems,
# loads the USB serial drivers when the instrument's line is a USB adapter,
# then runs the commands that the host sends on the console, one a line,
# until the host sends "poweroff -f". Everything printed goes to the console.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mkdir -p /tmp
exec </dev/ttyS0 >/dev/ttyS0 2>&1
stty -echo 2>/dev/null
dmesg -n 1

driver=$(sed -n 's/.*driver=\([a-z]*\).*/\1/p' /proc/cmdline)
if [ "$driver" = usb ]; then
  for module in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
    insmod "/modules/$module.ko" || echo "@@error insmod $module"
  done
  port=/dev/ttyUSB0
else
  port=/dev/ttyS1
fi
. /drivers/guest_steps.sh
# A USB adapter is plugged in by the host for each update.
echo "@@ready $port"
while read -r command; do
  eval "$command"
done
poweroff -f
