#!/usr/bin/env bash
# Cross-builds extractGameFile.exe and cfsi.exe for 64-bit Windows into
# build-windows/, runs the whole test suite there under Wine, and packs the
# .zip for Windows users (cpack), checking what it holds. Installs the
# Debian packages it needs when they are missing.
#
# Everything it makes stays in build-windows/:
#   deps/          GoogleTest built for Windows, and the headers and CMake
#                  files of CLI11 and nlohmann/json, so that the cross
#                  compiler never searches the build machine's /usr/include
#   googletest/    GoogleTest's own build folder
#   wine/          the Wine prefix (a Windows "C:" with its registry)
#   *.exe          the programs, each linked statically: nothing else needed
#   *.zip          the package for Windows users (cpack): the two programs,
#                  the README and the LICENSE
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
deps=$out/deps
toolchain=$root/cmake/mingw-w64-x86_64.cmake

bash tools/ensure-packages.sh cmake ninja-build g++-mingw-w64-x86-64-posix \
  wine wine64 libgtest-dev libcli11-dev nlohmann-json3-dev

mkdir -p "$deps/include" "$deps/share/cmake"

# Header-only libraries: their headers and CMake files, copied under one
# prefix that the toolchain file lets CMake search.
stage_headers() {  # package include-dir cmake-dir
  local dir=$2 cmakedir=$3
  rm -rf "${deps:?}/include/$dir" "${deps:?}/share/cmake/$cmakedir"
  cp -r "/usr/include/$dir" "$deps/include/$dir"
  cp -r "/usr/share/cmake/$cmakedir" "$deps/share/cmake/$cmakedir"
}
stage_headers libcli11-dev CLI CLI11
stage_headers nlohmann-json3-dev nlohmann nlohmann_json

# GoogleTest from the sources Debian ships, built once for Windows.
if [ ! -f "$deps/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$out/googletest" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DEGF_WINDOWS_DEPS="$deps" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
    -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
  cmake --build "$out/googletest" --target install >/dev/null
fi

# One Wine prefix and one wineserver for the whole run: starting them for
# every test would cost seconds each.
export WINEPREFIX=$out/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or Gecko installer
mkdir -p "$WINEPREFIX"  # wineserver will not start for a missing prefix
wineserver --kill >/dev/null 2>&1 || true  # one left by an earlier run
wineserver --persistent
trap 'wineserver --kill >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
fi
# The first program Wine runs starts its background services, which keep
# the program's standard output open: started here, they never hold the
# pipe of a test listing, whose reader would wait for it until its timeout.
wine cmd /c exit >/dev/null 2>&1

cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DEGF_WINDOWS_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release \
  -DEGF_REQUIRE_CFSI=ON -DEGF_BENCH=OFF
cmake --build "$out"
# Now and then Wine fails to start a program at all (the test "fails" at
# once with no output); such a test is started again, up to three times in
# all. A test that fails each time fails the run.
ctest --test-dir "$out" --output-on-failure -j2 --repeat until-pass:3

# The .zip for Windows users: the two programs, the README and the LICENSE,
# in one folder named after the package, and nothing else.
rm -f "$out"/*.zip
(cd "$out" && cpack -G ZIP >/dev/null)
zips=("$out"/*.zip)
[ "${#zips[@]}" -eq 1 ] && [ -f "${zips[0]}" ] || {
  echo "build-windows: expected one .zip in $out, found: ${zips[*]}"
  exit 1
}
zip=${zips[0]}
top=$(basename "$zip" .zip)
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
expected=$(printf '%s\n' "$top/LICENSE" "$top/README.md" "$top/cfsi.exe" \
  "$top/extractGameFile.exe" | sort)
if [ "$listed" != "$expected" ]; then
  printf 'build-windows: %s holds\n%s\ninstead of\n%s\n' "$zip" "$listed" "$expected"
  exit 1
fi
# The packed programs are the ones just built and tested, stripped.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"; wineserver --kill >/dev/null 2>&1 || true' EXIT
unzip -q "$zip" -d "$unpacked"
cmp -s "$unpacked/$top/LICENSE" LICENSE && cmp -s "$unpacked/$top/README.md" README.md || {
  echo "build-windows: the README or the LICENSE in $zip differs from the sources'"
  exit 1
}
version=$(wine "$unpacked/$top/cfsi.exe" --version | tr -d '\r')
case $version in
  "cfsi "*) ;;
  *) echo "build-windows: the packed cfsi.exe --version printed '$version'"; exit 1 ;;
esac
echo "build-windows: $zip: $(echo "$listed" | tr '\n' ' ')($version)"
