#!/usr/bin/env bash
# Lints the manual pages as CMake configures them (build-docs/man/) with
# mandoc, and fails on any warning or error.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure-packages.sh cmake mandoc

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
# Configuring is enough: it writes the pages with the version filled in.
cmake -S . -B build-docs "${generator[@]}" -DEGF_TESTS=OFF -DEGF_BENCH=OFF >/dev/null

status=0
for page in build-docs/man/*.1; do
  if ! findings=$(mandoc -T lint -W warning "$page" 2>&1) || [ -n "$findings" ]; then
    printf '%s\n' "$findings"
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "manual pages: no mandoc warning"
exit "$status"
