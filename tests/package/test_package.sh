#!/usr/bin/env bash
# Checks what is in the Debian package (tests/package/build_package.sh builds it) and what it declares, unpacks it
# with dpkg -x into a scratch root and starts the unpacked program on a virtual X display: with
# the package's layout it must load its hook library, and without the library it must say so.
#
#   test_package.sh DEB_DIR APP_ID HOOK_DIR VERSION PROGRAM...
#
# HOOK_DIR is the hook library's folder below the package prefix (lib/tavrel); every PROGRAM
# must be in usr/bin.
set -euo pipefail

deb_dir=$(realpath "$1")
app_id=$2
hook_dir=$3
version=$4
shift 4
programs=("$@")

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrel-package.XXXXXX")
work=$(realpath "$work")
program_pid=
xvfb_pid=
cleanup() {
  [[ -n $program_pid ]] && kill -KILL "$program_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# wait_until SECONDS COMMAND...: runs COMMAND until it succeeds; fails the test at the deadline.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# ---- the package -------------------------------------------------------------------------------

debs=("$deb_dir"/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
echo "$(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
echo "-- files"
dpkg-deb -c "$deb" | awk '{ print $1, $6 }'

[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version is not $version"

root=$work/root
dpkg -x "$deb" "$root"

echo "== layout"
expected=(
  "usr/$hook_dir/libMorvik.so"
  "usr/share/applications/$app_id.desktop"
  "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
  "usr/share/metainfo/$app_id.metainfo.xml"
  "usr/lib/udev/rules.d/70-tavrel.rules"
  "usr/share/man/man1/tavrel.1.gz"
  "usr/share/man/man1/tavrelctl.1.gz"
  "usr/share/doc/tavrel/copyright"
  "usr/share/doc/tavrel/changelog.gz"
  "usr/share/lintian/overrides/tavrel"
)
for program in "${programs[@]}"; do
  [[ -x $root/usr/bin/$program ]] || fail "usr/bin/$program is missing or not executable"
done
for file in "${expected[@]}"; do
  [[ -f $root/$file ]] || fail "$file is missing"
done
stray=$(find "$root/usr/bin" -name '*.so*')
[[ -z $stray ]] || fail "libraries in usr/bin: $stray"
grep -q "release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "the AppStream metadata has no release $version"
zcat "$root/usr/share/doc/tavrel/changelog.gz" | head -n 1 | grep -q "^tavrel ($version) " ||
  fail "the changelog's latest entry is not of version $version"
if ! appstreamcli validate-tree --no-net "$root" >"$work/validate.log" 2>&1; then
  cat "$work/validate.log"
  fail "appstreamcli validate-tree: the installed metadata and desktop entry do not match"
fi
grep -qx "Icon=$app_id" "$root/usr/share/applications/$app_id.desktop" ||
  fail "the desktop entry does not name the icon $app_id"

echo "== maintainer scripts"
dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
  [[ -x $work/control/$script ]] || fail "no executable $script"
  grep -q "udevadm control --reload-rules" "$work/control/$script" || fail "$script does not reload the udev rules"
  # Asking udev again about every input device would touch every keyboard of the machine.
  ! sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$work/control/$script" | grep "udevadm trigger" | grep -qv -- "--parent-match=" ||
    fail "$script asks udev again about devices that are not the keys'"
done
# A udevadm that fails, as it does without a running udev or without root: the scripts must
# still succeed, or dpkg would leave the package half configured.
mkdir -p "$work/stub"
printf '#!/bin/sh\necho "udevadm $*" >>"%s/udevadm.log"\nexit 1\n' "$work" >"$work/stub/udevadm"
chmod +x "$work/stub/udevadm"
PATH=$work/stub:$PATH sh "$work/control/postinst" configure || fail "postinst fails when udevadm fails"
PATH=$work/stub:$PATH sh "$work/control/postrm" remove || fail "postrm fails when udevadm fails"

echo "== declared dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
[[ -n $depends ]] || fail "the package declares no dependencies"
depended=$(tr ',|' '\n' <<<"$depends" | awk '{ print $1 }')
# Qt's own Chinese translation is loaded at run time, so no library link names it.
grep -qx qt6-translations-l10n <<<"$depended" || fail "Depends does not name qt6-translations-l10n"
# Every library an unpacked binary links must come from a package the package depends on.
declare -A linked_by
while IFS= read -r -d '' file; do
  [[ $(head -c 4 "$file") == $'\x7fELF' ]] || continue
  resolved=$(ldd "$file")
  while read -r library; do
    path=$(awk -v lib="$library" '$1 == lib { print $3 }' <<<"$resolved")
    [[ $path == /* ]] || fail "${file#"$root"/} needs $library, which is not found"
    linked_by[$path]+=" ${file#"$root"/}"
  done < <(objdump -p "$file" | awk '$1 == "NEEDED" { print $2 }')
done < <(find "$root" -type f -print0)
# dpkg knows a library under one of its names only where /lib is a link to /usr/lib; one query
# for all of them, as each query reads the whole database.
candidates=()
for path in "${!linked_by[@]}"; do
  candidates+=("$path" "$(realpath "$path")" "${path#/usr}" "/usr$path")
done
owners=$(dpkg-query -S "${candidates[@]}" 2>/dev/null || true)
for path in "${!linked_by[@]}"; do
  package=
  for candidate in "$path" "$(realpath "$path")" "${path#/usr}" "/usr$path"; do
    package=$(awk -F': ' -v file="$candidate" '$2 == file { sub(/:.*/, "", $1); print $1; exit }' <<<"$owners")
    [[ -n $package ]] && break
  done
  [[ -n $package ]] || fail "no package holds $path"
  grep -qxF "$package" <<<"$depended" ||
    fail "$path (linked by${linked_by[$path]}) comes from $package, which Depends does not name"
  echo "$package: $path, linked by${linked_by[$path]}"
done

# ---- the unpacked program ----------------------------------------------------------------------

echo "== the unpacked program under Xvfb"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_until 20 grep -q '[0-9]' "$work/display" || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
display=:$(tr -dc 0-9 <"$work/display")
mkdir -m 0700 "$work/runtime"

start_program() {
  rm -f "$work/state"
  # Only the system's own libraries and plugins: nothing from the build tree may help it.
  (cd "$work" && exec env -i HOME="$work" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" \
    QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS=disabled: \
    TAVREL_STATE_DUMP="$work/state" "$root/usr/bin/tavrel" >"$work/tavrel.log" 2>&1) &
  program_pid=$!
}

# A program that ended stays a zombie until waited for, so kill -0 cannot tell.
running() {
  local state
  state=$(awk '$1 == "State:" { print $2 }' "/proc/$program_pid/status" 2>/dev/null)
  [[ -n $state && $state != Z ]] || { cat "$work/tavrel.log"; fail "the program ended"; }
}

# SIGUSR1 ends a program that has not installed its snapshot handler yet.
catches_snapshot_signal() {
  running
  local mask
  mask=$(awk '$1 == "SigCgt:" { print $2 }' "/proc/$program_pid/status")
  [[ -n $mask ]] && (((16#$mask >> 9) & 1))
}

snapshot_written() {
  running
  [[ -f $work/state ]] && grep -qx end "$work/state"
}

# wait_for_snapshot PATTERN: asks for snapshots until one has a line matching PATTERN.
wait_for_snapshot() {
  local pattern=$1 deadline=$((SECONDS + 30))
  wait_until 30 catches_snapshot_signal || fail "the program never took SIGUSR1"
  while :; do
    rm -f "$work/state"
    kill -USR1 "$program_pid"
    wait_until 10 snapshot_written || fail "no snapshot"
    grep -Eq "$pattern" "$work/state" && return 0
    if ((SECONDS >= deadline)); then
      cat "$work/state"
      fail "no snapshot line matches: $pattern"
    fi
    sleep 0.2
  done
}

stop_program() {
  kill -TERM "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}

library=$root/usr/$hook_dir/libMorvik.so

echo "-- without the hook library"
mv "$library" "$work/libMorvik.so"
start_program
wait_for_snapshot '^messagebox title="Tavrel" text="未发现键盘钩子DLL\."$'
stop_program
mv "$work/libMorvik.so" "$library"

echo "-- with the package's layout"
start_program
wait_for_snapshot '^mainWindow\.mainWindow .* shown=1 '
# The box would be posted when the window was built; a second snapshot comes after it for sure.
wait_for_snapshot '^end$'
if grep -q '^messagebox ' "$work/state"; then
  cat "$work/state"
  fail "the program shows an error box"
fi
grep -qF "$library" "/proc/$program_pid/maps" || fail "$library is not loaded"
echo "loaded $library"
stop_program
echo "== PASS"
