#!/usr/bin/env bash
# Builds everything from scratch and runs every test twice: in a normal build
# (build/) and under AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/). Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/ensure-packages.sh cmake ninja-build g++ libgtest-dev libcli11-dev nlohmann-json3-dev

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEGF_REQUIRE_CFSI=ON -DEGF_REQUIRE_TESTS=ON
cmake --build build
ctest --test-dir build --output-on-failure

cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DEGF_SANITIZE=ON -DEGF_REQUIRE_CFSI=ON -DEGF_REQUIRE_TESTS=ON
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure
