#!/usr/bin/env bash
# Checks that every C++ source of the repository is laid out as .clang-format says, and names the
# files that are not. Changes nothing; to lay the files out:
#   git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "format-check.sh: clang-format is missing (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

mapfile -d '' files < <(git ls-files -z '*.cpp' '*.h')
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if clang-format --dry-run -Werror "${files[@]}" 2>"$report"; then
  echo "== ${#files[@]} C++ files laid out as .clang-format says"
  exit 0
fi
# One line per file that would change, then the first places in detail.
grep -o '^[^:]*\.\(cpp\|h\):' "$report" | sort -u | sed 's/:$//; s/^/not laid out: /'
head -n 40 "$report"
echo "format-check.sh: lay the files out with: git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format -i" >&2
exit 1
