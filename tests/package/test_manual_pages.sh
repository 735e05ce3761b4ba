#!/usr/bin/env bash
# The manual pages the build made: man renders each without a warning, and tavrelctl's page
# describes every command, option and exit code that `tavrelctl --help` lists, and every field of
# the key file.
#
#   test_manual_pages.sh PAGE_DIR TAVRELCTL PAGE...
set -euo pipefail

pages=$1
tavrelctl=$2
shift 2
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

for page in "$@"; do
  file=$pages/$page.gz
  [[ -f $file ]] || { fail "$file is missing"; continue; }
  warnings=$(MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null || true)
  [[ -z $warnings ]] || fail "man warns about $page: $warnings"
done
[[ $failed -eq 0 ]] || exit 1

# The page as a terminal shows it, without bold or underline.
rendered=$(MANWIDTH=200 man -E UTF-8 -l "$pages/tavrelctl.1.gz" 2>/dev/null | col -b)
# section NAME: the lines of that section.
section() {
  awk -v name="$1" '/^[A-Z]/ { inside = ($0 == name) ; next } inside' <<<"$rendered"
}

# The program's own lists, in English.
help=$(LC_ALL=en_US.UTF-8 "$tavrelctl" --help)
commands=$(awk '/^Commands:/ { inside = 1; next } /^$/ { inside = 0 } inside { print $1 }' <<<"$help")
codes=$(awk '/^Exit status:/ { inside = 1; next } inside && /^  [0-9]  / { print $1 }' <<<"$help")
[[ -n $commands && -n $codes ]] || fail "no commands or exit codes in tavrelctl --help"
options=$(for command in $commands; do
  LC_ALL=en_US.UTF-8 "$tavrelctl" "$command" --help
done | grep -oE '^  --[a-z]+' | tr -d ' ' | sort -u)
options+=$'\n--help'

listed_commands=$(section COMMANDS | awk '/^       [a-z]/ { print $1 }')
listed_options=$(section OPTIONS | grep -oE '^       (-[a-z], )?--[a-z]+' | grep -oE -- '--[a-z]+')
listed_codes=$(section "EXIT STATUS" | awk '/^       [0-9]$/ { print $1 }')
for command in $commands; do
  grep -qx "$command" <<<"$listed_commands" || fail "COMMANDS does not describe $command"
done
for option in $options; do
  grep -qx -- "$option" <<<"$listed_options" || fail "OPTIONS does not describe $option"
done
for code in $codes; do
  grep -qx "$code" <<<"$listed_codes" || fail "EXIT STATUS does not describe $code"
done
key_files=$(section "KEY FILES")
for field in format version serial product keys key assignment trigger record; do
  grep -q "\"$field\":" <<<"$key_files" || fail "KEY FILES does not show the field $field"
done

[[ $failed -eq 0 ]] || exit 1
echo "PASS: $* render without warnings; tavrelctl(1) describes $(wc -w <<<"$commands") commands," \
  "$(wc -w <<<"$options") options and $(wc -w <<<"$codes") exit codes"
