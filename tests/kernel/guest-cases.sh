#!/bin/bash
# smoke
results=/tmp/results
modprobe() { chroot /mnt /bin/busybox modprobe "$@"; }
rmmod() { chroot /mnt /bin/busybox rmmod "$@"; }
modprobe vivid n_devs=1 node_types=0x1 num_inputs=1 input_types=0x0 && echo "PASS vivid 0 loaded" >>$results/cases
ls -l /dev/video* >> $results/cases.log
v4l2-ctl -d /dev/video0 --all
touch $results/done
