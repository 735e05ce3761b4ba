#!/usr/bin/env bash
# Gives the logged-in user access to Tavrel's devices: installs the udev rule and asks udev to apply
# it to devices already plugged in. Does nothing, and asks for no password, when the rule in force
# is already this one. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

rule=udev/70-tavrel.rules
target=/etc/udev/rules.d/70-tavrel.rules

# A rule in /etc overrides the one of the same name that the package puts under /usr/lib.
if [[ -e $target ]]; then
  in_force=$target
else
  in_force=
  for packaged in /usr/lib/udev/rules.d/70-tavrel.rules /lib/udev/rules.d/70-tavrel.rules; do
    if [[ -e $packaged ]]; then
      in_force=$packaged
      break
    fi
  done
fi
if [[ -n $in_force ]] && cmp -s "$rule" "$in_force"; then
  exit 0
fi

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
echo "Installing the udev rule $target, which lets the logged-in user open the devices' nodes."
((${#sudo_cmd[@]})) && echo "This writes under /etc with sudo, which may ask for your password."
"${sudo_cmd[@]}" install -D -m 0644 "$rule" "$target"
echo "Installed $target"
# Without a running udev (a container, a chroot) there is nothing to reload.
if command -v udevadm >/dev/null 2>&1; then
  "${sudo_cmd[@]}" udevadm control --reload-rules 2>/dev/null || true
  # Only the nodes below the devices' own HID devices, never every input device of the machine.
  for hid in /sys/bus/hid/devices/0003:16C0:05E1.*; do
    [[ -e $hid ]] || continue
    "${sudo_cmd[@]}" udevadm trigger --action=change --subsystem-match=hidraw --subsystem-match=input \
      --parent-match="$(readlink -f "$hid")" 2>/dev/null || true
  done
fi
