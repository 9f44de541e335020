#!/usr/bin/env bash
# Configures and builds one flavour of the project.
#   scripts/build.sh native   - portable code and tests, with ASan and UBSan, fuzzers (clang)
#   scripts/build.sh tsan     - portable code and tests under ThreadSanitizer (clang)
#   scripts/build.sh windows  - everything for Windows x64 (mingw-w64), tests run under Wine
# Build trees: build/<flavour>. Extra arguments go to CMake's configure step.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-windows}
shift || true
jobs=$(nproc)
# KESTRUN_BUILD_DIR puts the tree elsewhere (several people building side by side);
# KESTRUN_TARGETS builds only the named targets instead of everything.
build="${KESTRUN_BUILD_DIR:-$root/build/$flavour}"

case "$flavour" in
native)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKESTRUN_SANITIZE=address,undefined -DKESTRUN_BUILD_FUZZERS=ON "$@" >/dev/null
  ;;
tsan)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKESTRUN_SANITIZE=thread "$@" >/dev/null
  ;;
windows)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64-x86_64.cmake" "$@" >/dev/null
  ;;
*)
  echo "usage: $0 native|tsan|windows [cmake args]" >&2
  exit 2
  ;;
esac
if [ -n "${KESTRUN_TARGETS:-}" ]; then
  # shellcheck disable=SC2086
  cmake --build "$build" -j "$jobs" --target ${KESTRUN_TARGETS}
else
  cmake --build "$build" -j "$jobs"
fi
