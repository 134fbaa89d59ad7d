#!/usr/bin/env bash
# Cross-compiles Tarnleaf for 64-bit Windows with MinGW-w64:
#   scripts/build-windows.sh [BUILD_DIR] [extra cmake arguments...]
# BUILD_DIR defaults to build-windows/ in the repository. Prints where the programs land.
# Only the programs are built unless the arguments ask for the tests (-DTARNLEAF_TESTS=ON,
# as scripts/test-windows.sh does).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-windows}
[[ $# -gt 0 ]] && shift
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

tests=-DTARNLEAF_TESTS=OFF
for arg in "$@"; do
    [[ $arg == -DTARNLEAF_TESTS=* ]] && tests=$arg
done

cmake -S "$root" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release "$tests" "$@"
cmake --build "$dir" -j "$jobs"

echo
echo "Windows programs:"
found=0
for exe in "$dir"/app/tarnleafd.exe "$dir"/app/tarnleaf.exe; do
    if [[ -f "$exe" ]]; then
        printf '  %s (%s bytes)\n' "$exe" "$(stat -c %s "$exe")"
        found=1
    fi
done
((found)) || echo "  (none built yet: app/ has no Windows entry point in this tree)"
