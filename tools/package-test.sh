#!/usr/bin/env bash
# Builds the Debian package (build-deb/), installs it with apt-get as a user
# would, checks the installed programs, manual pages and completion, and
# removes the package again, also when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure-packages.sh cmake ninja-build g++ dpkg-dev libcli11-dev nlohmann-json3-dev

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
rm -rf build-deb
cmake -S . -B build-deb "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr -DEGF_TESTS=OFF -DEGF_BENCH=OFF \
  -DEGF_REQUIRE_CFSI=ON >/dev/null
cmake --build build-deb
(cd build-deb && cpack -G DEB >/dev/null)

debs=(build-deb/*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || {
  echo "package-test: expected one .deb in build-deb/, found: ${debs[*]}"
  exit 1
}
deb=${debs[0]}
package=$(dpkg-deb -f "$deb" Package)
version=$(sed -n 's/^project(extractGameFile VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
echo "package-test: $deb"

fail() {
  echo "package-test: FAIL: $*"
  exit 1
}

# The metadata: every field filled, the dependencies computed.
for field in Package Version Architecture Maintainer Section Priority Depends Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "no $field in the control file"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
  fail "version $(dpkg-deb -f "$deb" Version), the project's is $version"
dpkg-deb -f "$deb" Depends | grep -q 'libc6' ||
  fail "Depends does not name libc6: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -f "$deb" Description | grep -q 'License: MIT' ||
  fail "the description does not name the licence"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
  fail "$package is installed already; remove it first"
fi
remove() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=300 purge -y -qq "$package" >/dev/null; }
scratch=$(mktemp -d)
trap 'remove || true; rm -rf "$scratch"' EXIT

DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=300 install -y -qq "./$deb" >/dev/null

# Every file where it belongs.
for file in /usr/bin/extractGameFile /usr/bin/cfsi \
  /usr/share/man/man1/extractGameFile.1 /usr/share/man/man1/cfsi.1 \
  /usr/share/bash-completion/completions/cfsi \
  "/usr/share/doc/$package/README.md" "/usr/share/doc/$package/LICENSE" \
  "/usr/share/doc/$package/copyright"; do
  dpkg -L "$package" | grep -qxF "$file" || fail "$file is not in the package"
  [ -f "$file" ] || fail "$file is not installed"
done
grep -q "^\.Os extractGameFile $version\$" /usr/share/man/man1/extractGameFile.1 ||
  fail "extractGameFile.1 does not name version $version"

# The installed programs, run from a scratch folder as a user would.
got=$(cd "$scratch" && /usr/bin/cfsi --version)
case $got in
  "cfsi $version" | "cfsi $version (git "*")") ;;
  *) fail "cfsi --version printed '$got'" ;;
esac

mkdir "$scratch/installed" "$scratch/built"
cp sample/00000000.cfsi "$scratch/installed/"
cp sample/00000000.cfsi "$scratch/built/"
expected="Arbo read
extract : extract/textures/stone.dds ... done
extract : extract/textures/grass.dds ... done
extract : extract/textures/ui/icon.dds ... done"
got=$(cd "$scratch/installed" && /usr/bin/extractGameFile) ||
  fail "the installed extractGameFile failed"
[ "$got" = "$expected" ] || fail "the installed extractGameFile printed: $got"
# The same tree, byte for byte, as the program from the build folder makes.
(cd "$scratch/built" && "$OLDPWD/build-deb/extractGameFile" >/dev/null)
diff -r "$scratch/built/extract" "$scratch/installed/extract" ||
  fail "the installed extractGameFile made another tree"
[ "$(find "$scratch/installed/extract" -type f | wc -l)" -eq 3 ] ||
  fail "the installed extractGameFile did not make the three textures"

remove
trap 'rm -rf "$scratch"' EXIT
[ ! -e /usr/bin/cfsi ] && [ ! -e /usr/bin/extractGameFile ] ||
  fail "the programs are still there after apt-get purge"
echo "package-test: $package $version built, installed, run and removed"
