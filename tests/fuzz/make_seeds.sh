#!/usr/bin/env bash
# Writes the seed corpora under tests/fuzz/corpus/: a handful of small, well-formed inputs per
# target, laid out as each target's header comment describes. Run it again after changing a
# target's input layout, and commit the result. Regression inputs (regression-*) are kept.
set -euo pipefail
cd "$(dirname "$0")/corpus"

# seed TARGET NAME HEX...: the bytes given as hex pairs, spaces ignored.
seed() {
  local dir=$1 name=$2
  shift 2
  mkdir -p "$dir"
  local hex
  hex=$(tr -d ' \n' <<<"$*")
  printf "$(sed 's/../\\x&/g' <<<"$hex")" >"$dir/$name"
}

# The UTF-8 bytes of a text, and the same after a length byte.
utf8() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
text() { printf '%02x%s' "$(printf '%s' "$1" | wc -c)" "$(utf8 "$1")"; }

find . -type f ! -name 'regression-*' -delete

# --- reportdescriptor: descriptors as sysfs hands them over.
seed reportdescriptor key-vendor-8-byte \
  06 00 FF 09 01 A1 01 85 01 09 02 15 00 26 FF 00 75 08 95 07 81 02 \
  85 02 09 03 15 00 26 FF 00 75 08 95 07 91 02 C0
seed reportdescriptor boot-keyboard \
  05 01 09 06 A1 01 05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02 95 01 75 08 81 01 \
  95 05 75 01 05 08 19 01 29 05 91 02 95 01 75 03 91 01 95 06 75 08 15 00 25 65 \
  05 07 19 00 29 65 81 00 C0
seed reportdescriptor boot-mouse \
  05 01 09 02 A1 01 09 01 A1 00 05 09 19 01 29 03 15 00 25 01 95 03 75 01 81 02 95 01 \
  75 05 81 01 05 01 09 30 09 31 15 81 25 7F 75 08 95 02 81 06 C0 C0
seed reportdescriptor feature-push-pop 05 01 09 00 A1 01 75 08 95 04 A4 75 10 B1 02 B4 B1 02 C0
seed reportdescriptor long-item-and-extended-usage \
  FE 02 10 AA BB 0B 05 00 0C 00 A1 01 75 04 95 01 81 02 C0

# --- dispatch: report id, length, data bytes; a key-record response is 81 <count|key> M C1 C2 C3 Mode.
seed dispatch wired-six-keys \
  01 07 81 60 01 04 00 00 00  01 07 81 61 05 05 00 00 01  01 07 81 62 00 28 00 00 02 \
  01 07 81 63 00 3A 3B 00 03  01 07 81 64 02 00 00 00 04  01 07 81 65 FF FF FF FF 00
seed dispatch receiver-pairing \
  01 07 50 02 1A 2B 3C 4D 5E  01 07 50 13 01 00 00 00 00  01 07 81 20 00 2C 00 00 00 \
  01 07 81 21 00 00 00 00 00
seed dispatch short-and-odd-reports \
  01 03 81 60 01  00 00  01 07 80 60 01 04 00 00 00  01 07 50 02 00 00 00 00 09 \
  02 08 81 60 01 04 00 00 00 00
# A length byte with its high bit set: the handler throws after its work.
seed dispatch handler-throws \
  01 87 81 62 01 04 00 00 00  01 87 50 02 1A 2B 3C 4D 5E  01 87 81 62 00 05 00 00 00
seed dispatch out-of-table \
  01 07 FF F7 0F 04 05 06 07  01 07 81 F8 01 04 00 00 00  01 07 81 3F 01 04 00 00 00 \
  01 07 81 32 00 04 00 00 09

# --- serial: flags, product, serial, language ids, then decoder steps: a count byte and a 16-bit
# position (first + 8), or 80 and two 32-bit numbers (first, count).
langs_us='01 09 04'
seed serial wired "03 $(text 'Tavrel Key') $(text '300400000001') $langs_us 01 0B 00 02 09 00"
seed serial wireless "03 $(text 'Tavrel Receiver') $(text '312200000001') $langs_us 01 1A 00"
# Љ is U+0409, the language id itself.
seed serial language-list-as-serial "03 $(text 'Pedal') 02 D0 89 $langs_us"
seed serial no-language-list "01 $(text 'Pedal') $(text '300400000001') 00"
seed serial short-serial-and-zero "03 $(text 'Key') 05 33 30 31 00 34 $langs_us 01 0C 00 04 08 00"
# Ten or more digits, and a range whose end passes the largest int, once wrapped around.
seed serial regression-decimal-overflow "03 $(text 'Key') $(text '99999999999') $langs_us 0B 09 00"
seed serial regression-range-end-overflow "03 $(text 'Key') $(text '301400000001') $langs_us 80 FF FF FF 7F 02 00 00 00"

# --- keynames: a 32-bit usage, a modifier mask, a name.
seed keynames letter "04 00 00 00 01 $(utf8 A)"
seed keynames modifiers "E7 00 00 00 FF $(utf8 'Right Windows')"
seed keynames plus-in-name "57 00 00 00 05 $(utf8 'Num +')"
seed keynames unknown "32 00 00 00 80 $(utf8 'Ctrl+A')"
seed keynames large-usage "FF FF FF FF 00 $(utf8 ' Esc ')"

# --- input_events: records (count, then five bytes each), then events: device, type (00 frame end,
# 01 key, FD gone), code (16 bits), value, milliseconds since the one before.
seed input_events combination-single-then-repeated \
  02  03 05 00 00 00  03 05 00 00 02 \
  00 01 1D 00 01 00  00 01 2A 00 01 00  00 01 30 00 01 00  00 00 00 00 00 00 \
  00 01 1D 00 00 14  00 01 2A 00 00 00  00 01 30 00 00 00  00 00 00 00 00 00 \
  00 01 1D 00 01 3C  00 01 2A 00 01 00  00 01 30 00 01 00  00 00 00 00 00 00 \
  00 01 1D 00 00 14  00 01 2A 00 00 00  00 01 30 00 00 00  00 00 00 00 00 00
seed input_events mouse-and-keyboard-devices \
  03  01 00 00 00 01  02 00 00 00 03  00 00 00 00 EE \
  01 01 10 01 01 00  01 00 00 00 00 00  00 01 64 00 01 05  00 00 00 00 00 00 \
  00 01 64 00 02 FF  00 00 00 00 00 00  01 01 10 01 00 0A  01 00 00 00 00 00 \
  00 FD 00 00 00 00  01 01 11 01 01 14  01 00 00 00 00 00
seed input_events dropped-and-unnamed \
  01  00 04 05 FF 00 \
  00 01 04 00 01 00  00 00 03 00 00 00  00 01 B7 00 01 00  00 01 1E 00 01 00 \
  00 00 00 00 00 01  05 01 1E 00 01 00  00 01 1E 00 00 F0  00 01 B7 00 00 00  00 00 00 00 00 00

# --- capture: keys recorded first, then messages: kind, WParam selector, LParam, selected key + 1.
# LParam bytes: repeat count, 00, scan code, flags (01 extended, 02 either hand, 40 held, 80 up).
seed capture ctrl-a \
  00  00 00 01 00 1D 00 01  00 00 01 00 1E 00 01  00 00 01 00 1E 80 01  00 00 01 00 1D 80 01
seed capture shift-windows-menu \
  3F  00 00 01 00 2A 00 02  04 00 00 00 00 00 02  06 00 00 00 00 00 02  06 01 00 00 00 00 02 \
      04 01 00 00 00 00 02  00 00 01 00 2A 80 02
seed capture five-keys-and-repeat \
  FF  00 00 01 00 1E 00 03  00 00 01 00 1F 00 03  00 00 01 00 1E 40 03  00 00 01 00 20 00 03 \
      00 00 01 00 21 00 03  00 00 01 00 22 00 03  00 00 01 00 22 80 03  00 00 01 00 1E 80 03
seed capture extended-and-unknown \
  01  00 00 01 00 1D 01 09  00 00 01 00 47 01 09  00 00 01 00 7F 00 09  00 00 01 00 7F 80 09 \
      00 00 01 00 36 02 00  00 00 01 00 36 82 00  07 00 00 00 00 00 05
seed capture release-not-held \
  00  00 00 01 00 38 00 01  00 00 01 00 1D 80 01  00 00 01 00 1D 80 01  00 00 01 00 38 80 01

# --- history: history files, one entry per line, as the window and tavrelctl append them.
history_entry() {
  printf '{"command":"%s","device":"310000000001","keys":[%s],"port":"1-1:1.0","product":"Programmable Key","program":"tavrelctl","serial":"310000000001","time":"%s","version":1}\n' "$@"
}
mkdir -p history
{
  history_entry 'set 3 ctrl+shift+b --device 0' '{"before":"05 04 00 00 00","key":3,"written":"03 05 00 00 02"}' 2026-12-11T10:06:23.123Z
  history_entry 'write' '{"before":null,"key":1,"written":"00 06 00 00 00"},{"before":"02 00 00 00 01","key":2,"written":"02 00 00 00 01"}' 2026-12-11T10:07:00.000Z
} >history/two-entries
{
  history_entry 'restore keys.json' '{"before":"00 00 00 00 00","key":1,"written":"01 04 00 00 00"}' 2026-12-11T10:06:23.000Z
  history_entry 'undo' '{"before":"01 04 00 00 00","key":1,"written":"00 00 00 00 00"}' 2026-12-11T10:08:00.500Z | head -c 80
} >history/torn-last-line
{
  history_entry 'write' '{"before":"05 04 00 00 00","key":8,"written":"05 04 00 00 03"}' 2026-12-11T10:06:23.123+08:00
  printf '\n{"version":1}\nnot json\n'
  history_entry 'set 1 "a b"' '{"before":"05 04 00 00 00","key":1,"written":"5 04 00 00 00"}' 2026-12-11T10:06:23.123Z
} >history/damaged-lines
