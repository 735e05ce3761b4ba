#!/usr/bin/env bash
# Gives the logged-in user access to Tavrel's keys: installs the udev rule and asks udev to apply
# it to keys already plugged in. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

rule=udev/70-tavrel.rules
target=/etc/udev/rules.d/70-tavrel.rules
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi

if ! cmp -s "$rule" "$target" 2>/dev/null; then
  "${sudo_cmd[@]}" install -D -m 0644 "$rule" "$target"
  echo "Installed $target"
fi
# Without a running udev (a container, a chroot) there is nothing to reload.
if command -v udevadm >/dev/null 2>&1; then
  "${sudo_cmd[@]}" udevadm control --reload-rules 2>/dev/null || true
  "${sudo_cmd[@]}" udevadm trigger --subsystem-match=hidraw --action=change 2>/dev/null || true
fi
