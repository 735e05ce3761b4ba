#!/usr/bin/env bash
# Reads the udev rule as udev does for the match keys it uses (SUBSYSTEM, KERNEL, DEVPATH with ==
# and !=, shell-style patterns in which "*" also matches "/", as udev's fnmatch does) and checks
# which device nodes it opens: the hidraw and event nodes of these keys' own HID devices, and
# nothing of a keyboard behind a hub or a pass-through port, of a Bluetooth device with the same
# ids, of a HID device below a key's, or of a virtual input device. udev itself cannot be asked
# without real devices.
#
#   test_udev_rule.sh RULE_FILE
set -euo pipefail

rule_file=$1
failures=0

# Whether one rule line gives the uaccess tag to the node of SUBSYSTEM at DEVPATH.
rule_opens() {
  local line=$1 subsystem=$2 devpath=$3 kernel=${3##*/} field key op value actual
  [[ $line == *'TAG+="uaccess"'* ]] || return 1
  IFS=$'\x1f' read -r -a fields <<<"${line//, /$'\x1f'}"
  for field in "${fields[@]}"; do
    [[ $field =~ ^([A-Z]+(\{[^}]*\})?)(==|!=)\"(.*)\"$ ]] || continue
    key=${BASH_REMATCH[1]} op=${BASH_REMATCH[3]} value=${BASH_REMATCH[4]}
    case $key in
      SUBSYSTEM) actual=$subsystem ;;
      KERNEL) actual=$kernel ;;
      DEVPATH) actual=$devpath ;;
      *)
        echo "FAIL: the rule matches on $key, which this test does not know: $line" >&2
        exit 1
        ;;
    esac
    # shellcheck disable=SC2053 # the value is a pattern
    if [[ $op == "==" ]]; then [[ $actual == $value ]] || return 1; else [[ $actual != $value ]] || return 1; fi
  done
  return 0
}

opens() {
  local line
  while IFS= read -r line; do
    [[ -z $line || $line == \#* ]] && continue
    rule_opens "$line" "$1" "$2" && return 0
  done <"$rule_file"
  return 1
}

usb=/devices/pci0000:00/0000:00:14.0/usb1
bt=/devices/pci0000:00/0000:00:14.0/usb1/1-7/1-7:1.0/bluetooth/hci0/hci0:256
cases=(
  # expected  subsystem  devpath
  "open hidraw $usb/1-3/1-3:1.0/0003:16C0:05E1.0001/hidraw/hidraw0"
  "open input $usb/1-3/1-3:1.1/0003:16C0:05E1.0002/input/input7/event5"
  "open hidraw $usb/1-3/1-3:1.0/0003:16C0:05E1.1A2B3/hidraw/hidraw4"
  # A keyboard behind a hub or a pass-through port that reports 16c0:05e1.
  "shut hidraw $usb/1-3/1-3.2/1-3.2:1.0/0003:046D:C31C.0003/hidraw/hidraw1"
  "shut input $usb/1-3/1-3.2/1-3.2:1.0/0003:046D:C31C.0003/input/input9/event7"
  # The same ids on Bluetooth.
  "shut hidraw $bt/0005:16C0:05E1.0004/hidraw/hidraw2"
  "shut input $bt/0005:16C0:05E1.0004/input/input11/event9"
  # A HID device that a driver made below a key's own.
  "shut hidraw $usb/1-3/1-3:1.0/0003:16C0:05E1.0001/0003:046D:4024.0005/hidraw/hidraw3"
  "shut input $usb/1-3/1-3:1.0/0003:16C0:05E1.0001/0003:046D:4024.0005/input/input12/event10"
  # The key's other input nodes, the HID device itself, and a virtual device.
  "shut input $usb/1-3/1-3:1.1/0003:16C0:05E1.0002/input/input7/mouse0"
  "shut input $usb/1-3/1-3:1.1/0003:16C0:05E1.0002/input/input7"
  "shut hid $usb/1-3/1-3:1.0/0003:16C0:05E1.0001"
  "shut input /devices/virtual/input/input20/event12"
)
for case in "${cases[@]}"; do
  read -r expected subsystem devpath <<<"$case"
  if opens "$subsystem" "$devpath"; then got=open; else got=shut; fi
  if [[ $got != "$expected" ]]; then
    echo "FAIL: the rule leaves $subsystem $devpath $got, not $expected" >&2
    failures=$((failures + 1))
  fi
done
if ((failures)); then exit 1; fi
echo "PASS: the rule opens the keys' own hidraw and event nodes and nothing else (${#cases[@]} cases)"
