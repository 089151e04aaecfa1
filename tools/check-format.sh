#!/usr/bin/env bash
# Fails when a C++ source or header under version control is not formatted
# as .clang-format says, and lists the files that are not. Debian's
# clang-format is the reference: its version decides the layout, so the check
# and `clang-format -i` on a developer's machine agree.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure-packages.sh clang-format

mapfile -t files < <(git ls-files '*.cpp' '*.h')
unformatted=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'not formatted (run clang-format -i on it): %s\n' "${unformatted[@]}"
  exit 1
fi
echo "formatting: ${#files[@]} files as .clang-format says"
